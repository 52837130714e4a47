// file_holder.exe (tests/programs) holding a file while a test writes it, as
// a virus scanner, an indexer or a reader would.
#pragma once

#include <windows.h>

#include <string>

#include "common/unique_handle_win.h"
#include "tests/support/launch_settings/stamp_test_support_win.h"

class FileHolder {
 public:
  // Starts the holder on `path`, letting others do what `share` lists ("-",
  // or letters r w d), for `milliseconds`; returns once it holds the file,
  // or once it has given up (holding() then says false).
  FileHolder(const std::wstring& path, const wchar_t* share, DWORD milliseconds) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return;
    const UniqueHandle output(readEnd);
    UniqueHandle childEnd(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    wchar_t program[MAX_PATH] = {};
    GetFullPathNameW((testProgramFolder() + L"..\\tests\\programs\\file_holder.exe").c_str(), MAX_PATH, program,
                     nullptr);
    std::wstring commandLine = L"\"" + std::wstring(program) + L"\" \"" + path + L"\" " + share + L" " +
                               std::to_wstring(milliseconds);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = childEnd.get();
    startup.hStdError = childEnd.get();
    PROCESS_INFORMATION created{};
    if (!CreateProcessW(program, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &created))
      return;
    process_ = uniqueProcess(created);
    childEnd.reset();  // the pipe ends when the holder does
    std::string said;
    char buffer[64];
    DWORD read = 0;
    while (said.find('\n') == std::string::npos && ReadFile(output.get(), buffer, sizeof buffer, &read, nullptr) &&
           read > 0)
      said.append(buffer, read);
    holding_ = said.rfind("holding", 0) == 0;
  }
  ~FileHolder() { wait(); }
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;

  bool holding() const { return holding_; }

  // Ends the holder now: the file is free when this returns.
  void stop() {
    if (process_.process) TerminateProcess(process_.process.get(), 1);
    wait();
  }

  // Waits for the holder to let go and end (ends it after 30 s).
  void wait() {
    if (!process_.process) return;
    if (WaitForSingleObject(process_.process.get(), 30000) != WAIT_OBJECT_0) TerminateProcess(process_.process.get(), 1);
    process_ = {};
  }

 private:
  UniqueProcess process_;
  bool holding_ = false;
};
