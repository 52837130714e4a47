#include "tools/channel_stamp.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>

#include "common/ascii_case.h"
#include "file_io/file_io.h"
#include "launch_settings/header_self_check.h"
#include "launch_settings/stamp_writer.h"
#include "tools/pe_image.h"
#include "tools/publish_report.h"
#include "tools/sha256.h"
#include "tools/stamp_audit.h"
#include "tools/stamp_fields.h"
#include "tools/stamp_publish.h"
#include "tools/tool_command.h"
#include "tools/tool_files.h"
#include "tools/tool_text.h"
#include "tools/unpassable_stamp.h"

namespace {

constexpr const char* kOverview =
    "usage: channel_stamp COMMAND ...\n"
    "  stamp COPY --channel N [field options] [--output OUT] [--force]\n"
    "                         write launch settings into a copy of channel_launcher.exe\n"
    "  show COPY              list the settings a copy carries, as the launcher reads them\n"
    "  verify COPY -- ARGS... the launcher's header self-test, done offline\n"
    "  batch MANIFEST.csv --template COPY --out DIR [--force]\n"
    "                         one stamped copy per manifest row\n"
    "  audit MANIFEST.csv --dir DIR [--template COPY]\n"
    "                         check a published folder against its manifest or publish report\n"
    "  publish MANIFEST.csv --template COPY --out DIR [--force] [signing options]\n"
    "                         stamp, sign, verify, self-test and audit, then put DIR in place\n"
    "'channel_stamp COMMAND --help' describes a command; 'channel_stamp --version' tells the version.\n"
    "Exit codes: 0 done; 1..15 verify: the self-test code; 16 wrong arguments, or a stamp\n"
    "that can never pass the self-test; 17 a file could not be read; 18 not a Windows\n"
    "executable, or not one that can be the launcher; 19 signed copy refused; 20 invalid\n"
    "manifest (nothing written); 21 a file could not be written (the old one is unchanged);\n"
    "22 audit: a copy is missing or differs; 23 publish: a copy failed a step (nothing\n"
    "was published).\n";

constexpr const char* kStampHelp =
    "usage: channel_stamp stamp COPY --channel N [--sub-channel N] [--app-id N] [--mini-type N]\n"
    "         [--tag N] [--delay-start-seconds N] [--silent] [--cover-channel]\n"
    "         [--auto-running-disabled] [--silent-running] [--install-hall]\n"
    "         [--auto-check-agree-box] [--auto-install] [--no-create-shortcut]\n"
    "         [--show-only-first-install-page] [--output OUT] [--force]\n"
    "Writes all fifteen header-backed fields into the reserved words of COPY's MS-DOS\n"
    "header (offsets 0x1C..0x3B, all but the unused 0x24..0x27); fields not named are\n"
    "stamped 0 / off. The one other field that changes is the PE CheckSum, recomputed over\n"
    "the stamped file as the linker computed it (one the linker left 0, \"not set\", stays\n"
    "0); signing recomputes it again. Without --output, COPY itself is changed. The file is\n"
    "written through a temporary file and a rename, never half-written.\n"
    "Numbers are decimal: channel, sub-channel and app-id take 32 bits, --mini-type 0..65535,\n"
    "--tag and --delay-start-seconds -32768..65535 (16 bits).\n"
    "COPY must be the launcher: a Windows program (not a DLL) for x86, PE32 (a 64-bit PE32+\n"
    "program is refused). A stamp that the copy can never pass its header self-test with\n"
    "is refused (exit 16) with the reason: with --mini-type 1 the launcher reads no\n"
    "sub-channel from its command line, so a sub-channel, stamped or taken from \"cid\" and\n"
    "a number in the copy's path, fails it.\n"
    "Stamping changes bytes that an Authenticode signature covers, so a signed COPY is\n"
    "refused: stamp first, sign after. --force stamps anyway, with a warning, a signed COPY\n"
    "(its signature then no longer verifies) and a stamp that can never pass.\n";

constexpr const char* kShowHelp =
    "usage: channel_stamp show COPY\n"
    "Lists the stamp of COPY field by field, the sub-channel the launcher takes from a\n"
    "\"cid\" number in COPY's full path (when the stamp has a channel and no sub-channel),\n"
    "whether COPY is signed, and the arguments that make COPY pass its header self-test,\n"
    "or why it can never pass it.\n";

constexpr const char* kVerifyHelp =
    "usage: channel_stamp verify COPY [-- ARGS...]\n"
    "Runs the launcher's header self-test offline: compares the stamp of COPY (with the\n"
    "\"cid\" rule over COPY's full path) with the settings ARGS give, in the launcher's\n"
    "order, prints the first field that differs and exits with the code the launcher\n"
    "would exit with (0 when all agree, else 1..15).\n"
    "ARGS are the launcher's arguments after its program name, one per shell word. The\n"
    "launcher splits its own command line with CommandLineToArgvW; here the shell has\n"
    "already split them, so quote as your shell needs (e.g. '/D=C:\\Games\\Ludora Hall').\n"
    "The launcher runs its self-test only when TestDosHeaderAttribute is among ARGS.\n";

constexpr const char* kAuditHelp =
    "usage: channel_stamp audit MANIFEST.csv --dir DIR [--template COPY]\n"
    "Checks a published folder against the manifest it was stamped from, and writes\n"
    "nothing. For every row, the copy of that name in DIR (letter case of A-Z ignored\n"
    "when no file has the very name) must exist, be a Windows executable and carry\n"
    "exactly the row's stamp: all fifteen fields, compared as stamped (the launcher may\n"
    "still take a sub-channel from \"cid\" in its path). With --template, the copy must\n"
    "also equal COPY everywhere except what stamping and signing change: the stamp\n"
    "(0x1C..0x3B), the PE CheckSum field, the certificate table's data directory entry,\n"
    "the certificate table itself and the zero bytes (fewer than 8) that align it.\n"
    "Each copy is reported as agreeing or differing and as signed or not (a certificate\n"
    "table is there; osslsigncode verify checks the signature itself), with one line\n"
    "per field or difference at fault; the entries of DIR that no row names are listed\n"
    "after the rows. Exit code 0 when every copy agrees, 22 when any is missing or\n"
    "differs (entries no row names do not change it); 17 when MANIFEST, COPY or DIR\n"
    "cannot be read, 18 when COPY is not a Windows executable, 20 for an invalid\n"
    "manifest.\n";

// The batch help lists the column names from the field table itself.
const char* batchHelp() {
  static const std::string help = [] {
    std::string text =
        "usage: channel_stamp batch MANIFEST.csv --template COPY --out DIR [--force]\n"
        "Writes one stamped copy of COPY into DIR per manifest row. The manifest is CSV: a\n"
        "header row naming the columns, then one row per copy. Columns: output (the copy's\n"
        "file name, required), channel (required) and any other field. A column names its\n"
        "field by the option's name, the field's name in listings or either in snake case,\n"
        "letter case ignored; each field (and output) at most once:\n"
        "  output\n";
    for (const StampField& field : stampFields()) {
      std::string names;
      for (const std::string& name : columnNames(field)) names += (names.empty() ? "" : ", ") + name;
      text += "  " + names + "\n";
    }
    return text +
           "Empty number cells are 0; switch cells take 1/0, yes/no, true/false, on/off or empty\n"
           "(off). Fields may be quoted. Every row is checked before any copy is written: one\n"
           "invalid row writes nothing. Existing files of the same names in DIR are replaced:\n"
           "every copy is written beside its place and flushed to the disk first, then all are\n"
           "renamed into place, so a failed write leaves DIR as it was. A row whose copy can\n"
           "never pass its header self-test at its place in DIR is refused as for stamp (exit\n"
           "16, nothing written). Each copy's stamp changes what stamp changes, nothing else.\n"
           "--force: as for stamp.\n";
  }();
  return help.c_str();
}

}  // namespace

