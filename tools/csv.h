// Comma-separated values as spreadsheets write them (RFC 4180): fields
// separated by commas, records by LF, CR LF or CR; a field in double quotes
// may hold commas, line breaks and doubled quotes ("" for one ").
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct CsvRecord {
  size_t line = 0;  // the line on which the record starts, from 1
  std::vector<std::string> fields;
};

// Splits `text` (UTF-8; a leading byte-order mark is skipped) into records.
// Empty lines give no record. Returns the records, or a message naming the
// line of the first fault: a quoted field that is never closed, or text after
// a closing quote. A quote inside an unquoted field is an ordinary character.
std::variant<std::vector<CsvRecord>, std::string> parseCsv(std::string_view text);
