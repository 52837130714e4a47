// Running another program to its end and keeping what it printed: how
// "channel_stamp publish" starts its signer. The portable part quotes a
// Windows command line; each platform half (native/program_run_native.cpp,
// windows/program_run_win.cpp) starts the program. Callers hand a
// ProgramRunner around, so that tests can put a fake program in its place.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// How a program run ended.
struct ProgramRun {
  uint32_t startError = 0;  // why it could not be started (errno, or a Windows error code); 0 when it ran
  int exitCode = 0;         // its exit code, when it ran (natively 128 + N when signal N ended it)
  std::string output;       // the last kOutputKept bytes it wrote to stdout and stderr, interleaved

  static constexpr size_t kOutputKept = 16 * 1024;
  bool succeeded() const { return startError == 0 && exitCode == 0; }
};

// Runs `program` (a full path: see isFullProgramPath) with `arguments` (UTF-8,
// one per word, the program's name not among them) and waits for its end.
using ProgramRunner = std::function<ProgramRun(const std::string& program, const std::vector<std::string>& arguments)>;

// Per platform: the real thing. The program gets no standard input, its
// output is kept, it inherits no other file or handle of this process, and
// on Windows it starts in its own folder with its path as the application
// name, so no search for it ever happens. A program that is not a full path
// is not started (startError ENOENT / ERROR_BAD_PATHNAME).
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments);

// Per platform: whether `path` names one file whatever the current folder is
// ("/..." natively; "X:\..." or "\\server\share\..." on Windows).
bool isFullProgramPath(std::string_view path);

// Per platform: the signer used when none is named: /usr/bin/osslsigncode
// natively when it is there; on Windows none (empty): it must be named.
std::string defaultSignerPath();

// Portable: `words` as one Windows command line that CommandLineToArgvW (and
// the C runtime) split back into exactly those words: a word with a space, a
// tab or a quote, or an empty word, is quoted, a quote in it escaped, and the
// backslashes before a quote (or before the closing quote) doubled.
std::u16string windowsCommandLine(const std::vector<std::u16string>& words);

// Portable: appends `more` to a program's kept `output`, dropping its oldest
// bytes beyond ProgramRun::kOutputKept.
void keepOutput(std::string& output, std::string_view more);
