// The tools' standard output and error on Windows: UTF-8 bytes, as the
// portable code writes them, when they go to a pipe or a file (scripts and
// tests read those); wide text through WriteConsoleW when they go to a
// console, which then shows every character in its own font whatever its
// code page (936, 437, ...), where UTF-8 bytes would be garbled.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string_view>

// A stream buffer that takes UTF-8 bytes and hands them on as UTF-16 text,
// whole characters only: the bytes of a character that a flush (or a full
// buffer) cuts are held back until the rest arrives. What is still held when
// the buffer is destroyed is handed on as it stands (an incomplete sequence
// becomes U+FFFD).
class Utf8ToWideBuf : public std::streambuf {
 public:
  // Puts UTF-16 text out; false when that failed (the stream then goes bad).
  using WideWriter = std::function<bool(std::u16string_view text)>;

  explicit Utf8ToWideBuf(WideWriter write) : write_(std::move(write)) { setp(buffer_, buffer_ + sizeof buffer_); }
  ~Utf8ToWideBuf() override;
  Utf8ToWideBuf(const Utf8ToWideBuf&) = delete;
  Utf8ToWideBuf& operator=(const Utf8ToWideBuf&) = delete;

  static constexpr size_t kBufferSize = 4096;

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  // Hands on the buffered bytes, all of them or up to an incomplete last
  // character, which stays at the start of the buffer.
  bool handOn(bool all);

  WideWriter write_;
  char buffer_[kBufferSize];
};

// The streams a tool's main hands to the portable code: std::cout and
// std::cerr where they are no console, else streams over the console. The
// error stream flushes the output stream before it writes, and itself after
// every write, as std::cerr does.
class ToolStreams {
 public:
  ToolStreams();
  ~ToolStreams();
  ToolStreams(const ToolStreams&) = delete;
  ToolStreams& operator=(const ToolStreams&) = delete;

  std::ostream& out() { return *out_; }
  std::ostream& err() { return *err_; }

 private:
  std::unique_ptr<Utf8ToWideBuf> outConsole_, errConsole_;
  std::unique_ptr<std::ostream> outStream_, errStream_;
  std::ostream* out_;
  std::ostream* err_;
  std::ostream* errTiedBefore_;
};
