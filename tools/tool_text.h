// The tools' text: UTF-8 on the command line and in their output, UTF-16 in
// the code they share with the launcher.
#pragma once

#include <string>
#include <string_view>

// UTF-8 text as UTF-16; invalid sequences become U+FFFD. Raises
// CAtlException when the conversion fails (memory runs out).
std::u16string toUtf16(std::string_view utf8);

// UTF-16 text as UTF-8; lone surrogates become U+FFFD.
std::string toUtf8(std::u16string_view text);
