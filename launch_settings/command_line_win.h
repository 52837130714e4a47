// The process command line, split by the platform's rules.
#pragma once

#include "launch_settings/command_line.h"

// Splits `commandLine` with CommandLineToArgvW (white space separates, double
// quotes group, backslashes before a quote escape it). An empty token set
// when the line cannot be split.
CommandLineTokens splitCommandLine(const wchar_t* commandLine);

// The settings given on this process's command line (GetCommandLineW), read
// afresh on each call. Never fails.
CommandLineSettings parseCommandLine();
