// channel_stamp for Windows: the wide arguments are passed on as UTF-8.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "tools/channel_stamp.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) {
    const std::u8string utf8 = std::filesystem::path(argv[i]).u8string();
    arguments.emplace_back(utf8.begin(), utf8.end());
  }
  return runChannelStamp(arguments, std::cout, std::cerr);
}
