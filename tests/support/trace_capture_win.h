// Runs a program as a debuggee and records its debug-trace lines and exit code.
//
// The debugger loop runs on a thread of its own (the thread that creates a
// debuggee must be the one that waits for its events), so a test can act on
// the running program meanwhile: press a message box button, show a window.
// Only the started process is debugged, not the programs it starts.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class TraceCapture {
 public:
  TraceCapture() = default;
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;
  // Waits for the debugger thread; kills the debuggee first if it still runs.
  ~TraceCapture();

  // Starts `commandLine` (first token: the program) in `workingDirectory`
  // (empty: the caller's). Returns false, with lastError() set, when the
  // program could not be started.
  bool start(const std::wstring& commandLine, const std::wstring& workingDirectory = L"");

  // Waits until the debuggee has exited; false on timeout.
  bool waitForExit(std::chrono::milliseconds timeout);
  // Waits until some line satisfies `match`; false on timeout or exit without it.
  bool waitForLine(const std::function<bool(const std::wstring&)>& match,
                   std::chrono::milliseconds timeout);

  std::vector<std::wstring> lines() const;  // every trace line so far, exactly as written
  std::optional<DWORD> exitCode() const;    // set once the debuggee has exited
  DWORD processId() const { return processId_; }
  DWORD lastError() const { return startError_; }

 private:
  void debugLoop(std::wstring commandLine, std::wstring workingDirectory);
  void recordOutput(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::wstring> lines_;
  std::optional<DWORD> exitCode_;
  bool started_ = false;
  bool finished_ = false;
  DWORD startError_ = 0;
  DWORD processId_ = 0;
  HANDLE process_ = nullptr;
  std::thread thread_;
};

// Renders a trace line for messages: CR and LF made visible, the rest as UTF-8.
std::string printableLine(const std::wstring& line);
