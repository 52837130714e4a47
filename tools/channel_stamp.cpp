#include "tools/channel_stamp.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <ostream>
#include <stdexcept>

namespace {

constexpr const char* kUsage =
    "usage: channel_stamp stamp COPY --channel N [--sub-channel N] [--app-id N] [--mini-type N]\n"
    "                     [--tag N] [--delay-start-seconds N] [--silent] [--cover-channel]\n"
    "                     [--auto-running-disabled] [--silent-running] [--install-hall]\n"
    "                     [--auto-check-agree-box] [--auto-install] [--no-create-shortcut]\n"
    "                     [--show-only-first-install-page] [--output OUT]\n"
    "       channel_stamp show COPY\n"
    "Fields not named are stamped 0 / off. Numbers are decimal; --tag and --delay-start-seconds\n"
    "take -32768..65535 (16 bits), --mini-type 0..65535.\n";

struct FlagName {
  const char* name;   // the option
  const char* label;  // the field, as "show" lists it
  bool HeaderSettings::*field;
};
constexpr FlagName kFlags[] = {
    {"--silent", "silent", &HeaderSettings::silent},
    {"--cover-channel", "coverChannel", &HeaderSettings::coverChannel},
    {"--auto-running-disabled", "autoRunningDisabled", &HeaderSettings::autoRunningDisabled},
    {"--silent-running", "silentRunning", &HeaderSettings::silentRunning},
    {"--install-hall", "installHall", &HeaderSettings::installHall},
    {"--auto-check-agree-box", "autoCheckAgreeBox", &HeaderSettings::autoCheckAgreeBox},
    {"--auto-install", "autoInstall", &HeaderSettings::autoInstall},
    {"--no-create-shortcut", "noCreateShortcut", &HeaderSettings::noCreateShortcut},
    {"--show-only-first-install-page", "showOnlyFirstInstallPage", &HeaderSettings::showOnlyFirstInstallPage},
};

// A whole decimal number within [low, high], or nothing.
std::optional<int64_t> wholeNumber(const std::string& text, int64_t low, int64_t high) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || value < low || value > high) return std::nullopt;
  return value;
}

// Stores the value of a number option; false when `name` is not one.
bool setNumber(HeaderSettings& stamp, const std::string& name, int64_t value) {
  if (name == "--channel") stamp.channelId = int32_t(value);
  else if (name == "--sub-channel") stamp.subChannelId = int32_t(value);
  else if (name == "--app-id") stamp.appId = int32_t(value);
  else if (name == "--mini-type") stamp.miniType = int32_t(value);
  else if (name == "--tag") stamp.tag = uint16_t(value);
  else if (name == "--delay-start-seconds") stamp.delayStartSeconds = uint16_t(value);
  else return false;
  return true;
}

std::pair<int64_t, int64_t> rangeOf(const std::string& name) {
  if (name == "--mini-type") return {0, 65535};
  if (name == "--tag" || name == "--delay-start-seconds") return {-32768, 65535};
  return {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};
}

bool isNumberOption(const std::string& name) {
  HeaderSettings scratch;
  return setNumber(scratch, name, 0);
}

// Parses the options after "stamp COPY".
std::variant<StampCommand, std::string> parseStampOptions(StampCommand command,
                                                          const std::vector<std::string>& options) {
  bool channelGiven = false;
  for (size_t i = 0; i < options.size(); ++i) {
    const std::string& name = options[i];
    bool isFlag = false;
    for (const FlagName& flag : kFlags)
      if (name == flag.name) command.stamp.*flag.field = isFlag = true;
    if (isFlag) continue;
    if (name != "--output" && !isNumberOption(name)) return "unknown option " + name;
    if (i + 1 == options.size()) return name + " needs a value";
    const std::string& value = options[++i];
    if (name == "--output") {
      command.output = value;
      continue;
    }
    const auto [low, high] = rangeOf(name);
    const std::optional<int64_t> number = wholeNumber(value, low, high);
    if (!number)
      return name + " takes a decimal number from " + std::to_string(low) + " to " + std::to_string(high) +
             ", not " + value;
    setNumber(command.stamp, name, *number);
    channelGiven = channelGiven || name == "--channel";
  }
  if (!channelGiven) return "stamp needs --channel";
  return command;
}

