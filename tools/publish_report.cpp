#include "tools/publish_report.h"

#include "tools/json.h"
#include "tools/stamp_fields.h"

namespace {

constexpr const char* kToolName = "channel_stamp publish";

JsonValue json(bool value) { return {value}; }
JsonValue json(int64_t value) { return {value}; }
JsonValue json(const std::string& text) { return {text}; }
JsonValue json(const std::vector<std::string>& texts) {
  JsonValue::Array items;
  for (const std::string& text : texts) items.push_back(json(text));
  return {std::move(items)};
}

JsonValue fieldsValue(const HeaderSettings& stamp) {
  JsonValue::Object fields;
  for (const StampField& field : stampFields())
    fields.emplace_back(field.label, field.isFlag ? json(field.get(stamp) != 0) : json(field.get(stamp)));
  return {std::move(fields)};
}

JsonValue copyValue(const PublishedCopy& published) {
  const BatchCopy& copy = published.copy;
  return {JsonValue::Object{
      {"file", json(copy.output)},
      {"row", json(int64_t(copy.row))},
      {"fields", fieldsValue(copy.stamp)},
      {"sha256", json(copy.sha256)},
      {"signed", json(published.isSigned)},
      {"selfTest", {JsonValue::Object{{"code", json(int64_t(published.selfTestCode))},
                                      {"verdict", json(published.selfTestVerdict)},
                                      {"arguments", json(published.selfTestArguments)}}}},
      {"warnings", json(copy.warnings)},
  }};
}

bool isSha256Hex(const std::string& text) {
  return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// The stamp a report's "fields" give; adds a fault for each field missing,
// of the wrong kind or out of its range.
HeaderSettings stampOf(const JsonValue& fields, const std::string& where, std::vector<std::string>& faults) {
  HeaderSettings stamp;
  for (const StampField& field : stampFields()) {
    const JsonValue* value = fields.member(field.label);
    const bool* flag = value ? value->as<bool>() : nullptr;
    const int64_t* number = value ? value->as<int64_t>() : nullptr;
    if (field.isFlag && flag != nullptr) field.set(stamp, *flag);
    else if (!field.isFlag && number != nullptr && *number >= field.low && *number <= field.high)
      field.set(stamp, *number);
    else
      faults.push_back(where + ": fields." + field.label + " must be " +
                       (field.isFlag ? "true or false" : fieldRangeText(field)));
  }
  return stamp;
}

// The copy that one entry of "copies" describes; adds a fault for each bad member.
BatchCopy copyOf(const JsonValue& entry, size_t index, std::vector<std::string>& faults) {
  BatchCopy copy;
  const JsonValue* file = entry.member("file");
  copy.output = file && file->as<std::string>() ? *file->as<std::string>() : "";
  const std::string where = "copies[" + std::to_string(index) + "] (" + copy.output + ")";
  if (const std::string problem = outputNameProblem(copy.output); !problem.empty())
    faults.push_back(where + ": file: " + problem);
  const JsonValue* row = entry.member("row");
  copy.row = row && row->as<int64_t>() && *row->as<int64_t>() > 0 ? size_t(*row->as<int64_t>()) : index + 1;
  const JsonValue* sha = entry.member("sha256");
  copy.sha256 = sha && sha->as<std::string>() ? *sha->as<std::string>() : "";
  if (!isSha256Hex(copy.sha256)) faults.push_back(where + ": sha256 must be 64 lowercase hexadecimal digits");
  const JsonValue* fields = entry.member("fields");
  if (fields == nullptr || fields->as<JsonValue::Object>() == nullptr) faults.push_back(where + ": fields is missing");
  else copy.stamp = stampOf(*fields, where, faults);
  return copy;
}

}  // namespace

std::string publishReportText(const PublishReport& report) {
  JsonValue::Array copies;
  for (const PublishedCopy& copy : report.copies) copies.push_back(copyValue(copy));
  const JsonValue timestamp = report.timestampServer.empty() ? JsonValue{nullptr} : json(report.timestampServer);
  return jsonText({JsonValue::Object{
      {"tool", json(std::string(kToolName))},
      {"version", json(report.toolVersion)},
      {"manifest", json(report.manifest)},
      {"template", {JsonValue::Object{{"file", json(report.templateCopy)}, {"sha256", json(report.templateSha256)}}}},
      {"signed", json(report.isSigned)},
      {"timestampServer", timestamp},
      {"copies", {std::move(copies)}},
  }});
}

std::variant<std::vector<BatchCopy>, std::vector<std::string>> readPublishReport(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  auto parsed = parseJson(text);
  if (const auto* fault = std::get_if<std::string>(&parsed)) return std::vector<std::string>{"not JSON: " + *fault};
  const JsonValue& report = std::get<JsonValue>(parsed);
  const JsonValue* tool = report.member("tool");
  if (tool == nullptr || tool->as<std::string>() == nullptr || *tool->as<std::string>() != kToolName)
    return std::vector<std::string>{std::string("not a publish report: \"tool\" is not \"") + kToolName + "\""};
  const JsonValue* entries = report.member("copies");
  if (entries == nullptr || entries->as<JsonValue::Array>() == nullptr)
    return std::vector<std::string>{"the report has no \"copies\" list"};

  std::vector<std::string> faults;
  std::vector<BatchCopy> copies;
  for (const JsonValue& entry : *entries->as<JsonValue::Array>()) copies.push_back(copyOf(entry, copies.size(), faults));
  if (!faults.empty()) return faults;
  return copies;
}

bool looksLikeReport(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  const size_t first = text.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && text[first] == '{';
}

std::string checksumsText(const std::vector<PublishedCopy>& copies) {
  std::string text;
  for (const PublishedCopy& published : copies) text += published.copy.sha256 + "  " + published.copy.output + "\n";
  return text;
}
