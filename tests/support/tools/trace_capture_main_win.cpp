// trace_capture: runs a program as a debuggee and prints its debug-trace lines
// (CR and LF shown as \r and \n) and its exit code.
//
//   trace_capture.exe [--timeout SECONDS] PROGRAM [ARGS...]
//
// Arguments after the options are passed on as they stand in our own command
// line, so quoting survives exactly. Exit code: the debuggee's, or 125 when it
// could not be started, 124 when it ran past the timeout.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "tests/support/trace_capture_win.h"

namespace {

// Returns the rest of the command line after `skip` arguments, split by the
// same rules as CommandLineToArgvW so that the program's own quoting is kept.
const wchar_t* skipArguments(const wchar_t* line, int skip) {
  for (int i = 0; i < skip; ++i) {
    while (*line == L' ' || *line == L'\t') ++line;
    bool quoted = false;
    for (; *line && (quoted || (*line != L' ' && *line != L'\t')); ++line)
      if (*line == L'"') quoted = !quoted;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int first = 1;
  double timeoutSeconds = 600;
  if (argc > 2 && std::wcscmp(argv[1], L"--timeout") == 0) {
    timeoutSeconds = _wtof(argv[2]);
    first = 3;
  }
  if (first >= argc) {
    std::fputs("usage: trace_capture.exe [--timeout SECONDS] PROGRAM [ARGS...]\n", stderr);
    return 2;
  }
  TraceCapture capture;
  if (!capture.start(skipArguments(GetCommandLineW(), first))) {
    std::fprintf(stderr, "trace_capture: could not start the program (error %lu)\n", capture.lastError());
    return 125;
  }
  const bool exited = capture.waitForExit(std::chrono::milliseconds(long(timeoutSeconds * 1000)));
  for (const auto& line : capture.lines()) std::printf("trace: %s\n", printableLine(line).c_str());
  if (!exited) {
    std::puts("exit code: (still running at the timeout)");
    return 124;
  }
  std::printf("exit code: %lu\n", *capture.exitCode());
  return int(*capture.exitCode());
}
