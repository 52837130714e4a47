#include "launch_settings/launch_settings_win.h"

#include "launch_settings/command_line_win.h"
#include "launch_settings/header_reader_win.h"
#include "launch_settings/header_self_check.h"

LaunchSettings buildLaunchSettings() {
  const HeaderSettings header = readHeaderSettings();
  return mergeLaunchSettings(header, parseCommandLine());
}

int runHeaderSelfTest() {
  const HeaderSettings header = readHeaderSettings();
  return headerSelfTestCode(header, parseCommandLine());
}
