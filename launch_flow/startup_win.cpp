#include "launch_flow/startup_win.h"

#include <windows.h>

#include <new>
#include <string>

#include "common/system_error_text_win.h"
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
