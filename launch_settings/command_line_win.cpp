#include "launch_settings/command_line_win.h"

#include <windows.h>

#include <string>
#include <vector>

#include "common/system_functions_win.h"
#include "common/unique_handle_win.h"
#include "common/wide_win.h"

CommandLineTokens splitCommandLine(const wchar_t* commandLine) {
  int count = 0;
  const UniqueLocal<wchar_t*> argv(systemFunctions().CommandLineToArgvW(commandLine, &count));
  if (!argv || count <= 0) return {};
  std::vector<std::u16string> arguments;
  arguments.reserve(size_t(count));
  for (int i = 0; i < count; ++i) arguments.emplace_back(as_u16cstr(argv.get()[i]));
  return CommandLineTokens(arguments);
}

CommandLineSettings parseCommandLine() {
  const std::wstring commandLine = GetCommandLineW();
  return readCommandLineSettings(splitCommandLine(commandLine.c_str()));
}
