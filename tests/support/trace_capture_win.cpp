#include "tests/support/trace_capture_win.h"

#include "common/unique_handle_win.h"
#include "tests/support/utf8_win.h"

TraceCapture::~TraceCapture() {
  {
    std::unique_lock lock(mutex_);
    if (started_ && !finished_ && process_ != nullptr) TerminateProcess(process_, 1);
  }
  if (thread_.joinable()) thread_.join();
}

bool TraceCapture::start(const std::wstring& commandLine, const std::wstring& workingDirectory) {
  thread_ = std::thread(&TraceCapture::debugLoop, this, commandLine, workingDirectory);
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return started_ || finished_; });
  return started_;
}

bool TraceCapture::waitForExit(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return finished_; });
}

bool TraceCapture::waitForLine(const std::function<bool(const std::wstring&)>& match,
                               std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  auto found = [&] {
    for (const auto& line : lines_)
      if (match(line)) return true;
    return false;
  };
  changed_.wait_for(lock, timeout, [&] { return found() || finished_; });
  return found();
}

std::vector<std::wstring> TraceCapture::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::optional<DWORD> TraceCapture::exitCode() const {
  std::lock_guard lock(mutex_);
  return exitCode_;
}

void TraceCapture::recordOutput(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
  // The length counts the terminator. A debugger under Wine receives the ANSI
  // form in the debuggee's code page; a Unicode form is taken as it is.
  const size_t unit = info.fUnicode ? sizeof(wchar_t) : 1;
  std::vector<char> raw(size_t(info.nDebugStringLength) * unit);
  SIZE_T read = 0;
  if (raw.empty() || !ReadProcessMemory(process, info.lpDebugStringData, raw.data(), raw.size(), &read))
    return;
  raw.resize(read);
  std::wstring line;
  if (info.fUnicode) {
    line.assign(reinterpret_cast<const wchar_t*>(raw.data()), raw.size() / sizeof(wchar_t));
  } else {
    const int count = MultiByteToWideChar(CP_ACP, 0, raw.data(), int(raw.size()), nullptr, 0);
    line.resize(size_t(count));
    MultiByteToWideChar(CP_ACP, 0, raw.data(), int(raw.size()), line.data(), count);
  }
  if (!line.empty() && line.back() == L'\0') line.pop_back();
  std::lock_guard lock(mutex_);
  lines_.push_back(std::move(line));
  changed_.notify_all();
}

void TraceCapture::debugLoop(std::wstring commandLine, std::wstring workingDirectory) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
  writable.push_back(L'\0');
  const BOOL started = CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE,
                                      DEBUG_ONLY_THIS_PROCESS, nullptr,
                                      workingDirectory.empty() ? nullptr : workingDirectory.c_str(),
                                      &startup, &info);
  UniqueProcess created = uniqueProcess(info);
  {
    std::lock_guard lock(mutex_);
    if (!started) {
      startError_ = GetLastError();
      finished_ = true;
      changed_.notify_all();
      return;
    }
    started_ = true;
    process_ = created.process.get();
    processId_ = info.dwProcessId;
    changed_.notify_all();
  }
  created.thread.reset();

  for (;;) {
    DEBUG_EVENT event{};
    if (!WaitForDebugEvent(&event, INFINITE)) break;
    DWORD status = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT: {
        // The image's and each DLL's file handle are the debugger's to close.
        const UniqueHandle image(event.u.CreateProcessInfo.hFile);
        break;
      }
      case LOAD_DLL_DEBUG_EVENT: {
        const UniqueHandle dll(event.u.LoadDll.hFile);
        break;
      }
      case OUTPUT_DEBUG_STRING_EVENT:
        recordOutput(created.process.get(), event.u.DebugString);
        break;
      case EXCEPTION_DEBUG_EVENT:
        // The loader's initial breakpoint is ours to swallow; anything else is
        // the debuggee's own business.
        if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
          status = DBG_EXCEPTION_NOT_HANDLED;
        break;
      default:
        break;
    }
    if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
      ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
      std::lock_guard lock(mutex_);
      exitCode_ = event.u.ExitProcess.dwExitCode;
      break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
  }
  std::lock_guard lock(mutex_);
  created.process.reset();
  process_ = nullptr;
  finished_ = true;
  changed_.notify_all();
}

std::string printableLine(const std::wstring& line) {
  std::wstring shown;
  for (wchar_t c : line) {
    if (c == L'\r') shown += L"\\r";
    else if (c == L'\n') shown += L"\\n";
    else shown += c;
  }
  return utf8FromWide(shown);
}
