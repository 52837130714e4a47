#include "tools/stamp_fields.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "common/ascii_case.h"

namespace {

constexpr int64_t kInt32Low = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32High = std::numeric_limits<int32_t>::max();
// 16-bit fields take their unsigned and their signed spelling: -1 is 65535.
constexpr int64_t kWordLow = -32768;
constexpr int64_t kWordHigh = 65535;

#define NUMBER_FIELD(name, member, code, low, high)                                   \
  StampField {                                                                        \
    name, #member, code, false, low, high,                                            \
        [](const HeaderSettings& s) -> int64_t { return s.member; },                  \
        [](HeaderSettings& s, int64_t v) { s.member = decltype(s.member)(v); },        \
        [](const CommandLineSettings& s) -> int64_t { return s.member; }              \
  }
#define SWITCH_FIELD(name, member, code)                                              \
  StampField {                                                                        \
    name, #member, code, true, 0, 1,                                                  \
        [](const HeaderSettings& s) -> int64_t { return s.member ? 1 : 0; },          \
        [](HeaderSettings& s, int64_t v) { s.member = v != 0; },                      \
        [](const CommandLineSettings& s) -> int64_t { return s.member ? 1 : 0; }      \
  }

const StampField kFields[] = {
    NUMBER_FIELD("channel", channelId, 5, kInt32Low, kInt32High),
    NUMBER_FIELD("sub-channel", subChannelId, 6, kInt32Low, kInt32High),
    NUMBER_FIELD("app-id", appId, 4, kInt32Low, kInt32High),
    SWITCH_FIELD("silent", silent, 3),
    SWITCH_FIELD("cover-channel", coverChannel, 14),
    NUMBER_FIELD("mini-type", miniType, 1, 0, 65535),
    SWITCH_FIELD("auto-running-disabled", autoRunningDisabled, 2),
    SWITCH_FIELD("silent-running", silentRunning, 12),
    SWITCH_FIELD("install-hall", installHall, 7),
    SWITCH_FIELD("auto-check-agree-box", autoCheckAgreeBox, 15),
    SWITCH_FIELD("auto-install", autoInstall, 8),
    NUMBER_FIELD("tag", tag, 9, kWordLow, kWordHigh),
    NUMBER_FIELD("delay-start-seconds", delayStartSeconds, 10, kWordLow, kWordHigh),
    SWITCH_FIELD("no-create-shortcut", noCreateShortcut, 11),
    SWITCH_FIELD("show-only-first-install-page", showOnlyFirstInstallPage, 13),
};

#undef NUMBER_FIELD
#undef SWITCH_FIELD

}  // namespace

std::span<const StampField> stampFields() { return kFields; }

const StampField* findStampField(std::string_view name) {
  for (const StampField& field : kFields)
    if (name == field.name) return &field;
  return nullptr;
}

namespace {

// "sub-channel" -> "sub_channel", "subChannelId" -> "sub_channel_id".
std::string snakeCase(std::string_view name) {
  std::string snake;
  for (char c : name) {
    if (c == '-') snake += '_';
    else if (c >= 'A' && c <= 'Z') snake += std::string("_") + asciiLower(c);
    else snake += c;
  }
  return snake;
}

}  // namespace

std::vector<std::string> columnNames(const StampField& field) {
  std::vector<std::string> names;
  for (std::string name : {std::string(field.name), std::string(field.label), snakeCase(field.name), snakeCase(field.label)})
    if (std::ranges::find(names, name) == names.end()) names.push_back(std::move(name));
  return names;
}

const StampField* findStampFieldByColumn(std::string_view column) {
  for (const StampField& field : kFields)
    for (const std::string& name : columnNames(field))
      if (equalsIgnoringAsciiCase(column, name)) return &field;
  return nullptr;
}

const StampField* fieldOfSelfTestCode(int code) {
  for (const StampField& field : kFields)
    if (field.selfTestCode == code) return &field;
  return nullptr;
}

std::optional<int64_t> parseFieldNumber(const StampField& field, std::string_view text) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || value < field.low || value > field.high)
    return std::nullopt;
  return value;
}

std::optional<bool> parseFieldSwitch(std::string_view text) {
  for (const char* off : {"", "0", "no", "false", "off"})
    if (equalsIgnoringAsciiCase(text, off)) return false;
  for (const char* on : {"1", "yes", "true", "on"})
    if (equalsIgnoringAsciiCase(text, on)) return true;
  return std::nullopt;
}

std::string fieldRangeText(const StampField& field) {
  return "a decimal number from " + std::to_string(field.low) + " to " + std::to_string(field.high);
}

namespace {

std::string valueText(const StampField& field, int64_t value) {
  if (field.isFlag) return value ? "yes" : "no";
  return std::to_string(value);
}

}  // namespace

std::string fieldValueText(const StampField& field, const HeaderSettings& settings) {
  return valueText(field, field.get(settings));
}

std::string fieldValueText(const StampField& field, const CommandLineSettings& settings) {
  const int64_t value = field.getCommandLine(settings);
  if (field.label == std::string_view("miniType") && value == -1) return "-1 (no MiniType given)";
  return valueText(field, value);
}

std::vector<std::string> selfTestArguments(const HeaderSettings& settings) {
  std::vector<std::string> arguments = {"TestDosHeaderAttribute", "MiniType=" + std::to_string(settings.miniType)};
  // With MiniType=1 the command line reads its channel from -pid and has no sub-channel.
  if (settings.miniType == 1) {
    arguments.push_back("-pid=" + std::to_string(settings.channelId));
  } else {
    arguments.push_back("/MainSource=" + std::to_string(settings.channelId));
    if (settings.subChannelId != 0) arguments.push_back("/SubSource=" + std::to_string(settings.subChannelId));
  }
  if (settings.appId != 0) arguments.push_back("AppID=" + std::to_string(settings.appId));
  if (settings.tag != 0) arguments.push_back("Tag=" + std::to_string(settings.tag));
  if (settings.delayStartSeconds != 0)
    arguments.push_back("DelayStartSeconds=" + std::to_string(settings.delayStartSeconds));
  const std::pair<bool, const char*> switches[] = {
      {settings.silent, "-silent"},
      {settings.coverChannel, "-CoverChannel"},
      {settings.autoRunningDisabled, "-autorunning=false"},
      {settings.silentRunning, "-silentrunning"},
      {settings.installHall, "-install_hall"},
      {settings.autoCheckAgreeBox, "-AutoCheckAgreeBox"},
      {settings.autoInstall, "-autoinstall"},
      {settings.noCreateShortcut, "-NoCreateLudoraShortcut"},
      {settings.showOnlyFirstInstallPage, "-ShowOnlyFirstIntallPage"},
  };
  for (const auto& [on, argument] : switches)
    if (on) arguments.push_back(argument);
  return arguments;
}
