#include "launch_settings/command_line.h"

#include <array>
#include <initializer_list>

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
constexpr std::array<FlagOption, 16> kFlagOptions = {{
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
}};

// Text options: the value is taken as it stands.
struct TextOption {
  std::u16string_view key;
  std::u16string LaunchSettings::*field;
  std::u16string_view separators = kValueSeparators;
};
constexpr std::array<TextOption, 12> kTextOptions = {{
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
}};

// The value of the first of `keys` that has a non-empty one.
std::u16string firstValue(const CommandLineTokens& tokens, std::initializer_list<std::u16string_view> keys) {
  for (std::u16string_view key : keys) {
    std::u16string value = tokens.findValue(key);
    if (!value.empty()) return value;
  }
  return {};
}

int32_t number(const CommandLineTokens& tokens, std::u16string_view key) {
  return stringToLong(tokens.findValue(key));
}

// 16-bit options keep the low 16 bits of the 32-bit reading: Tag=65537 is 1.
uint16_t number16(const CommandLineTokens& tokens, std::u16string_view key) {
  return uint16_t(uint32_t(number(tokens, key)));
}

}  // namespace

CommandLineSettings readCommandLineSettings(const CommandLineTokens& tokens) {
  CommandLineSettings settings;
  // MiniType comes first: it decides which keys carry the channel numbers.
  if (const std::u16string miniType = tokens.findValue(u"MiniType"); !miniType.empty())
    settings.miniType = stringToLong(miniType);

  for (const FlagOption& option : kFlagOptions)
    if (tokens.hasFlag(option.key)) settings.*option.field = true;
  for (const TextOption& option : kTextOptions)
    settings.*option.field = tokens.findValue(option.key, option.separators);

  settings.autoRunningDisabled = equalsIgnoringAsciiCase(tokens.findValue(u"-autorunning"), u"false");
  settings.tag = number16(tokens, u"Tag");
  settings.delayStartSeconds = number16(tokens, u"DelayStartSeconds");
  settings.uin = stringToInt64(firstValue(tokens, {u"-loginuin", u"ZevUIN", u"-uin"}));
  if (settings.miniType == 1) {
    settings.channelId = number(tokens, u"-pid");
  } else {
    settings.channelId = number(tokens, u"/MainSource");
    settings.subChannelId = number(tokens, u"/SubSource");
  }
  settings.appId = stringToLong(firstValue(tokens, {u"AppID", u"-/appid", u"-appid"}));
  settings.progressInfoWnd = number(tokens, u"ProgressInfoWnd");
  return settings;
}
