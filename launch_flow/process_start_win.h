// Starts a program from one whole command line, in its own directory, without
// a console window and without waiting for it.
#pragma once

#include <windows.h>

#include <memory>

#include "common/unique_handle_win.h"

// The directory of the executable that `commandLine` names first (arguments
// cut off, surrounding quotes removed, file name dropped; a drive root keeps
// its backslash). Null when `commandLine` is null or the directory is not an
// absolute path (a bare file name, an empty command line). The caller owns the result.
std::unique_ptr<wchar_t[]> workingDirectoryFromCommandLine(const wchar_t* commandLine);

// Starts the program of the writable, null-terminated `commandLine` (the call
// may write into it) with CREATE_NO_WINDOW and the working directory derived
// from it (none: the launcher's current directory). Returns the owner of the
// new process's handle (its thread's handle is closed), with the thread's
// last-error value set to 0; on failure an empty owner, with the last-error
// value set to the creation's error code.
UniqueHandle startProcess(wchar_t* commandLine);
