// A test program that holds a file open the way a virus scanner, an indexer
// or a program reading it would, for the tests of writes that meet such a
// hold:
//
//   file_holder.exe PATH SHARE MILLISECONDS
//
// opens the existing file PATH for reading, letting others do what SHARE
// lists ("-" nothing; any of r read, w write, d delete), writes "holding" and
// a line end to its standard output once it holds it, keeps it open for
// MILLISECONDS, then closes it and writes "released". Exit code 0; 1 for bad
// arguments; 2 when the file cannot be opened (with "cannot open, error N").
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string_view>

namespace {

bool shareFlags(std::wstring_view text, DWORD& share) {
  share = 0;
  if (text == L"-") return true;
  for (const wchar_t flag : text) {
    if (flag == L'r') share |= FILE_SHARE_READ;
    else if (flag == L'w') share |= FILE_SHARE_WRITE;
    else if (flag == L'd') share |= FILE_SHARE_DELETE;
    else return false;
  }
  return !text.empty();
}

void say(const char* line) {
  std::fputs(line, stdout);
  std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  DWORD share = 0;
  if (argc != 4 || !shareFlags(argv[2], share)) {
    say("usage: file_holder PATH SHARE MILLISECONDS\n");
    return 1;
  }
  const DWORD milliseconds = DWORD(std::wcstoul(argv[3], nullptr, 10));
  const HANDLE file = CreateFileW(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::printf("cannot open, error %lu\n", GetLastError());
    std::fflush(stdout);
    return 2;
  }
  say("holding\n");
  Sleep(milliseconds);
  CloseHandle(file);
  say("released\n");
  return 0;
}
