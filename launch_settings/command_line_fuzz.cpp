// Fuzzes the option table over arbitrary argument lists: the input is UTF-16LE
// code units, U+0000 separates the arguments (the first is the program path).
// Checks that the reading does not depend on the order of the arguments,
// that every argument is a flag of itself, that the 32- and 64-bit number
// readers agree, and that the merge keeps the command-line-only fields.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "common/string_to_long.h"
#include "launch_settings/command_line.h"
#include "launch_settings/header_self_check.h"
#include "launch_settings/launch_settings.h"
#include "tests/support/fuzz_check.h"

namespace {

std::vector<std::u16string> argumentsOf(const uint8_t* data, size_t size) {
  std::vector<std::u16string> arguments(1);
  for (size_t i = 0; i + 1 < size; i += 2) {
    const char16_t unit = char16_t(data[i] | data[i + 1] << 8);
    if (unit == 0)
      arguments.emplace_back();
    else
      arguments.back() += unit;
  }
  return arguments;
}

// The fields without a header twin: the merge must take them from the command line.
void requireCommandLineOnlyFieldsKept(const LaunchSettings& merged, const CommandLineSettings& commandLine) {
  LaunchSettings comparable = merged;
  forEachLaunchSettingsField([&](const auto& field) {
    if (field.rule != MergeRule::kCommandLineOnly) comparable.*field.member = commandLine.*field.member;
  });
  require(comparable == commandLine);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::u16string> arguments = argumentsOf(data, size);
  const CommandLineTokens tokens(arguments);
  const CommandLineSettings settings = readCommandLineSettings(tokens);

  std::reverse(arguments.begin() + 1, arguments.end());
  require(readCommandLineSettings(CommandLineTokens(arguments)) == settings);

  for (const std::u16string& argument : tokens.arguments()) {
    require(tokens.hasFlag(argument));
    const int64_t wide = stringToInt64(argument);
    const int64_t clamped = std::clamp<int64_t>(wide, std::numeric_limits<int32_t>::min(),
                                                std::numeric_limits<int32_t>::max());
    require(stringToLong(argument) == clamped);
  }

  // Against a header made of the first bytes of the input, stamped or not.
  HeaderSettings header;
  header.channelId = size > 0 ? data[0] % 2 : 0;
  header.miniType = size > 1 ? data[1] : 0;
  const int code = headerSelfTestCode(header, settings);
  require(code >= 0 && code <= 15);
  const LaunchSettings merged = mergeLaunchSettings(header, settings);
  requireCommandLineOnlyFieldsKept(merged, settings);
  require(merged.subChannelId == (settings.subChannelId != 0 ? settings.subChannelId : header.subChannelId));
  return 0;
}
