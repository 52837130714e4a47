// channel_record for the build machine: arguments arrive as UTF-8.
#include <iostream>
#include <string>
#include <vector>

#include "tools/channel_record_tool.h"

int main(int argc, char** argv) {
  return runChannelRecord(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
