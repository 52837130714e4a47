// The launch settings of this run, from the program's own stamp and command line.
#pragma once

#include "launch_settings/launch_settings.h"

// Reads the stamp (readHeaderSettings) and then the command line
// (parseCommandLine) and merges them. A HeaderReadError passes through before
// the command line is read; std::bad_alloc when memory runs out.
LaunchSettings buildLaunchSettings();

// The header self-test: reads stamp and command line afresh and returns
// headerSelfTestCode of the two raw readings (0..15). A HeaderReadError passes through.
int runHeaderSelfTest();
