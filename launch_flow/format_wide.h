// printf-style formatting into a wide string.
#pragma once

#include <string>

// The text `format` gives with the arguments that follow, whole, however
// long. Raises std::invalid_argument when `format` is null, and
// std::length_error when the text cannot be formatted (a conversion the C
// library rejects, or more than 16M characters).
std::wstring formatWide(const wchar_t* format, ...);
