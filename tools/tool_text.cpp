#include "tools/tool_text.h"

#include "record_file/text_encoding.h"

std::u16string toUtf16(std::string_view utf8) {
  if (utf8.empty()) return {};
  const Utf8ToWide converted(utf8.data(), int(utf8.size()));
  return converted.get();
}

std::string toUtf8(std::u16string_view text) {
  const std::u16string terminated(text);
  const WideToUtf8 converted(terminated.c_str());
  return converted.get();
}
