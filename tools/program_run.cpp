#include "tools/program_run.h"

std::u16string windowsCommandLine(const std::vector<std::u16string>& words) {
  std::u16string line;
  for (const std::u16string& word : words) {
    if (!line.empty()) line += u' ';
    if (!word.empty() && word.find_first_of(u" \t\"") == std::u16string::npos) {
      line += word;
      continue;
    }
    line += u'"';
    size_t backslashes = 0;
    for (const char16_t c : word) {
      if (c == u'\\') {
        ++backslashes;
        continue;
      }
      // Backslashes before a quote are doubled, and the quote escaped; elsewhere they stand as they are.
      line.append(c == u'"' ? 2 * backslashes + 1 : backslashes, u'\\');
      line += c;
      backslashes = 0;
    }
    line.append(2 * backslashes, u'\\');
    line += u'"';
  }
  return line;
}

void keepOutput(std::string& output, std::string_view more) {
  output += more;
  if (output.size() > ProgramRun::kOutputKept) output.erase(0, output.size() - ProgramRun::kOutputKept);
}