[[noreturn]] void usageError(const std::string& command, const std::string& message) {
  throw ToolError{kExitUsage, message + " (see 'channel_stamp " + command + " --help')"};
}

namespace {

// The full path under which the launcher would see the copy: the "cid" rule
// searches it whole, directories included.
std::u16string launcherPath(const std::string& copy) {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(pathOf(copy), error);
  return error ? toUtf16(copy) : full.u16string();
}

std::string signatureText(const ExecutableInfo& info) {
  return "an Authenticode signature (certificate table of " + std::to_string(info.certificateTableSize) +
         " bytes at " + hexText(info.certificateTableOffset) + ")";
}

// The copy's bytes, when it is a Windows executable; raises ToolError otherwise.
std::vector<uint8_t> readExecutable(const std::string& path, ExecutableInfo& info) {
  std::vector<uint8_t> bytes = readInputFile(path);
  info = inspectExecutable(bytes);
  if (!info.isExecutable()) throw ToolError{kExitBadInput, path + " is not a Windows executable: " + info.problem};
  return bytes;
}

// The bytes of a copy of the launcher to stamp; raises ToolError when it is
// not a Windows executable, or not a program of `widths` (a DLL, 64-bit).
std::vector<uint8_t> readLauncherImage(const std::string& path, ExecutableInfo& info, LauncherWidths widths) {
  std::vector<uint8_t> bytes = readExecutable(path, info);
  if (const std::string problem = launcherImageProblem(info, widths); !problem.empty())
    throw ToolError{kExitBadInput, path + " is " + problem + ": only copies of the launcher are stamped"};
  return bytes;
}

// One line for each reason why a copy called `what`, carrying `stamp` at
// `path`, can never pass its header self-test.
std::vector<std::string> unpassableFaults(const std::string& what, const HeaderSettings& stamp, const std::string& path) {
  std::vector<std::string> faults;
  for (const std::string& reason : unpassableStampReasons(stamp, launcherPath(path)))
    faults.push_back(what + " can never pass its self-test: " + reason);
  return faults;
}

// Tells each of `faults` on `err` and raises ToolError kExitUsage (`outcome`
// says what was left undone) unless `force`, with which they are warnings.
void refuseUnpassable(const std::vector<std::string>& faults, bool force, const std::string& outcome,
                      std::ostream& err) {
  if (faults.empty()) return;
  for (const std::string& fault : faults) err << "channel_stamp: " << (force ? "warning: " : "") << fault << "\n";
  if (!force)
    throw ToolError{kExitUsage, "refused a stamp that can never pass the launcher's self-test; " + outcome +
                                    " (--force stamps it anyway)"};
}

// Writes `stamp` into the image `bytes` and brings its PE CheckSum up to date
// (one the linker left 0 stays 0).
void stampImage(std::vector<uint8_t>& bytes, const ExecutableInfo& info, const HeaderSettings& stamp) {
  writeStamp(bytes, stamp);
  refreshChecksum(bytes, info);
}

// Refuses a signed copy unless `force`; with `force`, warns, and returns the
// warning (empty when the copy is not signed).
std::string checkSignature(const std::string& path, const ExecutableInfo& info, bool force, std::ostream& err) {
  if (!info.isSigned()) return {};
  if (!force)
    throw ToolError{kExitSigned, path + " carries " + signatureText(info) +
                                     ". Stamping changes bytes that the signature covers, so it would no longer "
                                     "verify: stamp an unsigned copy and sign it afterwards, or give --force to "
                                     "stamp it anyway."};
  const std::string warning = path + " carries " + signatureText(info) +
                              "; the stamped copy's signature no longer verifies: sign it again.";
  err << "channel_stamp: warning: " << warning << "\n";
  return warning;
}

constexpr size_t kValueColumn = 30;

std::string joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

void describe(std::ostream& out, const std::string& path, const std::vector<uint8_t>& bytes,
              const ExecutableInfo& info) {
  const HeaderSettings stamp = decodeStamp(bytes);
  const HeaderSettings asRead = decodeHeaderSettings(bytes, launcherPath(path));
  listLine(out, "file", path, kValueColumn);
  listLine(out, "executable", std::string(kindName(info.kind)) + (info.isSigned() ? ", signed" : ", not signed"),
           kValueColumn);
  for (const StampField& field : stampFields()) {
    std::string value = fieldValueText(field, stamp);
    if (field.get(asRead) != field.get(stamp))
      value += "  (the launcher reads " + fieldValueText(field, asRead) + " from \"cid\" in this path)";
    listLine(out, field.label, value, kValueColumn);
  }
  const std::vector<std::string> unpassable = unpassableStampReasons(stamp, launcherPath(path));
  for (const std::string& reason : unpassable)
    listLine(out, "self-test", "this copy can never pass its self-test: " + reason, kValueColumn);
  if (unpassable.empty()) listLine(out, "self-test arguments", joined(selfTestArguments(asRead)), kValueColumn);
}

int stampCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                 const FileOperations& files, LauncherWidths widths) {
  const StampRequest request = parseStampRequest(arguments);
  const std::string target = request.output.empty() ? request.copy : request.output;
  refuseUnpassable(unpassableFaults(target, request.stamp, target), request.force, target + " was not written", err);
  ExecutableInfo info;
  std::vector<uint8_t> bytes = readLauncherImage(request.copy, info, widths);
  checkSignature(request.copy, info, request.force, err);
  stampImage(bytes, info, request.stamp);
  writeOutputFile(target, bytes, files);
  out << "stamped " << target << "\n";
  describe(out, target, bytes, info);
  return kExitDone;
}

int showCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream&,
                const FileOperations&) {
  if (arguments.size() != 1) usageError("show", "show takes one COPY");
  ExecutableInfo info;
  const std::vector<uint8_t> bytes = readExecutable(arguments[0], info);
  describe(out, arguments[0], bytes, info);
  return kExitDone;
}

int verifyCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                  const FileOperations&) {
  if (arguments.empty()) usageError("verify", "verify needs COPY");
  if (arguments.size() > 1 && arguments[1] != "--") usageError("verify", "put -- between COPY and the launcher's arguments");
  const std::string& copy = arguments[0];
  ExecutableInfo info;
  const std::vector<uint8_t> bytes = readExecutable(copy, info);
  const std::vector<std::string> launcherArguments(arguments.begin() + std::min<size_t>(2, arguments.size()),
                                                   arguments.end());
  const SelfTest test = runSelfTest(bytes, launcherPath(copy), launcherArguments);
  if (!test.commandLine.testDosHeaderAttribute)
    err << "channel_stamp: note: without TestDosHeaderAttribute among its arguments the launcher runs "
           "its launch sequence, not this self-test\n";
  out << selfTestVerdict(test) << "\n";
  return test.code;
}

}  // namespace

const std::string& optionValue(const std::string& command, const std::vector<std::string>& arguments, size_t& at) {
  if (at + 1 >= arguments.size()) usageError(command, arguments[at] + " needs a value");
  return arguments[++at];
}

