#include "tools/csv.h"

#include <gtest/gtest.h>

namespace {

using Fields = std::vector<std::vector<std::string>>;

Fields fieldsOf(std::string_view text) {
  const auto parsed = parseCsv(text);
  EXPECT_TRUE(std::holds_alternative<std::vector<CsvRecord>>(parsed)) << std::get<std::string>(parsed);
  Fields fields;
  if (const auto* records = std::get_if<std::vector<CsvRecord>>(&parsed))
    for (const CsvRecord& record : *records) fields.push_back(record.fields);
  return fields;
}

TEST(ParseCsv, FieldsAndRecords) {
  const struct {
    const char* text;
    Fields expected;
  } cases[] = {
      {"a,b\n1,2\n", {{"a", "b"}, {"1", "2"}}},
      {"a,b\r\n1,2", {{"a", "b"}, {"1", "2"}}},
      {"a\r1\r\r\n\n2", {{"a"}, {"1"}, {"2"}}},
      {"\xEF\xBB\xBFoutput", {{"output"}}},
      {",,\n", {{"", "", ""}}},
      {"\"a,b\",\"say \"\"hi\"\"\",\"\"", {{"a,b", "say \"hi\"", ""}}},
      {"\"two\r\nlines\",x\ny", {{"two\r\nlines", "x"}, {"y"}}},
      {"a\"b, c ", {{"a\"b", " c "}}},
      {"\"\"\"\"", {{"\""}}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(fieldsOf(c.text), c.expected) << c.text;
}

TEST(ParseCsv, RecordsKnowTheLineTheyStartOn) {
  const auto records = std::get<std::vector<CsvRecord>>(parseCsv("h\n\n\"1\n2\"\r\n3\n"));
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].line, 1u);
  EXPECT_EQ(records[1].line, 3u);
  EXPECT_EQ(records[2].line, 5u);
}

TEST(ParseCsv, FaultsNameTheirLine) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"a\nb,\"open\nstill open", "line 2: a quoted field is not closed"},
      {"a\n\"x\"y,z", "line 2: text after the closing quote of a field"},
      {"\"a\nb\" c", "line 2: text after the closing quote of a field"},
  };
  for (const auto& c : cases) {
    const auto parsed = parseCsv(c.text);
    ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << c.text;
    EXPECT_EQ(std::get<std::string>(parsed), c.message);
  }
}

}  // namespace
