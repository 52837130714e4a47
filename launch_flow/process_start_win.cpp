#include "launch_flow/process_start_win.h"

#include <cwchar>
#include <utility>

#include "common/system_functions_win.h"

std::unique_ptr<wchar_t[]> workingDirectoryFromCommandLine(const wchar_t* commandLine) {
  if (commandLine == nullptr) return nullptr;
  // Room beyond the copied text for the path operations.
  const size_t length = wcslen(commandLine);
  auto directory = std::make_unique<wchar_t[]>(length + MAX_PATH);
  wmemcpy(directory.get(), commandLine, length + 1);
  // Arguments go before the quotes, so a quoted path with spaces stays whole.
  const SystemFunctions& system = systemFunctions();
  system.PathRemoveArgsW(directory.get());
  system.PathUnquoteSpacesW(directory.get());
  system.PathRemoveFileSpecW(directory.get());
  if (system.PathIsRelativeW(directory.get())) return nullptr;
  return directory;
}

UniqueHandle startProcess(wchar_t* commandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION created{};
  std::unique_ptr<wchar_t[]> directory = workingDirectoryFromCommandLine(commandLine);
  const BOOL started = CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                      directory.get(), &startup, &created);
  // The creation's error code is taken at once, so the cleanup cannot change it.
  const DWORD error = started ? ERROR_SUCCESS : GetLastError();
  UniqueProcess owned = uniqueProcess(created);
  directory.reset();
  owned.thread.reset();
  SetLastError(error);
  return std::move(owned.process);
}
