#include "tools/csv.h"

namespace {

bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

// Passes over one line end (CR LF counts as one) and counts the line.
void skipLineEnd(std::string_view text, size_t& at, size_t& line) {
  if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
  ++at;
  ++line;
}

}  // namespace

std::variant<std::vector<CsvRecord>, std::string> parseCsv(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<CsvRecord> records;
  size_t at = 0;
  size_t line = 1;
  while (at < text.size()) {
    if (isLineEnd(text[at])) {
      skipLineEnd(text, at, line);
      continue;
    }
    CsvRecord record{line, {}};
    while (true) {
      std::string field;
      if (at < text.size() && text[at] == '"') {
        const size_t openedOn = line;
        ++at;
        while (true) {
          if (at >= text.size())
            return "line " + std::to_string(openedOn) + ": a quoted field is not closed";
          if (text[at] == '"') {
            if (at + 1 < text.size() && text[at + 1] == '"') {
              field += '"';
              at += 2;
              continue;
            }
            ++at;
            break;
          }
          if (isLineEnd(text[at])) {
            const size_t before = at;
            skipLineEnd(text, at, line);
            field.append(text.substr(before, at - before));
            continue;
          }
          field += text[at++];
        }
        if (at < text.size() && text[at] != ',' && !isLineEnd(text[at]))
          return "line " + std::to_string(line) + ": text after the closing quote of a field";
      } else {
        while (at < text.size() && text[at] != ',' && !isLineEnd(text[at])) field += text[at++];
      }
      record.fields.push_back(std::move(field));
      if (at < text.size() && text[at] == ',') {
        ++at;
        continue;
      }
      break;
    }
    records.push_back(std::move(record));
    if (at < text.size()) skipLineEnd(text, at, line);
  }
  return records;
}