namespace {

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string lowered(std::string text) {
  for (char& c : text) c = asciiLower(c);
  return text;
}

std::string rowName(const CsvRecord& record, size_t row) {
  return "row " + std::to_string(row) + " (line " + std::to_string(record.line) + ")";
}

// One column of a manifest: the name its header gives it and the field it
// names (nullptr for "output" and for an unknown name).
struct ManifestColumn {
  std::string name;
  const StampField* field = nullptr;
};

// The manifest's columns by position; adds a message to `faults` for each bad
// column: unknown, naming a field (or output) another column names, or missing.
std::vector<ManifestColumn> manifestColumns(const CsvRecord& header, std::vector<std::string>& faults,
                                            size_t& outputColumn) {
  std::vector<ManifestColumn> columns;
  outputColumn = header.fields.size();
  for (size_t i = 0; i < header.fields.size(); ++i) {
    ManifestColumn column{trimmed(header.fields[i]), findStampFieldByColumn(trimmed(header.fields[i]))};
    const bool isOutput = equalsIgnoringAsciiCase(column.name, "output");
    if (column.field == nullptr && !isOutput)
      faults.push_back("header: unknown column \"" + column.name + "\" (see 'channel_stamp batch --help' for the names)");
    for (size_t j = 0; j < columns.size(); ++j) {
      const bool same = isOutput ? j == outputColumn : column.field != nullptr && columns[j].field == column.field;
      if (!same) continue;
      faults.push_back("header: column \"" + column.name + "\" " +
                       (equalsIgnoringAsciiCase(column.name, columns[j].name)
                            ? "appears twice"
                            : "names the same field as column \"" + columns[j].name + "\""));
      break;
    }
    if (isOutput && outputColumn == header.fields.size()) outputColumn = i;
    columns.push_back(std::move(column));
  }
  if (outputColumn == header.fields.size()) faults.push_back("header: there is no \"output\" column");
  if (std::ranges::none_of(columns, [](const ManifestColumn& c) { return c.field == findStampField("channel"); }))
    faults.push_back("header: there is no \"channel\" column");
  return columns;
}

// The copy of one data row; adds a message to `faults` for each bad cell.
BatchCopy manifestRow(const CsvRecord& record, size_t row, const std::vector<ManifestColumn>& columns,
                      size_t outputColumn, std::vector<std::string>& faults) {
  BatchCopy copy;
  copy.row = row;
  for (size_t i = 0; i < columns.size(); ++i) {
    const std::string cell = trimmed(record.fields[i]);
    const std::string where = rowName(record, row) + ": column " + columns[i].name;
    if (i == outputColumn) {
      copy.output = cell;
      if (const std::string problem = outputNameProblem(cell); !problem.empty()) faults.push_back(where + ": " + problem);
      continue;
    }
    const StampField* field = columns[i].field;
    if (field == nullptr) continue;
    if (field->isFlag) {
      const std::optional<bool> on = parseFieldSwitch(cell);
      if (on) field->set(copy.stamp, *on);
      else faults.push_back(where + ": \"" + cell + "\" is not a switch value (1/0, yes/no, true/false, on/off, or empty)");
      continue;
    }
    if (cell.empty() && field->name != std::string("channel")) continue;
    const std::optional<int64_t> value = parseFieldNumber(*field, cell);
    if (value) field->set(copy.stamp, *value);
    else faults.push_back(where + " takes " + fieldRangeText(*field) + ", not \"" + cell + "\"");
  }
  return copy;
}

}  // namespace

