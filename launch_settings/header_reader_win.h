// Reads the settings stamped into the running program's own file.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

#include "launch_settings/header_settings.h"

// The operating system's error code of the step of the header reading that
// failed (GetModuleFileNameW, CreateFileW, GetFileSizeEx, CreateFileMappingW
// or MapViewOfFile).
class HeaderReadError : public std::exception {
 public:
  HeaderReadError(const char* step, DWORD code) : step_(step), code_(code) {}
  // A fixed text: step() and code() say which call failed and why.
  const char* what() const noexcept override { return "the program's own header could not be read"; }
  const char* step() const { return step_; }  // a static string, the failed call's name
  DWORD code() const { return code_; }

 private:
  const char* step_;
  DWORD code_;
};

// The full path of the file of `module` (nullptr: the running program),
// however long: the buffer grows until the name fits, so it is never cut
// short. Raises HeaderReadError when the platform cannot give it.
std::wstring modulePath(HMODULE module);

// The stamp of the file of `module` (nullptr: the running program), with the
// "cid" rule applied to its full path. Every handle, mapping and view is
// released before it returns. Raises HeaderReadError with the error code of
// the failed step.
HeaderSettings readModuleHeaderSettings(HMODULE module);

// The stamp of the running program's own file: readModuleHeaderSettings(nullptr).
HeaderSettings readHeaderSettings();
