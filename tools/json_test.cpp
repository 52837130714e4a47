#include "tools/json.h"

#include <gtest/gtest.h>

namespace {

TEST(Json, WrittenTextReadsBackTheSame) {
  const JsonValue value{JsonValue::Object{
      {"name", {std::string("a \"quoted\"\\ name\t\x01 \xE4\xB8\xAD")}},
      {"numbers", {JsonValue::Array{{int64_t(-9223372036854775807 - 1)}, {int64_t(0)}, {int64_t(4294967295)}}}},
      {"flags", {JsonValue::Array{{true}, {false}, {nullptr}}}},
      {"empty", {JsonValue::Object{}}},
  }};
  const std::string text = jsonText(value);
  const auto read = parseJson(text);
  ASSERT_TRUE(std::holds_alternative<JsonValue>(read)) << std::get<std::string>(read) << "\n" << text;
  EXPECT_EQ(jsonText(std::get<JsonValue>(read)), text);
  EXPECT_EQ(*std::get<JsonValue>(read).member("name")->as<std::string>(), *value.member("name")->as<std::string>());
}

TEST(Json, EscapesReadAsTheirCharacters) {
  const auto read = parseJson(R"( ["\u00e4\ud83d\ude00\/\n", "\ud800x"] )");
  ASSERT_TRUE(std::holds_alternative<JsonValue>(read)) << std::get<std::string>(read);
  const auto& items = *std::get<JsonValue>(read).as<JsonValue::Array>();
  EXPECT_EQ(*items[0].as<std::string>(), "\xC3\xA4\xF0\x9F\x98\x80/\n");
  EXPECT_EQ(*items[1].as<std::string>(), "\xEF\xBF\xBDx") << "an unpaired surrogate becomes U+FFFD";
}

TEST(Json, FaultsNameWhatAndWhere) {
  const struct {
    std::string text;
    const char* fault;
  } cases[] = {
      {"", "a value is missing at byte 0"},
      {"{\"a\" 1}", "expected : at byte 5"},
      {"[1 2]", "expected , or ] at byte 3"},
      {"[1,]", "not a value"},
      {"\"open", "never closed"},
      {"\"a\nb\"", "a control character"},
      {"\"\\x\"", "a bad escape"},
      {"\"\\u12\"", "\\u escape"},
      {"1.5", "not whole"},
      {"012", "not a value"},
      {"99999999999999999999", "beyond 64 bits"},
      {"{} x", "text after the value at byte 3"},
      {std::string(65, '[') + std::string(65, ']'), "nesting deeper than 64"},
  };
  for (const auto& c : cases) {
    const auto read = parseJson(c.text);
    ASSERT_TRUE(std::holds_alternative<std::string>(read)) << c.text;
    EXPECT_NE(std::get<std::string>(read).find(c.fault), std::string::npos) << c.text << ": " << std::get<std::string>(read);
  }
}

}  // namespace
