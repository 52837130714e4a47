// file_holder.exe (tests/programs) holding a file while a test writes it, as
// a virus scanner, an indexer or a reader would.
#pragma once

#include <windows.h>

#include <string>

#include "tests/support/child_process_win.h"
#include "tests/support/launch_settings/stamp_test_support_win.h"

class FileHolder {
 public:
  // Starts the holder on `path`, letting others do what `share` lists ("-",
  // or letters r w d), for `milliseconds`; returns once it holds the file,
  // or once it has given up (holding() then says false).
  FileHolder(const std::wstring& path, const wchar_t* share, DWORD milliseconds) {
    wchar_t program[MAX_PATH] = {};
    GetFullPathNameW((testProgramFolder() + L"..\\tests\\programs\\file_holder.exe").c_str(), MAX_PATH, program,
                     nullptr);
    const std::wstring commandLine = L"\"" + std::wstring(program) + L"\" \"" + path + L"\" " + share + L" " +
                                     std::to_wstring(milliseconds);
    // Its standard output is in text mode: "holding", CR LF.
    holding_ = holder_.start(program, commandLine) && holder_.readLine().starts_with("holding");
  }
  ~FileHolder() { holder_.wait(); }
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;

  bool holding() const { return holding_; }
  // Ends the holder now: the file is free when this returns.
  void stop() { holder_.terminate(); }
  // Waits for the holder to let go and end.
  void wait() { holder_.wait(); }

 private:
  ChildProcess holder_;
  bool holding_ = false;
};
