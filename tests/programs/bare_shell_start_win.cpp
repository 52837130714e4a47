// Benchmark baseline: starts the hall executable named by its only argument
// with the same shell call as the launcher's first hall start, and nothing else.
#include <windows.h>
#include <shellapi.h>

#include "common/unique_handle_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  const UniqueLocal<wchar_t*> arguments(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!arguments || count < 2) return 1;
  ShellExecuteW(nullptr, L"open", arguments.get()[1], L"ludora://ENTERAPP", nullptr, SW_SHOWNORMAL);
  return 0;
}
