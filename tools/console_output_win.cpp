#include "tools/console_output_win.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <iostream>

#include "common/wide_win.h"
#include "tools/tool_text.h"

namespace {

// How many of the last `count` bytes of `bytes` begin a UTF-8 character that
// has not arrived whole (0 to 3). Stray continuation bytes count as whole:
// they convert to U+FFFD now as they would later.
size_t incompleteTail(const char* bytes, size_t count) {
  for (size_t back = 1; back <= std::min<size_t>(count, 3); ++back) {
    const auto byte = static_cast<unsigned char>(bytes[count - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return length > back ? back : 0;
  }
  return 0;
}

// Writes all of `text` to the console `console`, in pieces the console takes
// at once (older consoles refuse a single write of more than about 64 KB),
// never between the two halves of a surrogate pair.
bool writeToConsole(HANDLE console, std::u16string_view text) {
  constexpr size_t kPiece = 8192;
  while (!text.empty()) {
    size_t count = std::min(text.size(), kPiece);
    if (count < text.size() && text[count - 1] >= 0xD800 && text[count - 1] <= 0xDBFF) --count;
    DWORD written = 0;
    if (!WriteConsoleW(console, as_wcstr(text.data()), DWORD(count), &written, nullptr) || written == 0) return false;
    text.remove_prefix(std::min<size_t>(written, text.size()));
  }
  return true;
}

// The standard handle `which` when it is a console, else null.
HANDLE consoleHandle(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

std::unique_ptr<Utf8ToWideBuf> consoleBuf(HANDLE console) {
  if (console == nullptr) return nullptr;
  return std::make_unique<Utf8ToWideBuf>([console](std::u16string_view text) { return writeToConsole(console, text); });
}

}  // namespace

Utf8ToWideBuf::~Utf8ToWideBuf() {
  try {
    handOn(true);
  } catch (...) {
    // Memory ran out converting the last bytes: they are lost, the program is ending anyway.
  }
}

bool Utf8ToWideBuf::handOn(bool all) {
  const size_t count = size_t(pptr() - pbase());
  const size_t held = all ? 0 : incompleteTail(pbase(), count);
  const std::u16string text = toUtf16(std::string_view(pbase(), count - held));
  const bool written = text.empty() || write_(text);
  std::memmove(buffer_, pbase() + count - held, held);
  setp(buffer_, buffer_ + sizeof buffer_);
  pbump(int(held));
  return written;
}

Utf8ToWideBuf::int_type Utf8ToWideBuf::overflow(int_type c) {
  if (!handOn(false)) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

int Utf8ToWideBuf::sync() { return handOn(false) ? 0 : -1; }

ToolStreams::ToolStreams()
    : outConsole_(consoleBuf(consoleHandle(STD_OUTPUT_HANDLE))),
      errConsole_(consoleBuf(consoleHandle(STD_ERROR_HANDLE))) {
  if (outConsole_) outStream_ = std::make_unique<std::ostream>(outConsole_.get());
  if (errConsole_) {
    errStream_ = std::make_unique<std::ostream>(errConsole_.get());
    errStream_->setf(std::ios::unitbuf);
  }
  out_ = outStream_ ? outStream_.get() : &std::cout;
  err_ = errStream_ ? errStream_.get() : &std::cerr;
  errTiedBefore_ = err_->tie(out_);
}

ToolStreams::~ToolStreams() {
  out_->flush();
  err_->flush();
  err_->tie(errTiedBefore_);
}
