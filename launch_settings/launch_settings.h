// The launch-settings record: what one run of the launcher was asked to do,
// merged from the stamped header and the command line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "launch_settings/header_settings.h"

// How the merge (mergeLaunchSettings) takes a setting.
enum class MergeRule {
  kCommandLineOnly,  // no header twin: the command line's
  // The header has a field of the same name. A stamped copy takes the
  // header's; an unstamped one the command line's when it differs from the
  // default (a non-zero number, a set switch, a given miniType), else the header's.
  kStampFirst,
  // The command line's when it differs from the default, else the header's,
  // stamped or not.
  kCommandLineFirst,
};

// Every launch setting once, in the record's order:
//   X(type, name, default: "nothing was said", merge rule)
// The record, its merge and the tests' printer and field checks are all made
// from this list; a new setting is one line here.
#define LAUNCH_SETTINGS_FIELDS(X)                                                    \
  X(int32_t, channelId, 0, kStampFirst)                                              \
  X(int32_t, subChannelId, 0, kCommandLineFirst)                                     \
  X(int32_t, appId, 0, kStampFirst)                                                  \
  X(bool, silent, false, kStampFirst)                                                \
  X(int32_t, miniType, -1, kStampFirst) /* -1: not given on the command line */      \
  X(bool, autoRunningDisabled, false, kStampFirst)                                   \
  X(bool, silentRunning, false, kStampFirst)                                         \
  X(bool, coverChannel, false, kStampFirst)                                          \
  X(bool, installHall, false, kStampFirst)                                           \
  X(bool, autoCheckAgreeBox, false, kStampFirst)                                     \
  X(bool, autoInstall, false, kStampFirst) /* unstamped, also set by silent */       \
  X(uint16_t, tag, 0, kStampFirst)                                                   \
  X(uint16_t, delayStartSeconds, 0, kStampFirst)                                     \
  X(bool, noCreateShortcut, false, kStampFirst)                                      \
  X(bool, showOnlyFirstInstallPage, false, kStampFirst)                              \
  X(int64_t, uin, 0, kCommandLineOnly)                                               \
  X(bool, selfUpdated, false, kCommandLineOnly)                                      \
  X(bool, runElevated, false, kCommandLineOnly)                                      \
  X(bool, timeAndCertUpdated, false, kCommandLineOnly)                               \
  X(bool, testDosHeaderAttribute, false, kCommandLineOnly)                           \
  X(int32_t, progressInfoWnd, 0, kCommandLineOnly)                                   \
  X(std::u16string, paramPassThrough, {}, kCommandLineOnly)                          \
  X(std::u16string, dParam, {}, kCommandLineOnly)                                    \
  X(std::u16string, downloadDir, {}, kCommandLineOnly)                               \
  X(bool, startupFromPlugin, false, kCommandLineOnly)                                \
  X(bool, noStartup, false, kCommandLineOnly)                                        \
  X(std::u16string, sig, {}, kCommandLineOnly)                                       \
  X(bool, startupByVrn, false, kCommandLineOnly)                                     \
  X(std::u16string, adParam, {}, kCommandLineOnly)                                   \
  X(std::u16string, nickname, {}, kCommandLineOnly)                                  \
  X(std::u16string, url, {}, kCommandLineOnly)                                       \
  X(std::u16string, tempPid, {}, kCommandLineOnly)                                   \
  X(std::u16string, vrnHwnd, {}, kCommandLineOnly)                                   \
  X(std::u16string, pipeName, {}, kCommandLineOnly)                                  \
  X(std::u16string, svrId, {}, kCommandLineOnly)                                     \
  X(std::u16string, extraParams, {}, kCommandLineOnly)                               \
  /* the end of the list */

// Plain value record of the launch settings, declared by the list above. It
// owns its strings; copies are deep. Default construction gives "nothing was
// said": every number 0 except miniType -1, every flag false, every string empty.
struct LaunchSettings {
#define LAUNCH_SETTINGS_DECLARE(type, name, nothingSaid, rule) type name = nothingSaid;
  LAUNCH_SETTINGS_FIELDS(LAUNCH_SETTINGS_DECLARE)
#undef LAUNCH_SETTINGS_DECLARE

  bool operator==(const LaunchSettings&) const = default;
};

// One setting of the list, for code that walks them all.
template <typename T>
struct LaunchSettingsField {
  std::string_view name;
  T LaunchSettings::*member;
  MergeRule rule;
};

// Calls `visit` with the LaunchSettingsField of each setting, in the list's order.
template <typename Visit>
void forEachLaunchSettingsField(Visit&& visit) {
#define LAUNCH_SETTINGS_VISIT(type, name, nothingSaid, rule) \
  visit(LaunchSettingsField<type>{#name, &LaunchSettings::name, MergeRule::rule});
  LAUNCH_SETTINGS_FIELDS(LAUNCH_SETTINGS_VISIT)
#undef LAUNCH_SETTINGS_VISIT
}

// The settings read from the command line alone.
using CommandLineSettings = LaunchSettings;

// Merges the two readings into the launch settings, each field by its merge
// rule; a copy is stamped when the header's channel is non-zero. So a stamped
// copy takes every header-backed field from the header, except a non-zero
// command-line sub-channel; an unstamped copy prefers the command line's
// non-zero numbers and given miniType, and ORs the switches (autoInstall also
// follows the merged silent). Pure: no failure.
LaunchSettings mergeLaunchSettings(const HeaderSettings& header, const CommandLineSettings& commandLine);