ManifestArguments parseManifestArguments(const std::string& command, const std::vector<std::string>& arguments,
                                         const std::string& folderOption, bool takesForce) {
  ManifestArguments parsed;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--template") parsed.templateCopy = optionValue(command, arguments, i);
    else if (argument == folderOption) parsed.folder = optionValue(command, arguments, i);
    else if (argument == "--force" && takesForce) parsed.force = true;
    else if (argument.starts_with("--")) usageError(command, "unknown option " + argument);
    else if (parsed.manifest.empty()) parsed.manifest = argument;
    else usageError(command, command + " takes one MANIFEST, not also " + argument);
  }
  if (parsed.manifest.empty()) usageError(command, command + " needs MANIFEST");
  if (parsed.folder.empty()) usageError(command, command + " needs " + folderOption + " DIR");
  return parsed;
}

namespace {

// Tells each fault of `manifest` on `err` and raises ToolError kExitBadManifest.
[[noreturn]] void rejectManifest(const std::string& manifest, const std::vector<std::string>& faults,
                                 const std::string& outcome, std::ostream& err) {
  for (const std::string& fault : faults) err << "channel_stamp: " << manifest << ": " << fault << "\n";
  throw ToolError{kExitBadManifest, manifest + ": " + std::to_string(faults.size()) + " fault(s) found; " + outcome};
}

// The copies the manifest file names; raises ToolError kExitBadManifest, each
// fault told on `err`, when it is invalid. `outcome` ends the message:
// "nothing was written".
std::vector<BatchCopy> readManifestFile(const std::string& manifest, const std::string& outcome, std::ostream& err) {
  const std::vector<uint8_t> text = readInputFile(manifest);
  const auto records = parseCsv(std::string(text.begin(), text.end()));
  if (const auto* fault = std::get_if<std::string>(&records))
    throw ToolError{kExitBadManifest, manifest + ": " + *fault + "; " + outcome};
  auto copies = readBatchManifest(std::get<std::vector<CsvRecord>>(records));
  if (const auto* faults = std::get_if<std::vector<std::string>>(&copies)) rejectManifest(manifest, *faults, outcome, err);
  return std::move(std::get<std::vector<BatchCopy>>(copies));
}

// The rows audit checks: a publish report's (looksLikeReport; `fromReport`
// is then set), else a manifest's.
std::vector<BatchCopy> readAuditRows(const std::string& path, bool& fromReport, std::ostream& err) {
  const std::vector<uint8_t> bytes = readInputFile(path);
  const std::string text(bytes.begin(), bytes.end());
  fromReport = looksLikeReport(text);
  if (!fromReport) return readManifestFile(path, "nothing was checked", err);
  auto copies = readPublishReport(text);
  if (const auto* faults = std::get_if<std::vector<std::string>>(&copies))
    rejectManifest(path, *faults, "nothing was checked", err);
  return std::move(std::get<std::vector<BatchCopy>>(copies));
}

}  // namespace

BatchPlan readBatchPlan(const std::string& manifest, const std::string& templateCopy, const std::string& folder,
                        bool force, LauncherWidths widths, std::ostream& err) {
  BatchPlan plan;
  plan.copies = readManifestFile(manifest, "nothing was written", err);
  std::vector<std::string> unpassable;
  for (BatchCopy& copy : plan.copies) {
    copy.warnings = unpassableBatchCopies({copy}, folder);
    unpassable.insert(unpassable.end(), copy.warnings.begin(), copy.warnings.end());
  }
  refuseUnpassable(unpassable, force, "nothing was written", err);
  plan.templateBytes = readLauncherImage(templateCopy, plan.templateInfo, widths);
  if (const std::string warning = checkSignature(templateCopy, plan.templateInfo, force, err); !warning.empty())
    for (BatchCopy& copy : plan.copies) copy.warnings.push_back(warning);
  return plan;
}

