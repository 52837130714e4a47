// Start-up and the one place where a failed run is reported.
#pragma once

#include <exception>

#include "launch_settings/launch_settings.h"

// Builds the launch settings (stamp, then command line), assigns them to the
// process-wide instance, writes the start-up trace line and returns that
// instance, read-only until the process exits: the entry hands it on to the
// mode it runs. When the build raises (HeaderReadError, std::bad_alloc) the
// exception passes on and the process-wide settings keep their defaults.
const LaunchSettings& runStartup();

// Writes one trace line naming `failure` and returns the exit code for it
// (kExitHeaderUnreadable, kExitOutOfMemory or kExitUnexpectedError).
int reportRunFailure(std::exception_ptr failure);
