#include "launch_settings/command_line.h"

#include <array>
#include <type_traits>
#include <variant>

#include "common/string_to_long.h"
#include "common/ascii_case.h"

CommandLineTokens::CommandLineTokens(const std::vector<std::u16string>& arguments) {
  if (arguments.empty()) return;
  programPath_ = arguments.front();
  arguments_.insert(arguments.begin() + 1, arguments.end());
}

bool CommandLineTokens::hasFlag(std::u16string_view key) const {
  for (const std::u16string& argument : arguments_)
    if (equalsIgnoringAsciiCase(argument, key)) return true;
  return false;
}

std::u16string CommandLineTokens::findValue(std::u16string_view key, std::u16string_view separators) const {
  for (const std::u16string& argument : arguments_) {
    // The key must be followed by a separator, so the argument is longer than it.
    if (argument.size() <= key.size()) continue;
    const std::u16string_view text(argument);
    if (!equalsIgnoringAsciiCase(text.substr(0, key.size()), key)) continue;
    if (separators.find(text[key.size()]) == std::u16string_view::npos) continue;
    return argument.substr(key.size() + 1);
  }
  return {};
}

namespace {

// Switches: present as a whole argument means true. "-silent" and "/S" both
// set `silent`.
struct FlagOption {
  std::u16string_view key;
  bool LaunchSettings::*field;
};
constexpr FlagOption kFlagOptions[] = {
    {u"-silent", &LaunchSettings::silent},
    {u"/S", &LaunchSettings::silent},
    {u"-CoverChannel", &LaunchSettings::coverChannel},
    {u"-AutoCheckAgreeBox", &LaunchSettings::autoCheckAgreeBox},
    {u"-nostartup", &LaunchSettings::noStartup},
    {u"-startup_from_plugin", &LaunchSettings::startupFromPlugin},
    {u"-silentrunning", &LaunchSettings::silentRunning},
    {u"-autoinstall", &LaunchSettings::autoInstall},
    {u"-NoCreateLudoraShortcut", &LaunchSettings::noCreateShortcut},
    {u"-ShowOnlyFirstIntallPage", &LaunchSettings::showOnlyFirstInstallPage},
    {u"-install_hall", &LaunchSettings::installHall},
    {u"-startupbyvrn", &LaunchSettings::startupByVrn},
    {u"TestDosHeaderAttribute", &LaunchSettings::testDosHeaderAttribute},
    {u"SelfUpdated", &LaunchSettings::selfUpdated},
    {u"RunElevated", &LaunchSettings::runElevated},
    {u"TimeAndCertUpdated", &LaunchSettings::timeAndCertUpdated},
};

// Text options: the value is taken as it stands.
struct TextOption {
  std::u16string_view key;
  std::u16string LaunchSettings::*field;
  std::u16string_view separators = kValueSeparators;
};
constexpr TextOption kTextOptions[] = {
    {u"ParamPassThrough", &LaunchSettings::paramPassThrough},
    {u"/D", &LaunchSettings::dParam, kEqualsOnly},
    {u"-sig", &LaunchSettings::sig},
    {u"-adparam", &LaunchSettings::adParam},
    {u"-nickname", &LaunchSettings::nickname},
    {u"-url", &LaunchSettings::url},
    {u"-temppid", &LaunchSettings::tempPid},
    {u"-vrn_hwnd", &LaunchSettings::vrnHwnd},
    {u"-pipename", &LaunchSettings::pipeName},
    {u"-svrid", &LaunchSettings::svrId},
    {u"-extra_params", &LaunchSettings::extraParams},
    {u"-DownloadDir", &LaunchSettings::downloadDir},
};

// Numbers, read as msvcrt's wcstol reads them (stringToInt64 for 64-bit
// fields); 16-bit fields keep the low 16 bits of the 32-bit reading, so
// Tag=65537 is 1. The first of `keys` with a non-empty value counts; without
// one the field keeps its default (miniType stays -1, "not given").
// A row marked kMiniTypeOne or kMiniTypeNotOne counts only for those miniType
// values (read by an earlier row).
enum class When { kAlways, kMiniTypeOne, kMiniTypeNotOne };
struct NumberOption {
  std::array<std::u16string_view, 3> keys;  // tried in order; unused ones empty
  std::variant<int32_t LaunchSettings::*, uint16_t LaunchSettings::*, int64_t LaunchSettings::*> field;
  When when = When::kAlways;
};
constexpr NumberOption kNumberOptions[] = {
    // MiniType comes first: it decides which keys carry the channel numbers.
    {{u"MiniType"}, &LaunchSettings::miniType},
    {{u"-pid"}, &LaunchSettings::channelId, When::kMiniTypeOne},
    {{u"/MainSource"}, &LaunchSettings::channelId, When::kMiniTypeNotOne},
    {{u"/SubSource"}, &LaunchSettings::subChannelId, When::kMiniTypeNotOne},
    {{u"AppID", u"-/appid", u"-appid"}, &LaunchSettings::appId},
    {{u"Tag"}, &LaunchSettings::tag},
    {{u"DelayStartSeconds"}, &LaunchSettings::delayStartSeconds},
    {{u"-loginuin", u"ZevUIN", u"-uin"}, &LaunchSettings::uin},
    {{u"ProgressInfoWnd"}, &LaunchSettings::progressInfoWnd},
};

bool counts(When when, int32_t miniType) {
  return when == When::kAlways || (when == When::kMiniTypeOne) == (miniType == 1);
}

template <typename Int>
void store(LaunchSettings& settings, Int LaunchSettings::*field, std::u16string_view text) {
  if constexpr (std::is_same_v<Int, int64_t>)
    settings.*field = stringToInt64(text);
  else
    settings.*field = Int(uint32_t(stringToLong(text)));
}

void readNumber(const CommandLineTokens& tokens, const NumberOption& option, LaunchSettings& settings) {
  for (std::u16string_view key : option.keys) {
    if (key.empty()) return;
    const std::u16string value = tokens.findValue(key);
    if (value.empty()) continue;
    std::visit([&](auto field) { store(settings, field, value); }, option.field);
    return;
  }
}

}  // namespace

CommandLineSettings readCommandLineSettings(const CommandLineTokens& tokens) {
  CommandLineSettings settings;
  for (const NumberOption& option : kNumberOptions)
    if (counts(option.when, settings.miniType)) readNumber(tokens, option, settings);
  for (const FlagOption& option : kFlagOptions)
    if (tokens.hasFlag(option.key)) settings.*option.field = true;
  for (const TextOption& option : kTextOptions)
    settings.*option.field = tokens.findValue(option.key, option.separators);
  settings.autoRunningDisabled = equalsIgnoringAsciiCase(tokens.findValue(u"-autorunning"), u"false");
  return settings;
}
