// The hall launch sequence on Windows: the registry, the shell, the window
// list and process creation behind the sequence of launch_flow/hall_launch.h.
#pragma once

#include "launch_flow/hall_launch.h"

// The Windows implementation of every platform operation of the sequence.
HallLaunchPlatform windowsHallLaunchPlatform();

// Runs the launch sequence for the process-wide settings' channelId and appId
// with the Windows platform. Returns when the sequence has ended; it reports nothing.
void runHallLaunch();
