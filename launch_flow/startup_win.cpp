#include "launch_flow/startup_win.h"

#include <windows.h>

#include <new>
#include <string>

#include "common/system_functions_win.h"
#include "common/unique_handle_win.h"
#include "common/wide_win.h"
#include "launch_flow/debug_trace_win.h"
#include "launch_flow/startup.h"
#include "launch_settings/header_reader_win.h"
#include "launch_settings/launch_settings_win.h"

namespace {

// The process-wide settings. Static storage: defaults from static
// initialisation, assigned once by runStartup, destroyed at exit. Only
// runStartup and the entry it returns them to know this record exists.
LaunchSettings gProcessSettings;

// The system's description of `code`, without its line end; empty when there is none.
std::u16string systemErrorText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  const UniqueLocal<wchar_t> owned(text);
  std::u16string result(as_u16cstr(owned ? owned.get() : L""), length);
  while (!result.empty() && (result.back() == u'\r' || result.back() == u'\n' || result.back() == u' '))
    result.pop_back();
  return result;
}

}  // namespace

const LaunchSettings& runStartup() {
  gProcessSettings = buildLaunchSettings();
  writeTraceLine(startupTraceLine(gProcessSettings.appId, gProcessSettings.channelId));
  return gProcessSettings;
}

namespace {

// The line and exit code for `failure`. Building the line may itself run out
// of memory (std::bad_alloc passes on).
int describeRunFailure(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const HeaderReadError& error) {
    writeTraceLine(headerFailureTraceLine(error.step(), error.code(), systemErrorText(error.code())));
    return kExitHeaderUnreadable;
  } catch (const SystemFunctionMissing& error) {
    writeTraceLine(systemFunctionFailureTraceLine(error.call(), error.code(), systemErrorText(error.code())));
    return kExitSystemFunctionMissing;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& error) {
    writeTraceLine(failureTraceLine(error.what()));
  } catch (...) {
    writeTraceLine(failureTraceLine("unknown error"));
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
