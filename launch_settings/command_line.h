// The launcher's command-line options: the split arguments and the option
// table that fills a CommandLineSettings from them.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "launch_settings/launch_settings.h"

// Separators that end a value option's key: "=" or ":" for every option but
// "/D", whose values (paths such as C:\Games) take "=" only.
inline constexpr std::u16string_view kValueSeparators = u"=:";
inline constexpr std::u16string_view kEqualsOnly = u"=";

// One split command line: the program path (never looked up) and the other
// arguments as an ordered set (duplicates collapse; order by UTF-16 code
// units, so "A" sorts before "a"). Owns its strings.
class CommandLineTokens {
 public:
  CommandLineTokens() = default;
  // `arguments` as split from a command line: the first is the program path.
  // An empty list gives an empty token set.
  explicit CommandLineTokens(const std::vector<std::u16string>& arguments);

  // True when some argument equals `key` as a whole, ignoring the case of A-Z.
  bool hasFlag(std::u16string_view key) const;

  // The text after the separator of the first argument, in set order, that
  // is `key` (A-Z case ignored) followed by one of `separators`; later
  // separators belong to the value. Empty when none matches (callers treat
  // an empty value as an absent option).
  std::u16string findValue(std::u16string_view key, std::u16string_view separators = kValueSeparators) const;

  const std::u16string& programPath() const { return programPath_; }
  const std::set<std::u16string>& arguments() const { return arguments_; }

 private:
  std::u16string programPath_;
  std::set<std::u16string> arguments_;
};

// Fills the settings from the options in `tokens` by the launcher's option
// table, starting from the LaunchSettings defaults; unknown arguments are
// ignored and numbers that do not parse give 0. Never fails.
CommandLineSettings readCommandLineSettings(const CommandLineTokens& tokens);
