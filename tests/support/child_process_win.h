// A program that a test starts, with its standard output and error going to
// a pipe that the test reads.
#pragma once

#include <windows.h>

#include <string>

#include "common/unique_handle_win.h"

class ChildProcess {
 public:
  // Starts `program` (a full path) with the command line `commandLine`
  // (which names the program first); false when it cannot be started.
  bool start(const std::wstring& program, std::wstring commandLine) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return false;
    output_.reset(readEnd);
    const UniqueHandle childEnd(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = childEnd.get();
    startup.hStdError = childEnd.get();
    PROCESS_INFORMATION created{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &created))
      return false;
    process_ = uniqueProcess(created);
    return true;  // the pipe ends once the program and its children close their ends
  }

  // What the program wrote up to and including its next line end, or up to
  // its end.
  std::string readLine() {
    std::string line;
    char c = 0;
    DWORD read = 0;
    while (output_ && ReadFile(output_.get(), &c, 1, &read, nullptr) && read == 1) {
      line += c;
      if (c == '\n') break;
    }
    return line;
  }

  // Everything the program writes from now to its end.
  std::string readAll() {
    std::string all;
    for (std::string line = readLine(); !line.empty(); line = readLine()) all += line;
    return all;
  }

  // Waits for the program to end (ends it after `milliseconds`); its exit code.
  DWORD wait(DWORD milliseconds = 60000) {
    if (!process_.process) return DWORD(-1);
    if (WaitForSingleObject(process_.process.get(), milliseconds) != WAIT_OBJECT_0)
      TerminateProcess(process_.process.get(), DWORD(-1));
    WaitForSingleObject(process_.process.get(), INFINITE);
    DWORD code = DWORD(-1);
    GetExitCodeProcess(process_.process.get(), &code);
    process_ = {};
    return code;
  }

  void terminate() {
    if (process_.process) TerminateProcess(process_.process.get(), DWORD(-1));
    wait();
  }

  bool running() const { return bool(process_.process); }

 private:
  UniqueProcess process_;
  UniqueHandle output_;
};
