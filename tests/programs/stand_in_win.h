// What the stand-ins for the hall and the software manager share: a log of
// how each was started, and a window of the hall's class shown on request.
//
// Log line (UTF-8, fields separated by tabs, one line per start):
//   program  process id  start time (ns since 1970, UTC)  command line  current directory
//   start-up flags  show state  console  local time offset
// The start-up flags and the show state (decimal) are the dwFlags and
// wShowWindow of the start-up record the program was given (GetStartupInfoW).
// The console is "none", "windowless" (a console without a window: what
// CREATE_NO_WINDOW gives a console program) or "window". The offset is the
// program's local time minus UTC, in minutes.
// The log is the file named by CHANNEL_TEST_LOG, else stand_in_log.txt beside
// the program.
#pragma once

#include <windows.h>

#include <string>

// Environment variable names the stand-ins obey.
inline constexpr wchar_t kLogVariable[] = L"CHANNEL_TEST_LOG";

// Appends this process's start line to the log. Failures are silent: a
// stand-in must never stop the program that started it.
void logStart(const wchar_t* program);

// The value of environment variable `name`; empty when unset.
std::wstring environmentText(const wchar_t* name);

// The decimal value of environment variable `name`; 0 when unset or not a number.
DWORD environmentMilliseconds(const wchar_t* name);

// Shows a visible top-level window of class "GRootViewClass", 1024 x 768 at the
// screen's top left, for `milliseconds`, then destroys it. With
// LUDORA_TEST_WINDOW_PIXELS=WxH the program is DPI-aware and the window W x H
// screen pixels.
void showHallWindow(DWORD milliseconds);
