// Start-up: builds the launch settings once and publishes them process-wide.
#pragma once

#include "launch_settings/launch_settings.h"

// The process-wide settings: defaults until start-up has run, then the merged
// record, read-only for the rest of the run.
const LaunchSettings& processLaunchSettings();