std::filesystem::path pathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::vector<uint8_t> readExecutable(const std::string& path) {
  std::ifstream in(pathOf(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (bytes.size() < kDosHeaderSize || bytes[0] != 'M' || bytes[1] != 'Z')
    throw std::runtime_error(path + " is not an MS-DOS executable (no \"MZ\" header of 64 bytes)");
  return bytes;
}

// Writes through a temporary file beside the target, so a failed write never
// leaves a half-written copy behind.
void writeExecutable(const std::string& path, const std::vector<uint8_t>& bytes) {
  const std::filesystem::path target = pathOf(path);
  std::filesystem::path temporary = target;
  temporary += ".stamping";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      throw std::runtime_error("cannot write " + path);
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, target, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    throw std::runtime_error("cannot replace " + path);
  }
}

// One line of the listing: the label padded to a column, then the value.
void listLine(std::ostream& out, const std::string& label, const std::string& value) {
  out << label << std::string(label.size() < 26 ? 26 - label.size() : 1, ' ') << value << "\n";
}

void describe(std::ostream& out, const HeaderSettings& stamp, const HeaderSettings& asRead) {
  listLine(out, "channelId", std::to_string(stamp.channelId));
  std::string subChannel = std::to_string(stamp.subChannelId);
  if (asRead.subChannelId != stamp.subChannelId)
    subChannel += "  (the launcher reads " + std::to_string(asRead.subChannelId) + " from \"cid\" in this path)";
  listLine(out, "subChannelId", subChannel);
  listLine(out, "appId", std::to_string(stamp.appId));
  listLine(out, "miniType", std::to_string(stamp.miniType));
  listLine(out, "tag", std::to_string(stamp.tag));
  listLine(out, "delayStartSeconds", std::to_string(stamp.delayStartSeconds));
  for (const FlagName& flag : kFlags) listLine(out, flag.label, stamp.*flag.field ? "yes" : "no");
  std::string arguments;
  for (const std::string& argument : selfTestArguments(asRead)) arguments += (arguments.empty() ? "" : " ") + argument;
  listLine(out, "self-test arguments", arguments);
}

int runCommand(const StampCommand& command, std::ostream& out) {
  std::vector<uint8_t> bytes = readExecutable(command.copy);
  std::string shown = command.copy;
  if (command.action == StampCommand::Action::Stamp) {
    writeStamp(bytes, command.stamp);
    shown = command.output.empty() ? command.copy : command.output;
    writeExecutable(shown, bytes);
    out << "stamped " << shown << "\n";
  }
  const std::u16string where = std::filesystem::absolute(pathOf(shown)).u16string();
  describe(out, decodeStamp(bytes), decodeHeaderSettings(bytes, where));
  return 0;
}

}  // namespace

std::variant<StampCommand, std::string> parseStampArguments(const std::vector<std::string>& arguments) {
  if (arguments.size() < 2) return "missing command or COPY";
  StampCommand command;
  command.copy = arguments[1];
  if (arguments[0] == "show") {
    if (arguments.size() > 2) return "show takes only COPY";
    return command;
  }
  if (arguments[0] != "stamp") return "unknown command " + arguments[0];
  command.action = StampCommand::Action::Stamp;
  return parseStampOptions(command, {arguments.begin() + 2, arguments.end()});
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

int runChannelStamp(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  const auto parsed = parseStampArguments(arguments);
  if (const auto* message = std::get_if<std::string>(&parsed)) {
    err << "channel_stamp: " << *message << "\n" << kUsage;
    return 2;
  }
  try {
    return runCommand(std::get<StampCommand>(parsed), out);
  } catch (const std::exception& error) {
    err << "channel_stamp: " << error.what() << "\n";
    return 1;
  }
}
