// channel_record for Windows: the wide arguments are passed on as UTF-8.
#include <iostream>

#include "tools/channel_record_tool.h"
#include "common/system_functions_win.h"
#include "tools/tool_main_win.h"

int wmain(int argc, wchar_t** argv) {
  restrictLibrarySearchToSystem32();  // nothing from the current directory, even here
  return runChannelRecord(utf8Arguments(argc, argv), std::cout, std::cerr);
}
