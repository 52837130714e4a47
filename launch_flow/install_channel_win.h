// The install-channel step of the launch sequence, run for an installed hall
// before its first start.
#pragma once

#include <string>

// Leaves the hall's install-channel file as it is: this build records no
// install channel, whatever `hallDirectory` holds.
void recordInstallChannelIfDue(const std::wstring& hallDirectory);
