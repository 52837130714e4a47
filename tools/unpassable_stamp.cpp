#include "tools/unpassable_stamp.h"

#include "launch_settings/command_line.h"
#include "launch_settings/header_self_check.h"
#include "tools/stamp_fields.h"
#include "tools/tool_text.h"

CommandLineSettings launcherCommandLine(std::u16string_view programPath, const std::vector<std::string>& arguments) {
  std::vector<std::u16string> split = {std::u16string(programPath)};
  for (const std::string& argument : arguments) split.push_back(toUtf16(argument));
  return readCommandLineSettings(CommandLineTokens(split));
}

namespace {

// Why the self-test compares `field` as differing, for a copy read as
// `asRead` from `stamp` against the best command line `best`.
std::string unpassableReason(const StampField& field, const HeaderSettings& stamp, const HeaderSettings& asRead,
                             const CommandLineSettings& best) {
  const bool fromCid = field.get(asRead) != field.get(stamp);
  const std::string value = fieldValueText(field, asRead) + (fromCid ? " from \"cid\" in its path" : "");
  const std::string ending = ", so its self-test always ends with " + std::to_string(field.selfTestCode) + " (" +
                             field.label + ")";
  if (field.name == std::string_view("sub-channel") && asRead.miniType == 1)
    return "mini-type 1 with sub-channel " + value +
           ": with MiniType=1 the launcher's command line reads no sub-channel (/SubSource is not read)" + ending +
           (fromCid ? "; name the copy and its folders without \"cid\" and a number, or stamp another mini-type"
                    : "; stamp sub-channel 0 or another mini-type");
  return std::string(field.label) + " " + value + ": the launcher's command line cannot say it (the closest reads " +
         fieldValueText(field, best) + ")" + ending;
}

}  // namespace

std::vector<std::string> unpassableStampReasons(const HeaderSettings& stamp, std::u16string_view copyPath) {
  const HeaderSettings asRead = withCidRule(stamp, copyPath);
  const CommandLineSettings best = launcherCommandLine(copyPath, selfTestArguments(asRead));
  std::vector<std::string> reasons;
  if (headerSelfTestCode(asRead, best) == 0) return reasons;
  for (int code = 1; const StampField* field = fieldOfSelfTestCode(code); ++code)
    if (field->get(asRead) != field->getCommandLine(best)) reasons.push_back(unpassableReason(*field, stamp, asRead, best));
  return reasons;
}
