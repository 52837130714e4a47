// channel_launcher.exe: start-up, then the header self-test or the normal run.
#include <windows.h>

#include <exception>

#include "launch_flow/hall_launch_win.h"
#include "launch_flow/startup.h"
#include "launch_flow/startup_win.h"
#include "launch_settings/launch_settings_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  try {
    runStartup();
    if (processLaunchSettings().testDosHeaderAttribute) return runHeaderSelfTest();
    runHallLaunch();
    return 0;
  } catch (...) {
    return reportRunFailure(std::current_exception());
  }
}
