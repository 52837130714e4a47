#include "launch_settings/launch_settings.h"

LaunchSettings mergeLaunchSettings(const HeaderSettings& header, const CommandLineSettings& commandLine) {
  const bool stamped = header.channelId != 0;
  LaunchSettings merged;
  // Each rule for the field `name` (see MergeRule). Unstamped, the header's
  // channel is 0, so the channel stays the command line's.
#define MERGE_kCommandLineOnly(name, nothingSaid) merged.name = commandLine.name;
#define MERGE_kStampFirst(name, nothingSaid) \
  merged.name = stamped || commandLine.name == nothingSaid ? header.name : commandLine.name;
#define MERGE_kCommandLineFirst(name, nothingSaid) \
  merged.name = commandLine.name != nothingSaid ? commandLine.name : header.name;
#define MERGE_FIELD(type, name, nothingSaid, rule) MERGE_##rule(name, nothingSaid)
  LAUNCH_SETTINGS_FIELDS(MERGE_FIELD)
#undef MERGE_FIELD
#undef MERGE_kCommandLineFirst
#undef MERGE_kStampFirst
#undef MERGE_kCommandLineOnly
  // Silent implies autoInstall, unless the stamp decides.
  if (!stamped) merged.autoInstall = merged.autoInstall || merged.silent;
  return merged;
}
