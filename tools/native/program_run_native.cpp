// The native build's program runs: posix_spawn with the output on a pipe.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "tools/program_run.h"

extern char** environ;

namespace {

// Reads `from` to its end into `run.output`.
void readOutput(int from, ProgramRun& run) {
  char buffer[4096];
  while (true) {
    const ssize_t got = read(from, buffer, sizeof buffer);
    if (got > 0) keepOutput(run.output, std::string_view(buffer, size_t(got)));
    else if (got == 0 || errno != EINTR) return;
  }
}

int exitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 128;
}

}  // namespace

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments) {
  ProgramRun run;
  if (!isFullProgramPath(program)) {
    run.startError = ENOENT;
    return run;
  }
  int pipeEnds[2];
  // Close-on-exec, so that only the duplicates below reach the program.
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
    run.startError = uint32_t(errno);
    return run;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  if (spawned == 0) readOutput(pipeEnds[0], run);
  close(pipeEnds[0]);
  if (spawned != 0) {
    run.startError = uint32_t(spawned);
    return run;
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  run.exitCode = exitCodeOf(status);
  return run;
}

bool isFullProgramPath(std::string_view path) { return path.starts_with('/'); }

std::string defaultSignerPath() {
  const char* path = "/usr/bin/osslsigncode";
  return access(path, X_OK) == 0 ? path : "";
}
