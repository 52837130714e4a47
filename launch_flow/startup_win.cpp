#include "launch_flow/startup_win.h"

#include <windows.h>

#include <new>
#include <string>

#include "common/system_functions_win.h"
#include "common/unique_handle_win.h"
#include "common/wide_win.h"
#include "launch_flow/startup.h"
#include "launch_settings/header_reader_win.h"
#include "launch_settings/launch_settings_win.h"

namespace {

// Static storage: defaults from static initialisation, assigned once by
// runStartup, destroyed at exit.
LaunchSettings gProcessSettings;

// The system's description of `code`, without its line end; empty when there is none.
std::wstring systemErrorText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  const UniqueLocal<wchar_t> owned(text);
  std::wstring result(owned ? owned.get() : L"", length);
  while (!result.empty() && (result.back() == L'\r' || result.back() == L'\n' || result.back() == L' '))
    result.pop_back();
  return result;
}

}  // namespace

const LaunchSettings& processLaunchSettings() { return gProcessSettings; }

void runStartup() {
  gProcessSettings = buildLaunchSettings();
  OutputDebugStringW(startupTraceLine(gProcessSettings.appId, gProcessSettings.channelId).c_str());
}

namespace {

// The line and exit code for `failure`. Building the line may itself run out
// of memory (std::bad_alloc passes on).
int describeRunFailure(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const HeaderReadError& error) {
    OutputDebugStringW(headerFailureTraceLine(error.step(), error.code(), systemErrorText(error.code())).c_str());
    return kExitHeaderUnreadable;
  } catch (const SystemFunctionMissing& error) {
    OutputDebugStringW(systemFunctionFailureTraceLine(error.call(), error.code(), systemErrorText(error.code())).c_str());
    return kExitSystemFunctionMissing;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& error) {
    OutputDebugStringW(failureTraceLine(error.what()).c_str());
  } catch (...) {
    OutputDebugStringW(failureTraceLine("unknown error").c_str());
  }
  return kExitUnexpectedError;
}

}  // namespace

int reportRunFailure(std::exception_ptr failure) {
  try {
    return describeRunFailure(failure);
  } catch (const std::bad_alloc&) {
    // A constant line: memory may still be short, so nothing is allocated here.
    OutputDebugStringW(as_wcstr(kOutOfMemoryTraceLine.data()));
    return kExitOutOfMemory;
  }
}
