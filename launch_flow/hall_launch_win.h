// The hall launch sequence on Windows: the registry, the shell, the window
// list and process creation behind the sequence of launch_flow/hall_launch.h.
#pragma once

#include "launch_flow/hall_launch.h"

// The Windows implementation of every platform operation of the sequence;
// the entry runs the sequence over it with the launch settings' channel and
// application numbers.
HallLaunchPlatform windowsHallLaunchPlatform();
