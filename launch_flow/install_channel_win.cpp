#include "launch_flow/install_channel_win.h"

void recordInstallChannelIfDue(const std::wstring&) {}
