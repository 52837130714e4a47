#include "launch_flow/install_channel_win.h"

#include <windows.h>

#include "common/system_functions_win.h"
#include "common/wide_win.h"
#include "launch_flow/debug_trace_win.h"
#include "launch_flow/hall_recent_use_win.h"
#include "launch_flow/install_channel.h"
#include "launch_flow/path_combine_win.h"

InstallChannelPlatform windowsInstallChannelPlatform() {
  InstallChannelPlatform platform;
  platform.hallUsedRecently = [](const std::u16string& parentDirectory) {
    return hallUsedRecently(std::wstring(as_wview(parentDirectory)));
  };
  platform.combinePath = combinePath;
  // SHCreateDirectory (shell32 ordinal 165) creates every missing parent too.
  platform.createDirectory = [](const std::u16string& directory) {
    systemFunctions().SHCreateDirectory(nullptr, as_wcstr(directory));
  };
  platform.trace = writeTraceLine;
  platform.files = systemFileOperations();
  return platform;
}
