// What start-up and the entry write and return: exit codes of a run that
// could not finish its mode, and the trace lines of start-up and of failures.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Exit codes of a run that could not finish its mode (0..15 belong to the
// header self-test and the normal run).
enum LauncherFailureExit : int {
  kExitHeaderUnreadable = 100,  // the program's own file could not be read
  kExitOutOfMemory = 101,       // memory ran out
  kExitUnexpectedError = 102,   // any other error
  kExitSystemFunctionMissing = 103,  // a system DLL or one of its functions could not be had
};

// The first trace line of every run, naming the application and the channel:
// "获取到的拉活包——appid：<appId>, channelID:<channelId>." and CR LF.
std::u16string startupTraceLine(int32_t appId, int32_t channelId);

// The trace line of a run that ends with kExitHeaderUnreadable: the failed
// call, its error code and the system's text for it (may be empty).
std::u16string headerFailureTraceLine(std::string_view step, uint32_t code, std::u16string_view systemText);

// The trace line of a run that ends with kExitSystemFunctionMissing: the
// failed call ("GetProcAddress(user32.dll, MessageBoxW)"), its error code and
// the system's text for it (may be empty).
std::u16string systemFunctionFailureTraceLine(std::u16string_view call, uint32_t code,
                                              std::u16string_view systemText);

// The trace line of a run that ends with kExitOutOfMemory, as a constant:
// writing it needs no memory. Null-terminated.
inline constexpr std::u16string_view kOutOfMemoryTraceLine = u"launcher stopped: out of memory\r\n";

// The trace line of a run that ends with kExitUnexpectedError: "launcher stopped: " and `what`.
std::u16string failureTraceLine(std::string_view what);
