// channel_stamp for Windows: the wide arguments are passed on as UTF-8.
#include <iostream>

#include "tools/channel_stamp.h"
#include "common/system_functions_win.h"
#include "tools/tool_main_win.h"

int wmain(int argc, wchar_t** argv) {
  restrictLibrarySearchToSystem32();  // nothing from the current directory, even here
  // The shipped tool is 32-bit and stamps the 32-bit launcher only. A 64-bit
  // build exists only in the x86-64 test tree, whose tests stamp the 64-bit
  // launcher built beside it.
  constexpr LauncherWidths widths = sizeof(void*) == 8 ? LauncherWidths::Also64Bit : LauncherWidths::Only32Bit;
  return runChannelStamp(utf8Arguments(argc, argv), std::cout, std::cerr, systemFileOperations(), widths);
}
