// The report "channel_stamp publish" writes beside the copies it publishes
// (publish-report.json), and its reading back by "channel_stamp audit".
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "tools/channel_stamp.h"

inline constexpr const char* kPublishReportName = "publish-report.json";
inline constexpr const char* kChecksumsName = "SHA256SUMS";

// One published copy: its row (file name, stamp, SHA-256, warnings) and what
// publishing found.
struct PublishedCopy {
  BatchCopy copy;
  bool isSigned = false;
  int selfTestCode = 0;
  std::string selfTestVerdict;
  std::vector<std::string> selfTestArguments;
};

struct PublishReport {
  std::string toolVersion;
  std::string manifest;  // the paths as given
  std::string templateCopy;
  std::string templateSha256;
  bool isSigned = false;  // signed with a key (every copy, or none)
  std::string timestampServer;  // empty when none was named
  std::vector<PublishedCopy> copies;
};

// The report as JSON: the tool and its version, the manifest, the template
// and its SHA-256, whether the copies are signed, and per copy its file,
// row, all fifteen fields (numbers, switches as true/false), SHA-256,
// signed or not, self-test (code, verdict, arguments) and warnings.
std::string publishReportText(const PublishReport& report);

// The copies a report names, each with its stamp and SHA-256, or every fault
// found (not JSON, not a publish report, a missing or bad member, a field out
// of its range, a file name a copy cannot have).
std::variant<std::vector<BatchCopy>, std::vector<std::string>> readPublishReport(std::string_view text);

// Whether `text` is to be read as a report rather than a CSV manifest: its
// first character that is not blank (after a UTF-8 byte-order mark) is "{".
bool looksLikeReport(std::string_view text);

// SHA256SUMS: one line per copy, "HEX  NAME", as sha256sum writes it and
// "sha256sum -c" reads it.
std::string checksumsText(const std::vector<PublishedCopy>& copies);
