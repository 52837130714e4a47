// The Windows build's program runs: CreateProcessW with the program's full
// path as the application name, its output on a pipe, and only that pipe
// and the NUL device inherited.
#include <windows.h>

#include <memory>

#include "common/unique_handle_win.h"
#include "common/wide_win.h"
#include "launch_flow/path_text.h"
#include "tools/program_run.h"
#include "tools/tool_text.h"

namespace {

struct AttributeListDeleter {
  void operator()(LPPROC_THREAD_ATTRIBUTE_LIST list) const {
    DeleteProcThreadAttributeList(list);
    delete[] reinterpret_cast<char*>(list);
  }
};
using UniqueAttributeList = std::unique_ptr<std::remove_pointer_t<LPPROC_THREAD_ATTRIBUTE_LIST>, AttributeListDeleter>;

// An attribute list that lets the new process inherit `handles` alone, or
// an empty owner (GetLastError tells why).
UniqueAttributeList inheritOnly(HANDLE* handles, size_t count) {
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(new char[size]);
  if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) {
    delete[] reinterpret_cast<char*>(list);
    return nullptr;
  }
  UniqueAttributeList owned(list);
  if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles, count * sizeof(HANDLE), nullptr,
                                 nullptr))
    return nullptr;
  return owned;
}

// Reads `from` until the program closes its end.
void readOutput(HANDLE from, ProgramRun& run) {
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got != 0)
    keepOutput(run.output, std::string_view(buffer, got));
}

// The folder part of a full path, for the program's working folder.
std::u16string folderOf(const std::u16string& path) {
  const size_t slash = path.find_last_of(u"\\/");
  return path.substr(0, slash == 2 ? 3 : slash);  // a drive root keeps its backslash
}

// Starts `program` with its output on `output` and its input from `input`;
// the process handle, or an empty owner with the error in `run`.
UniqueHandle start(const std::u16string& program, std::u16string commandLine, HANDLE input, HANDLE output,
                   ProgramRun& run) {
  HANDLE inherited[] = {input, output};
  const UniqueAttributeList attributes = inheritOnly(inherited, 2);
  if (!attributes) {
    run.startError = GetLastError();
    return nullptr;
  }
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = input;
  startup.StartupInfo.hStdOutput = output;
  startup.StartupInfo.hStdError = output;
  startup.lpAttributeList = attributes.get();
  PROCESS_INFORMATION created{};
  const std::u16string folder = folderOf(program);
  const BOOL started = CreateProcessW(as_wcstr(program), as_wcstr(commandLine.data()), nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT, nullptr, as_wcstr(folder),
                                      &startup.StartupInfo, &created);
  if (!started) run.startError = GetLastError();
  UniqueProcess owned = uniqueProcess(created);
  return std::move(owned.process);
}

}  // namespace

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments) {
  ProgramRun run;
  if (!isFullProgramPath(program)) {
    run.startError = ERROR_BAD_PATHNAME;
    return run;
  }
  const std::u16string programPath = toUtf16(program);
  std::vector<std::u16string> words = {programPath};
  for (const std::string& argument : arguments) words.push_back(toUtf16(argument));

  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
    run.startError = GetLastError();
    return run;
  }
  UniqueHandle reader(readEnd), writer(writeEnd);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  UniqueHandle input = uniqueFile(CreateFileW(L"\\\\.\\NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                              OPEN_EXISTING, 0, nullptr));
  if (!input) {
    run.startError = GetLastError();
    return run;
  }
  const UniqueHandle process = start(programPath, windowsCommandLine(words), input.get(), writeEnd, run);
  // Only the program holds the write end now, so the read ends when it does.
  writer.reset();
  input.reset();
  if (!process) return run;
  readOutput(readEnd, run);
  WaitForSingleObject(process.get(), INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  run.exitCode = int(code);
  return run;
}

bool isFullProgramPath(std::string_view path) { return isFullyQualifiedPath(toUtf16(path)); }

std::string defaultSignerPath() { return {}; }
