// Joins Windows paths with the platform's own rules, in path-sized buffers.
#pragma once

#include <string>
#include <string_view>

// PathCombineW of `directory` and `relative`: one backslash between them, "."
// and ".." resolved. Empty when either text, or the result, does not fit the
// platform path limit: a cut path would name some other file.
std::u16string combinePath(const std::u16string& directory, std::u16string_view relative);
