// channel_launcher.exe: start-up, then the header self-test or the normal run.
#include <windows.h>

#include <exception>

#include "common/system_functions_win.h"
#include "launch_flow/hall_launch_win.h"
#include "launch_flow/startup.h"
#include "launch_flow/startup_win.h"
#include "launch_settings/launch_settings_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // First of all: no DLL may come from the program's folder or the current
  // directory (the program imports KERNEL32 and msvcrt only, which the loader
  // maps before any code runs). Then every other system DLL, from System32.
  restrictLibrarySearchToSystem32();
  try {
    systemFunctions();
    const LaunchSettings& settings = runStartup();
    if (settings.testDosHeaderAttribute) return runHeaderSelfTest();
    runHallLaunch(windowsHallLaunchPlatform(), settings.channelId, settings.appId);
    return 0;
  } catch (...) {
    return reportRunFailure(std::current_exception());
  }
}