std::vector<std::string> writeBatchCopies(const BatchPlan& plan, const std::string& folder, const FileOperations& files) {
  std::error_code error;
  std::filesystem::create_directories(pathOf(folder), error);
  if (error) throw ToolError{kExitCannotWrite, "cannot create the folder " + folder};
  // Every copy is written beside its place first and the lot flushed to the
  // disk at once; only then are they renamed into place, so a failure before
  // that leaves DIR as it was.
  FileSetWriter writer(files);
  // One image for all copies: each stamp rewrites every byte it owns.
  std::vector<uint8_t> bytes = plan.templateBytes;
  std::vector<std::string> targets;
  for (const BatchCopy& copy : plan.copies) {
    stampImage(bytes, plan.templateInfo, copy.stamp);
    targets.push_back(utf8Of(pathOf(folder) / pathOf(copy.output)));
    if (const FileStatus added = writer.add(toUtf16(targets.back()), bytes); !added.ok())
      throw ToolError{kExitCannotWrite, "cannot write " + targets.back() + " (" + failureText(added) +
                                            "); no copy was written, " + folder + " is as it was"};
  }
  const FileSetWriter::Committed committed = writer.commit();
  if (committed.placed != plan.copies.size())
    throw ToolError{kExitCannotWrite, "cannot put the copies in place in " + folder + " (" +
                                          failureText(committed.status) + "): " + std::to_string(committed.placed) +
                                          " of " + std::to_string(plan.copies.size()) +
                                          " were written before the failure, the others are as they were"};
  return targets;
}

namespace {

int batchCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                 const FileOperations& files, LauncherWidths widths) {
  const ManifestArguments parsed = parseManifestArguments("batch", arguments, "--out", true);
  if (parsed.templateCopy.empty()) usageError("batch", "batch needs --template COPY");
  const BatchPlan plan = readBatchPlan(parsed.manifest, parsed.templateCopy, parsed.folder, parsed.force, widths, err);
  const std::vector<std::string> targets = writeBatchCopies(plan, parsed.folder, files);
  for (size_t i = 0; i < plan.copies.size(); ++i) {
    const BatchCopy& copy = plan.copies[i];
    const HeaderSettings asRead = withCidRule(copy.stamp, launcherPath(targets[i]));
    out << "row " << copy.row << ": " << targets[i] << "  channel " << copy.stamp.channelId << ", sub-channel "
        << copy.stamp.subChannelId;
    if (asRead.subChannelId != copy.stamp.subChannelId)
      out << " (the launcher reads " << asRead.subChannelId << " from \"cid\" in this path)";
    out << ", app-id " << copy.stamp.appId << "\n";
  }
  const size_t written = targets.size();
  out << "batch: " << written << " stamped " << (written == 1 ? "copy" : "copies") << " of " << parsed.templateCopy
      << " written to " << parsed.folder << "\n";
  return kExitDone;
}

// A folder's entries by name (UTF-8); folders end in "/". Raises ToolError
// kExitCannotRead when `folder` is not a folder that can be listed.
std::vector<std::string> folderEntries(const std::string& folder) {
  std::error_code error;
  std::vector<std::string> names;
  std::filesystem::directory_iterator entries(pathOf(folder), error);
  for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
    std::error_code typeError;
    names.push_back(utf8Of(entries->path().filename()) + (entries->is_directory(typeError) ? "/" : ""));
  }
  if (error) throw ToolError{kExitCannotRead, "cannot list the folder " + folder};
  std::ranges::sort(names);
  return names;
}

// The entry of `entries` that holds the copy called `output`: the one of that
// very name, else one that differs in the case of A-Z only (as Windows finds
// it); entries.size() when there is none.
size_t entryOfCopy(const std::vector<std::string>& entries, const std::string& output) {
  const auto exact = std::ranges::find(entries, output);
  if (exact != entries.end()) return size_t(exact - entries.begin());
  const auto folded = std::ranges::find_if(entries, [&](const std::string& e) { return equalsIgnoringAsciiCase(e, output); });
  return size_t(folded - entries.begin());
}

// What is wrong with one published copy (nothing when it agrees); `isSigned`
// tells whether it carries a signature, once it has been read as an executable.
std::vector<std::string> auditCopy(const std::string& path, const BatchCopy& row, const std::vector<uint8_t>* original,
                                   const ExecutableInfo& originalInfo, std::optional<bool>& isSigned) {
  ExecutableInfo info;
  std::vector<uint8_t> bytes;
  try {
    bytes = readExecutable(path, info);
  } catch (const ToolError& failure) {
    return {failure.message};
  }
  isSigned = info.isSigned();
  std::vector<std::string> faults = stampDifferences(decodeStamp(bytes), row.stamp);
  if (const std::string sha256 = sha256Hex(bytes); !row.sha256.empty() && sha256 != row.sha256)
    faults.push_back("its SHA-256 is " + sha256 + ", the report says " + row.sha256);
  if (original != nullptr) {
    if (const std::string difference = templateDifference(bytes, info, *original, originalInfo); !difference.empty())
      faults.push_back(difference);
  }
  return faults;
}

int auditCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                 const FileOperations&) {
  const ManifestArguments parsed = parseManifestArguments("audit", arguments, "--dir", false);
  bool fromReport = false;
  const std::vector<BatchCopy> rows = readAuditRows(parsed.manifest, fromReport, err);
  ExecutableInfo originalInfo;
  std::vector<uint8_t> original;
  if (!parsed.templateCopy.empty()) original = readExecutable(parsed.templateCopy, originalInfo);
  std::vector<std::string> entries = folderEntries(parsed.folder);
  std::vector<bool> named(entries.size(), false);
  // What a publish put beside the copies belongs to it.
  for (size_t i = 0; i < entries.size(); ++i)
    named[i] = fromReport && (entries[i] == kPublishReportName || entries[i] == kChecksumsName);

  size_t differing = 0;
  for (const BatchCopy& row : rows) {
    const size_t entry = entryOfCopy(entries, row.output);
    std::string status;
    std::vector<std::string> faults;
    if (entry == entries.size()) {
      faults = {"there is no such file in " + parsed.folder};
      status = "MISSING";
    } else {
      named[entry] = true;
      std::optional<bool> isSigned;
      faults = auditCopy(utf8Of(pathOf(parsed.folder) / pathOf(entries[entry])), row,
                         parsed.templateCopy.empty() ? nullptr : &original, originalInfo, isSigned);
      status = faults.empty() ? "agrees" : "DIFFERS";
      if (isSigned) status += *isSigned ? ", signed" : ", not signed";
      if (entries[entry] != row.output) status += " (found as " + entries[entry] + ")";
    }
    differing += !faults.empty();
    out << row.output << " (row " << row.row << "): " << status << "\n";
    for (const std::string& fault : faults) out << "  " << row.output << ": " << fault << "\n";
  }
  std::vector<std::string> others;
  for (size_t i = 0; i < entries.size(); ++i)
    if (!named[i]) others.push_back(entries[i]);
  for (const std::string& other : others) out << other << ": not in the manifest\n";

  out << "audit: " << rows.size() << (rows.size() == 1 ? " copy" : " copies") << " in " << parsed.manifest << ", "
      << rows.size() - differing << " agree" << (rows.size() - differing == 1 ? "s" : "") << ", " << differing
      << (differing == 1 ? " differs" : " differ");
  if (!others.empty()) out << "; " << others.size() << " more in " << parsed.folder << " that no row names";
  out << "\n";
  return differing == 0 ? kExitDone : kExitAuditDiffers;
}

// The commands; those that stamp take copies of the launcher of `widths`.
std::vector<ToolCommand> commands(LauncherWidths widths) {
  using namespace std::placeholders;
  return {
      {"stamp", kStampHelp, std::bind(stampCommand, _1, _2, _3, _4, widths)},
      {"show", kShowHelp, showCommand},
      {"verify", kVerifyHelp, verifyCommand},
      {"batch", batchHelp(), std::bind(batchCommand, _1, _2, _3, _4, widths)},
      {"audit", kAuditHelp, auditCommand},
      {"publish", publishHelp(), std::bind(publishCommand, _1, _2, _3, _4, widths)},
  };
}

// Help is asked for by --help or -h anywhere before "--": what follows "--"
// belongs to the launcher.
bool asksForHelp(const std::vector<std::string>& arguments) {
  return std::any_of(arguments.begin(), std::ranges::find(arguments, std::string("--")), isHelpOption);
}

}  // namespace

StampRequest parseStampRequest(const std::vector<std::string>& arguments) {
  StampRequest request;
  bool channelGiven = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (!argument.starts_with("--")) {
      if (!request.copy.empty()) usageError("stamp", "stamp takes one COPY, not also " + argument);
      request.copy = argument;
      continue;
    }
    if (argument == "--output") {
      request.output = optionValue("stamp", arguments, i);
      continue;
    }
    if (argument == "--force") {
      request.force = true;
      continue;
    }
    const StampField* field = findStampField(std::string_view(argument).substr(2));
    if (field == nullptr) usageError("stamp", "unknown option " + argument);
    if (field->isFlag) {
      field->set(request.stamp, 1);
      continue;
    }
    const std::string& text = optionValue("stamp", arguments, i);
    const std::optional<int64_t> value = parseFieldNumber(*field, text);
    if (!value) usageError("stamp", argument + " takes " + fieldRangeText(*field) + ", not \"" + text + "\"");
    field->set(request.stamp, *value);
    channelGiven = channelGiven || field->name == std::string("channel");
  }
  if (request.copy.empty()) usageError("stamp", "stamp needs COPY");
  if (!channelGiven) usageError("stamp", "stamp needs --channel");
  return request;
}

