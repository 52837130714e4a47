#include "tools/tool_version.h"

#include "channel_commit.h"   // written at build time (cmake/commit.cmake)
#include "channel_version.h"  // written at configure time (cmake/version.h.in)

std::string toolVersionText() { return std::string(CHANNEL_VERSION_TEXT) + " (commit " + CHANNEL_COMMIT + ")"; }
