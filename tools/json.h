// A small JSON reader and writer for the tools' reports: objects keep their
// members in order, numbers are whole (64-bit); text is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

struct JsonMember;

struct JsonValue {
  using Array = std::vector<JsonValue>;
  // A struct, not std::pair: clang checks std::pair's constructors against
  // JsonValue while JsonValue is still incomplete.
  using Object = std::vector<JsonMember>;
  std::variant<std::nullptr_t, bool, int64_t, std::string, Array, Object> value;

  // The member called `key` of an object, or nullptr (also when this is not an object).
  const JsonValue* member(std::string_view key) const;
  // The value as T, or nullptr when it holds another kind.
  template <class T>
  const T* as() const {
    return std::get_if<T>(&value);
  }
};

// One member of an object.
struct JsonMember {
  JsonMember() = default;
  JsonMember(std::string name, JsonValue value) : name(std::move(name)), value(std::move(value)) {}
  std::string name;
  JsonValue value;
};

// Parses `text` (one value, blanks around it allowed). Returns the value, or
// a message naming the byte offset of the first fault: bad syntax, a number
// with a fraction or exponent or beyond 64 bits, nesting deeper than 64.
std::variant<JsonValue, std::string> parseJson(std::string_view text);

// `value` as JSON text, members one to a line, indented by two spaces, ending
// in a line break.
std::string jsonText(const JsonValue& value);