std::string outputNameProblem(const std::string& name) {
  if (name.empty()) return "the file name is empty";
  if (name == "." || name == "..") return "\"" + name + "\" is not a file name";
  for (unsigned char c : name) {
    if (c < 0x20 || std::string_view("/\\:*?\"<>|").find(char(c)) != std::string_view::npos)
      return "\"" + name + "\" holds a character that Windows refuses in a file name or a folder separator";
  }
  if (name.back() == '.' || name.back() == ' ') return "\"" + name + "\" ends in a dot or a space, which Windows drops";
  // CON, PRN, AUX, NUL, COM1..9 and LPT1..9 name devices, with any extension.
  const std::string stem = lowered(name.substr(0, name.find('.')));
  static const std::set<std::string> devices = {"con", "prn", "aux", "nul"};
  const bool numbered = stem.size() == 4 && (stem.starts_with("com") || stem.starts_with("lpt")) &&
                        stem[3] >= '1' && stem[3] <= '9';
  if (devices.contains(stem) || numbered) return "\"" + name + "\" names a Windows device";
  return {};
}

std::variant<std::vector<BatchCopy>, std::vector<std::string>> readBatchManifest(const std::vector<CsvRecord>& records) {
  std::vector<std::string> faults;
  if (records.empty()) return std::vector<std::string>{"the manifest is empty: it needs a header row and rows"};
  size_t outputColumn = 0;
  const std::vector<ManifestColumn> columns = manifestColumns(records[0], faults, outputColumn);
  if (!faults.empty()) return faults;
  if (records.size() == 1) return std::vector<std::string>{"the manifest has a header row but no rows"};

  std::vector<BatchCopy> copies;
  std::map<std::string, size_t> rowOfName;
  for (size_t i = 1; i < records.size(); ++i) {
    const CsvRecord& record = records[i];
    if (record.fields.size() != columns.size()) {
      faults.push_back(rowName(record, i) + ": " + std::to_string(record.fields.size()) + " fields, the header has " +
                       std::to_string(columns.size()));
      continue;
    }
    BatchCopy copy = manifestRow(record, i, columns, outputColumn, faults);
    const auto [known, added] = rowOfName.emplace(lowered(copy.output), i);
    if (!added && !copy.output.empty())
      faults.push_back(rowName(record, i) + ": column output: \"" + copy.output + "\" is already written by row " +
                       std::to_string(known->second));
    copies.push_back(std::move(copy));
  }
  if (!faults.empty()) return faults;
  return copies;
}

SelfTest runSelfTest(std::span<const uint8_t> bytes, const std::u16string& programPath,
                     const std::vector<std::string>& arguments) {
  SelfTest test;
  test.header = decodeHeaderSettings(bytes, programPath);
  test.commandLine = launcherCommandLine(programPath, arguments);
  test.code = headerSelfTestCode(test.header, test.commandLine);
  return test;
}

std::string selfTestVerdict(const SelfTest& test) {
  if (test.code == 0) return "self-test code 0: the stamp and the command line agree on all 15 fields";
  const StampField* field = fieldOfSelfTestCode(test.code);
  return "self-test code " + std::to_string(test.code) + ": " + (field ? field->label : "?") + " differs: stamp " +
         (field ? fieldValueText(*field, test.header) : "?") + ", command line " +
         (field ? fieldValueText(*field, test.commandLine) : "?");
}

std::vector<std::string> unpassableBatchCopies(const std::vector<BatchCopy>& copies, const std::string& folder) {
  std::vector<std::string> faults;
  for (const BatchCopy& copy : copies) {
    const std::vector<std::string> more = unpassableFaults("row " + std::to_string(copy.row) + " (" + copy.output + ")",
                                                           copy.stamp, utf8Of(pathOf(folder) / pathOf(copy.output)));
    faults.insert(faults.end(), more.begin(), more.end());
  }
  return faults;
}

int runChannelStamp(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                    const FileOperations& files, LauncherWidths widths) {
  return runTool("channel_stamp", kOverview, commands(widths), asksForHelp, arguments, out, err, files);
}
