// A DLL that stands for what an attacker drops beside a downloaded program:
// copied under the names of system DLLs, it logs every process it is loaded
// into. It exports nothing, so a program that imports it statically fails to
// start, and one that loads it dynamically goes on.
//
// Log line (UTF-8, tab-separated, one per load):
//   the DLL's own path  the host program's path
// The log is the file named by CHANNEL_PLANT_LOG, else planted_log.txt beside
// the DLL. It uses KERNEL32 only, which is safe inside DllMain.
#include <windows.h>

#include "common/unique_handle_win.h"

namespace {

// `text` as UTF-8 appended to `buffer` (room `capacity`) at `length`; returns the new length.
int appendUtf8(char* buffer, int capacity, int length, const wchar_t* text) {
  const int written = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer + length, capacity - length, nullptr, nullptr);
  return written > 0 ? length + written - 1 : length;  // without the terminator
}

void logLoad(HMODULE self) {
  wchar_t dllPath[MAX_PATH] = {};
  wchar_t hostPath[MAX_PATH] = {};
  GetModuleFileNameW(self, dllPath, MAX_PATH);
  GetModuleFileNameW(nullptr, hostPath, MAX_PATH);

  wchar_t logPath[MAX_PATH] = {};
  const DWORD named = GetEnvironmentVariableW(L"CHANNEL_PLANT_LOG", logPath, MAX_PATH);
  if (named == 0 || named >= MAX_PATH) {
    lstrcpynW(logPath, dllPath, MAX_PATH);
    wchar_t* slash = nullptr;
    for (wchar_t* c = logPath; *c; ++c)
      if (*c == L'\\') slash = c;
    if (slash != nullptr) lstrcpynW(slash + 1, L"planted_log.txt", int(MAX_PATH - (slash + 1 - logPath)));
  }

  char line[4 * 2 * MAX_PATH + 4];
  int length = appendUtf8(line, sizeof line, 0, dllPath);
  line[length++] = '\t';
  length = appendUtf8(line, sizeof line - 2, length, hostPath);
  line[length++] = '\n';

  // One appending write per load; the tests ask only whether any load was logged.
  const UniqueHandle log = uniqueFile(CreateFileW(logPath, FILE_APPEND_DATA,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!log) return;
  DWORD written = 0;
  WriteFile(log.get(), line, DWORD(length), &written, nullptr);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) logLoad(instance);
  return TRUE;
}
