#include "tools/record_display.h"

#include "record_file/cp936.h"
#include "record_file/portable_conversion.h"
#include "tools/tool_text.h"

namespace {

constexpr char16_t kKeptByteBase = 0xDC00;
constexpr char32_t kReplacement = 0xFFFD;
constexpr size_t kUtf8MarkSize = 3;
constexpr size_t kUtf16MarkSize = 2;

void appendCodePoint(std::u16string& text, char32_t value) {
  if (value > 0xFFFF) {
    value -= 0x10000;
    text += char16_t(0xD800 | (value >> 10));
    text += char16_t(0xDC00 | (value & 0x3FF));
  } else {
    text += char16_t(value);
  }
}

// Notes that the text ends at the byte at `offset` of `size` plain bytes.
void endAt(RecordTextForDisplay& display, size_t offset, size_t size) {
  display.unreadBytes = size - offset;
  display.firstUnreadByte = offset;
}

// Code page 936 or UTF-8 text from plain[from] on, character by character as
// the store decodes it, up to the first NUL it gives.
void decodeKeepingBytes(RecordTextForDisplay& display, std::span<const uint8_t> plain, size_t from,
                        RecordEncoding encoding) {
  const uint8_t* bytes = plain.data();
  for (size_t at = from; at < plain.size();) {
    const size_t start = at;
    char32_t value;
    bool replaced;
    if (encoding == CodePage936) {
      value = decodeCp936Character(bytes, plain.size(), at);
      replaced = value == u'?' && !(at - start == 1 && bytes[start] == '?');
    } else {
      value = decodeUtf8Character(bytes, plain.size(), at);
      replaced = value == kReplacement &&
                 !(at - start == 3 && bytes[start] == 0xEF && bytes[start + 1] == 0xBF && bytes[start + 2] == 0xBD);
    }
    if (value == 0) return endAt(display, start, plain.size());
    if (!replaced) {
      appendCodePoint(display.text, value);
      continue;
    }
    for (size_t i = start; i < at; ++i) display.text += char16_t(kKeptByteBase + bytes[i]);
    display.keptBytes += at - start;
  }
}

void decodeUtf16Le(RecordTextForDisplay& display, std::span<const uint8_t> plain) {
  size_t at = kUtf16MarkSize;
  for (; at + 1 < plain.size(); at += 2) {
    const char16_t unit = char16_t(plain[at] | plain[at + 1] << 8);
    if (unit == 0) return endAt(display, at, plain.size());
    display.text += unit;
  }
  if (at < plain.size()) endAt(display, at, plain.size());
}

// Characters a terminal shows as nothing or as something else, or that change
// how the text around them shows.
bool spelledOut(char32_t c) {
  if (c >= 0x80 && c <= 0x9F) return true;                  // C1 controls
  if (c == 0xAD || c == 0x061C || c == 0x180E) return true;  // soft hyphen, letter mark, vowel separator
  if ((c >= 0x200B && c <= 0x200F) || (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F))
    return true;  // zero-width characters, direction marks and embeddings, invisible operators
  if (c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB) || c == kReplacement) return true;
  if ((c >= 0xE000 && c <= 0xF8FF) || c >= 0xF0000) return true;            // private use
  if ((c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE) return true;  // non-characters
  return c >= 0xE0000 && c <= 0xE0FFF;  // tags, variation selectors
}

std::string hexDigits(uint32_t value, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text(size_t(digits), '0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4) text[size_t(i)] = kDigits[value & 0xF];
  return text;
}

}  // namespace

RecordTextForDisplay recordTextForDisplay(std::span<const uint8_t> plain, RecordEncoding encoding) {
  RecordTextForDisplay display;
  if (encoding == Utf16Le) decodeUtf16Le(display, plain);
  else decodeKeepingBytes(display, plain, encoding == Utf8 ? kUtf8MarkSize : 0, encoding);
  return display;
}

std::string displayText(std::u16string_view text, bool bytesKept) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    const bool paired = isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1]);
    if (paired) c = 0x10000 + ((c & 0x3FF) << 10) + (text[i + 1] & 0x3FF);
    if (c == u'\\') {
      out += "\\\\";
    } else if (c == u'\t' || c == u'\r' || c == u'\n') {
      out += c == u'\t' ? "\\t" : c == u'\r' ? "\\r" : "\\n";
    } else if (c < 0x20 || c == 0x7F || (bytesKept && c >= kKeptByteBase && c <= kKeptByteBase + 0xFF)) {
      out += "\\x" + hexDigits(c & 0xFF, 2);
    } else if (isHighSurrogate(c) || isLowSurrogate(c) || spelledOut(c)) {
      out += c > 0xFFFF ? "\\U" + hexDigits(c, 8) : "\\u" + hexDigits(c, 4);
    } else {
      out += toUtf8(text.substr(i, paired ? 2 : 1));
    }
    if (paired) ++i;
  }
  return out;
}
