// The fifteen header-backed fields as the tools name them: the option of
// "channel_stamp stamp" (--NAME), the batch manifest's column (NAME), the
// field's name in listings, its range and its self-test code.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "launch_settings/header_settings.h"
#include "launch_settings/launch_settings.h"

struct StampField {
  const char* name;   // "channel", "app-id", "silent", ...
  const char* label;  // the HeaderSettings field: "channelId", "appId", "silent", ...
  int selfTestCode;   // the launcher's self-test code when this field differs, 1..15
  bool isFlag;        // a switch: 0 or 1
  int64_t low;        // the values the field can be stamped with
  int64_t high;
  int64_t (*get)(const HeaderSettings&);
  void (*set)(HeaderSettings&, int64_t);  // value within [low, high]
  // The field of the same name in a command-line reading (miniType -1: not given).
  int64_t (*getCommandLine)(const CommandLineSettings&);
};

// All fields, in the order of their bytes in the stamp.
std::span<const StampField> stampFields();

// The field called `name`, or nullptr.
const StampField* findStampField(std::string_view name);

// The names a batch manifest's column may give `field`: its option name
// ("sub-channel"), its name in listings ("subChannelId") and both in snake case
// ("sub_channel", "sub_channel_id"), each once, in that order.
std::vector<std::string> columnNames(const StampField& field);

// The field a manifest column called `column` names (any of columnNames,
// ignoring the case of A-Z), or nullptr.
const StampField* findStampFieldByColumn(std::string_view column);

// The field whose difference gives self-test code `code` (1..15), or nullptr.
const StampField* fieldOfSelfTestCode(int code);

// A number field's value from decimal text (the whole text, within the
// field's range), or std::nullopt.
std::optional<int64_t> parseFieldNumber(const StampField& field, std::string_view text);

// A switch from manifest text: "", "0", "no", "false", "off" are off; "1",
// "yes", "true", "on" are on (letter case ignored); anything else std::nullopt.
std::optional<bool> parseFieldSwitch(std::string_view text);

// What "--NAME" accepts, for messages: "a decimal number from L to H".
std::string fieldRangeText(const StampField& field);

// The field's value as listings show it: the number, or yes / no.
std::string fieldValueText(const StampField& field, const HeaderSettings& settings);
std::string fieldValueText(const StampField& field, const CommandLineSettings& settings);

// Launcher arguments that make a copy carrying `settings` (as the launcher
// reads it, "cid" rule applied) pass its header self-test, TestDosHeaderAttribute
// first.
std::vector<std::string> selfTestArguments(const HeaderSettings& settings);
