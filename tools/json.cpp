#include "tools/json.h"

#include <charconv>

#include "tools/tool_text.h"

namespace {

constexpr int kDepthLimit = 64;

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  std::variant<JsonValue, std::string> document() {
    JsonValue value;
    if (!parse(value, 0)) return fault_;
    skipBlanks();
    if (at_ != text_.size()) {
      failure("text after the value");
      return fault_;
    }
    return value;
  }

 private:
  bool failure(const std::string& what) {
    fault_ = what + " at byte " + std::to_string(at_);
    return false;
  }
  void skipBlanks() {
    while (at_ < text_.size() && std::string_view(" \t\r\n").find(text_[at_]) != std::string_view::npos) ++at_;
  }
  bool take(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  bool parse(JsonValue& out, int depth) {
    if (depth >= kDepthLimit) return failure("nesting deeper than " + std::to_string(kDepthLimit));
    skipBlanks();
    if (at_ == text_.size()) return failure("a value is missing");
    const char c = text_[at_];
    if (c == '{') return object(out, depth);
    if (c == '[') return array(out, depth);
    if (c == '"') {
      std::string text;
      if (!string(text)) return false;
      out.value = std::move(text);
      return true;
    }
    if (take("true")) out.value = true;
    else if (take("false")) out.value = false;
    else if (take("null")) out.value = nullptr;
    else return number(out);
    return true;
  }

  bool number(JsonValue& out) {
    int64_t number = 0;
    const char* begin = text_.data() + at_;
    const auto [end, error] = std::from_chars(begin, text_.data() + text_.size(), number);
    if (error != std::errc() || (*begin == '0' && end - begin > 1) || (*begin == '-' && begin[1] == '0' && end - begin > 2))
      return failure("not a value (or a number beyond 64 bits)");
    at_ += size_t(end - begin);
    if (at_ < text_.size() && std::string_view(".eE").find(text_[at_]) != std::string_view::npos)
      return failure("a number that is not whole");
    out.value = number;
    return true;
  }

  bool hex4(uint32_t& unit) {
    if (text_.size() - at_ < 4) return failure("a short \\u escape");
    const auto [end, error] = std::from_chars(text_.data() + at_, text_.data() + at_ + 4, unit, 16);
    if (error != std::errc() || end != text_.data() + at_ + 4) return failure("a bad \\u escape");
    at_ += 4;
    return true;
  }

  // A run of \u escapes (after the first "\u") as UTF-8: surrogate pairs
  // join, an unpaired surrogate becomes U+FFFD.
  bool unicodeEscapes(std::string& text) {
    std::u16string units;
    do {
      uint32_t unit = 0;
      if (!hex4(unit)) return false;
      units += char16_t(unit);
    } while (take("\\u"));
    text += toUtf8(units);
    return true;
  }

  bool string(std::string& text) {
    ++at_;  // the opening quote
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return failure("a control character in a string");
      if (c != '\\') {
        text += c;
        continue;
      }
      if (at_ == text_.size()) break;
      const char escaped = text_[at_++];
      const size_t simple = std::string_view("\"\\/bfnrt").find(escaped);
      if (simple != std::string_view::npos) text += "\"\\/\b\f\n\r\t"[simple];
      else if (escaped != 'u') return failure("a bad escape");
      else if (!unicodeEscapes(text)) return false;
    }
    return failure("a string that is never closed");
  }

  // The items of an array or object: `item` reads one, after the opening bracket.
  template <class Item>
  bool items(char close, Item item) {
    ++at_;
    skipBlanks();
    if (at_ < text_.size() && text_[at_] == close) {
      ++at_;
      return true;
    }
    while (true) {
      if (!item()) return false;
      skipBlanks();
      if (at_ < text_.size() && text_[at_] == ',') {
        ++at_;
        continue;
      }
      if (at_ < text_.size() && text_[at_] == close) {
        ++at_;
        return true;
      }
      return failure(std::string("expected , or ") + close);
    }
  }

  bool array(JsonValue& out, int depth) {
    JsonValue::Array values;
    const bool ok = items(']', [&] { return parse(values.emplace_back(), depth + 1); });
    out.value = std::move(values);
    return ok;
  }

  bool object(JsonValue& out, int depth) {
    JsonValue::Object members;
    const bool ok = items('}', [&] {
      skipBlanks();
      if (at_ == text_.size() || text_[at_] != '"') return failure("expected a member name");
      auto& member = members.emplace_back();
      if (!string(member.name)) return false;
      skipBlanks();
      if (!take(":")) return failure("expected :");
      return parse(member.value, depth + 1);
    });
    out.value = std::move(members);
    return ok;
  }

  std::string_view text_;
  size_t at_ = 0;
  std::string fault_;
};

void writeString(std::string& out, const std::string& text) {
  static const char digits[] = "0123456789abcdef";
  out += '"';
  for (const char c : text) {
    const size_t simple = std::string_view("\"\\\b\f\n\r\t").find(c);
    if (c != '\0' && simple != std::string_view::npos) out += {'\\', "\"\\bfnrt"[simple]};
    else if (static_cast<unsigned char>(c) < 0x20) out += std::string("\\u00") + digits[c >> 4] + digits[c & 15];
    else out += c;
  }
  out += '"';
}

void write(std::string& out, const JsonValue& value, int indent) {
  const std::string inner(size_t(indent + 2), ' ');
  if (const auto* flag = value.as<bool>()) {
    out += *flag ? "true" : "false";
  } else if (const auto* number = value.as<int64_t>()) {
    out += std::to_string(*number);
  } else if (const auto* text = value.as<std::string>()) {
    writeString(out, *text);
  } else if (const auto* array = value.as<JsonValue::Array>()) {
    out += "[";
    for (size_t i = 0; i < array->size(); ++i) {
      out += (i == 0 ? "\n" : ",\n") + inner;
      write(out, (*array)[i], indent + 2);
    }
    out += array->empty() ? "]" : "\n" + std::string(size_t(indent), ' ') + "]";
  } else if (const auto* object = value.as<JsonValue::Object>()) {
    out += "{";
    for (size_t i = 0; i < object->size(); ++i) {
      out += (i == 0 ? "\n" : ",\n") + inner;
      writeString(out, (*object)[i].name);
      out += ": ";
      write(out, (*object)[i].value, indent + 2);
    }
    out += object->empty() ? "}" : "\n" + std::string(size_t(indent), ' ') + "}";
  } else {
    out += "null";
  }
}

}  // namespace

const JsonValue* JsonValue::member(std::string_view key) const {
  if (const auto* object = as<Object>())
    for (const auto& [name, member] : *object)
      if (name == key) return &member;
  return nullptr;
}

std::variant<JsonValue, std::string> parseJson(std::string_view text) { return Reader(text).document(); }

std::string jsonText(const JsonValue& value) {
  std::string text;
  write(text, value, 0);
  return text + "\n";
}
