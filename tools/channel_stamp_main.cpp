// channel_stamp for the build machine: arguments arrive as UTF-8.
#include <iostream>
#include <string>
#include <vector>

#include "tools/channel_stamp.h"

int main(int argc, char** argv) {
  return runChannelStamp(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
