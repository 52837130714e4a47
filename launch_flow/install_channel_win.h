// The install-channel step of the launch sequence, run for an installed hall
// before its first start.
#pragma once

#include <string>

// Writes the process-wide channel into "config\original\InsChannel.as" under
// `hallDirectory` unless the hall's GPU cache shows use within 30 days (see
// install_channel.h for what is written, traced and kept). Creates the record
// folder with its parents. May leave the hall's cache directory as the
// process's current directory.
void recordInstallChannelIfDue(const std::wstring& hallDirectory);
