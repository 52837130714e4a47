// The install-channel step of the launch sequence on Windows: the recent-use
// check over the hall's cache, path joining, folder creation and the trace.
#pragma once

#include "launch_flow/install_channel.h"

// The Windows implementation of every platform operation of the step (see
// install_channel.h for what is written, traced and kept). The recent-use
// check may leave the hall's cache directory as the process's current
// directory; the record folder is created with its parents.
InstallChannelPlatform windowsInstallChannelPlatform();
