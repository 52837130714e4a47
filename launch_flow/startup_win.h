// Start-up and the one place where a failed run is reported.
#pragma once

#include <exception>

// Builds the launch settings (stamp, then command line), assigns them to the
// process-wide instance and writes the start-up trace line. When the build
// raises (HeaderReadError, std::bad_alloc) the exception passes on and the
// process-wide settings keep their defaults.
void runStartup();

// Writes one trace line naming `failure` and returns the exit code for it
// (kExitHeaderUnreadable, kExitOutOfMemory or kExitUnexpectedError).
int reportRunFailure(std::exception_ptr failure);
