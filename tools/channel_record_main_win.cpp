// channel_record for Windows: the wide arguments are passed on as UTF-8; output to
// a console goes to it as wide text (tools/console_output_win.h).
#include "tools/channel_record_tool.h"
#include "common/system_functions_win.h"
#include "tools/console_output_win.h"
#include "tools/tool_main_win.h"

int wmain(int argc, wchar_t** argv) {
  restrictLibrarySearchToSystem32();  // nothing from the current directory, even here
  ToolStreams streams;
  return runChannelRecord(utf8Arguments(argc, argv), streams.out(), streams.err());
}
