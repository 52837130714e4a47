// Benchmark baseline: starts the hall executable named by its only argument
// with the same shell call as the launcher's first hall start, and nothing else.
#include <windows.h>
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr || count < 2) return 1;
  ShellExecuteW(nullptr, L"open", arguments[1], L"ludora://ENTERAPP", nullptr, SW_SHOWNORMAL);
  LocalFree(arguments);
  return 0;
}
