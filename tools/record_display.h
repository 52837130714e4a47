// How channel_record shows the text of an install-channel file: the entries
// as the launcher's store parses them, with the bytes the launcher cannot
// convert kept, and every character a terminal would not show as itself
// spelled out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "record_file/channel_record_file.h"

// The text of a file's plain bytes (mark included) in `encoding`, as the store
// reads it, up to the first NUL; except that in code page 936 and UTF-8 the
// bytes the store replaces ('?' for a pair or a lone lead byte code page 936
// does not map, U+FFFD for a bad UTF-8 sequence) are kept, each byte b as the
// lone surrogate U+DC00 + b (which converted text never holds).
struct RecordTextForDisplay {
  std::u16string text;
  size_t keptBytes = 0;    // bytes kept as surrogates
  size_t unreadBytes = 0;  // bytes from the first NUL on, and an odd last byte of UTF-16LE text
  size_t firstUnreadByte = 0;  // offset in the plain bytes of the first unread byte, when there are any
};

RecordTextForDisplay recordTextForDisplay(std::span<const uint8_t> plain, RecordEncoding encoding);

// `text` for a terminal, in UTF-8, one whole character at a time (a surrogate
// pair is one character). Spelled out instead: a backslash as \\, tab, CR and
// LF as \t \r \n, other C0 controls and DEL as \xNN; with `bytesKept`, a kept
// byte (U+DC00..U+DCFF) as \xNN; as \uXXXX (\UXXXXXXXX beyond U+FFFF):
// other unpaired surrogates, C1 controls, characters that show nothing or
// reorder the text around them (soft hyphen, zero-width and direction
// marks, the byte-order mark, ...), private-use characters, non-characters
// and U+FFFD itself.
std::string displayText(std::u16string_view text, bool bytesKept);
