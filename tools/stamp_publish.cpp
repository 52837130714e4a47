#include "tools/stamp_publish.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <ostream>
#include <sstream>

#include "common/ascii_case.h"
#include "tools/channel_stamp.h"
#include "tools/publish_report.h"
#include "tools/sha256.h"
#include "tools/stamp_fields.h"
#include "tools/tool_command.h"
#include "tools/tool_files.h"
#include "tools/tool_text.h"
#include "tools/tool_version.h"

namespace fs = std::filesystem;

namespace {

// The description osslsigncode puts into each signature.
constexpr const char* kSignedDescription = "Ludora channel launcher";

// What publish takes beyond batch's arguments; every path made absolute.
struct PublishRequest {
  ManifestArguments batch;
  std::string signer, pkcs12, passwordFile, pkcs11Module, keyId, certs, timestamp, caFile;
  bool signs() const { return !pkcs12.empty() || !pkcs11Module.empty(); }
};

// Where the value of publish's own option `name` goes, or nullptr for another argument.
std::string* ownOption(PublishRequest& request, const std::string& name) {
  const std::pair<const char*, std::string*> options[] = {
      {"--osslsigncode", &request.signer},        {"--pkcs12", &request.pkcs12},
      {"--password-file", &request.passwordFile}, {"--pkcs11-module", &request.pkcs11Module},
      {"--key-id", &request.keyId},               {"--certs", &request.certs},
      {"--timestamp", &request.timestamp},        {"--ca-file", &request.caFile},
  };
  for (const auto& [option, value] : options)
    if (name == option) return value;
  return nullptr;
}

// Refuses key options that do not go together, and signing options without a key.
void checkKeyOptions(const PublishRequest& request) {
  if (!request.pkcs12.empty() && !request.pkcs11Module.empty())
    usageError("publish", "give --pkcs12 or --pkcs11-module, not both");
  if (!request.pkcs11Module.empty() && (request.keyId.empty() || request.certs.empty()))
    usageError("publish", "--pkcs11-module needs --key-id ID and --certs FILE");
  if (request.pkcs11Module.empty() && (!request.keyId.empty() || !request.certs.empty()))
    usageError("publish", "--key-id and --certs go with --pkcs11-module");
  const bool signingOnly = !request.passwordFile.empty() || !request.timestamp.empty() || !request.caFile.empty() ||
                           !request.signer.empty();
  if (!request.signs() && signingOnly)
    usageError("publish", "--osslsigncode, --password-file, --timestamp and --ca-file need a key "
                          "(--pkcs12 FILE or --pkcs11-module FILE)");
}

// The signer to start: the one named, else the platform's default, always a full path.
std::string signerPath(const std::string& named) {
  const std::string signer = named.empty() ? defaultSignerPath() : named;
  if (signer.empty()) usageError("publish", "name the signer with --osslsigncode FULL-PATH");
  if (!isFullProgramPath(signer))
    usageError("publish", "--osslsigncode takes a full path, not \"" + signer + "\": no program is started by a "
                          "bare or relative name");
  return signer;
}

// `path` made absolute (the signer starts in another folder), after checking that it is a file.
void makeAbsoluteFile(std::string& path) {
  if (path.empty()) return;
  std::error_code error;
  if (!fs::is_regular_file(pathOf(path), error)) throw ToolError{kExitCannotRead, "there is no file " + path};
  path = utf8Of(fs::absolute(pathOf(path), error));
}

PublishRequest parsePublishRequest(const std::vector<std::string>& arguments) {
  PublishRequest request;
  std::vector<std::string> rest;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (std::string* value = ownOption(request, arguments[i])) *value = optionValue("publish", arguments, i);
    else rest.push_back(arguments[i]);
  }
  request.batch = parseManifestArguments("publish", rest, "--out", true);
  if (request.batch.templateCopy.empty()) usageError("publish", "publish needs --template COPY");
  checkKeyOptions(request);
  if (!request.signs()) return request;
  request.signer = signerPath(request.signer);
  for (std::string* file : {&request.signer, &request.pkcs12, &request.passwordFile, &request.pkcs11Module,
                            &request.certs, &request.caFile})
    makeAbsoluteFile(*file);
  return request;
}

// The staging folder beside DIR: copies/ (what becomes DIR), signing/ (the
// signer's output), previous/ (a previous publish being replaced). Removed
// with everything in it when it goes out of scope, unless kept.
class Staging {
 public:
  explicit Staging(const fs::path& out) {
    const auto stamp = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    std::error_code error;
    for (int attempt = 0; attempt < 100 && root_.empty(); ++attempt) {
      const std::string suffix = ".publish-staging-" + std::to_string(stamp + attempt);
      const fs::path candidate = out.parent_path() / (out.filename().native() + pathOf(suffix).native());
      if (fs::create_directory(candidate, error)) root_ = candidate;
      else if (error) break;
    }
    if (root_.empty() || !fs::create_directory(copies(), error) || !fs::create_directory(signing(), error))
      throw ToolError{kExitCannotWrite, "cannot create a staging folder beside " + utf8Of(out)};
  }
  ~Staging() {
    std::error_code ignored;
    if (!kept_ && !root_.empty()) fs::remove_all(root_, ignored);
  }
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;

  fs::path copies() const { return root_ / "copies"; }
  fs::path signing() const { return root_ / "signing"; }
  fs::path previous() const { return root_ / "previous"; }
  void keep() { kept_ = true; }
  bool kept() const { return kept_; }

 private:
  fs::path root_;
  bool kept_ = false;
};

// A copy's failure at `step`; ends the publish.
[[noreturn]] void failCopy(const BatchCopy& copy, const std::string& step, const std::string& detail) {
  throw ToolError{kExitPublishFailed,
                  "row " + std::to_string(copy.row) + " (" + copy.output + "): " + step + " failed: " + detail};
}

// Why `folder` (which exists) may not be replaced, or empty when it may: it
// holds exactly what a publish put there, its report, SHA256SUMS and the
// copies the report names, and nothing else.
std::string replaceRefusal(const fs::path& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) return "is not a folder";
  const FileReadResult report = readWholeFile(toUtf16(utf8Of(folder / kPublishReportName)));
  if (report.status != FileReadStatus::Read) return std::string("holds no readable ") + kPublishReportName;
  const auto rows = readPublishReport(std::string(report.bytes.begin(), report.bytes.end()));
  if (!std::holds_alternative<std::vector<BatchCopy>>(rows))
    return std::string("holds a ") + kPublishReportName + " that is not a publish report";
  std::vector<std::string> expected = {kPublishReportName, kChecksumsName};
  for (const BatchCopy& copy : std::get<std::vector<BatchCopy>>(rows)) expected.push_back(copy.output);
  for (fs::directory_iterator entry(folder, error); !error && entry != fs::directory_iterator(); entry.increment(error)) {
    const std::string name = utf8Of(entry->path().filename());
    if (std::ranges::find(expected, name) == expected.end() || entry->is_directory(error))
      return "holds " + name + ", which its publish report does not name";
  }
  return error ? "cannot be listed" : "";
}

// Refuses (kExitBadManifest) a row whose copy would take the name of a file
// that publish writes beside the copies.
void refuseOwnNames(const BatchPlan& plan, const std::string& manifest) {
  for (const BatchCopy& copy : plan.copies)
    for (const char* own : {kChecksumsName, kPublishReportName})
      if (equalsIgnoringAsciiCase(copy.output, own))
        throw ToolError{kExitBadManifest, manifest + ": row " + std::to_string(copy.row) + ": column output: \"" +
                                              copy.output + "\" is the name of a file publish writes; nothing was written"};
}

class Publisher {
 public:
  Publisher(const PublishRequest& request, const fs::path& out, const Staging& staging, const ProgramRunner& runner,
            std::ostream& err)
      : request_(request), out_(out), staging_(staging), runner_(runner), err_(err) {}

  // Signs (when asked), verifies, self-tests and hashes one stamped copy in
  // staging; adds signed bytes to `writer`.
  PublishedCopy check(const BatchCopy& copy, FileSetWriter& writer) const {
    const std::string staged = utf8Of(staging_.copies() / pathOf(copy.output));
    const std::string signedCopy = utf8Of(staging_.signing() / pathOf(copy.output));
    if (request_.signs()) {
      runSigner(copy, "signing", signArguments(staged, signedCopy));
      runSigner(copy, "verifying the signature", verifyArguments(signedCopy));
    }
    PublishedCopy published;
    published.copy = copy;
    std::vector<uint8_t> bytes;
    try {
      bytes = readInputFile(request_.signs() ? signedCopy : staged);
    } catch (const ToolError& unread) {  // a signer that ended well but wrote nothing
      failCopy(copy, "reading the signed copy", unread.message);
    }
    published.isSigned = inspectExecutable(bytes).isSigned();
    if (request_.signs() && !published.isSigned) failCopy(copy, "signing", "the signed copy carries no signature");
    selfTest(bytes, published);
    published.copy.sha256 = sha256Hex(bytes);
    if (request_.signs()) {
      if (const FileStatus added = writer.add(toUtf16(staged), bytes); !added.ok())
        failCopy(copy, "writing the signed copy", failureText(added));
    }
    return published;
  }

 private:
  std::vector<std::string> signArguments(const std::string& in, const std::string& out) const {
    std::vector<std::string> arguments = {"sign"};
    if (!request_.pkcs12.empty()) arguments.insert(arguments.end(), {"-pkcs12", request_.pkcs12});
    else
      arguments.insert(arguments.end(),
                       {"-pkcs11module", request_.pkcs11Module, "-certs", request_.certs, "-key", request_.keyId});
    // The password is read from its file, never put on a command line that others may list.
    if (!request_.passwordFile.empty()) arguments.insert(arguments.end(), {"-readpass", request_.passwordFile});
    if (!request_.timestamp.empty()) arguments.insert(arguments.end(), {"-ts", request_.timestamp});
    arguments.insert(arguments.end(), {"-h", "sha256", "-n", kSignedDescription, "-in", in, "-out", out});
    return arguments;
  }

  std::vector<std::string> verifyArguments(const std::string& copy) const {
    std::vector<std::string> arguments = {"verify"};
    if (!request_.caFile.empty()) arguments.insert(arguments.end(), {"-CAfile", request_.caFile});
    arguments.insert(arguments.end(), {"-in", copy});
    return arguments;
  }

  // Runs the signer; a start that fails or an exit code other than 0 fails
  // the copy's `step`, after what the signer printed is told on err.
  void runSigner(const BatchCopy& copy, const std::string& step, const std::vector<std::string>& arguments) const {
    const ProgramRun run = runner_(request_.signer, arguments);
    if (run.startError != 0)
      failCopy(copy, step, request_.signer + " could not be started (error " + std::to_string(run.startError) + ")");
    if (run.exitCode == 0) return;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
      if (line.ends_with('\r')) line.pop_back();
      err_ << "  signer: " << line << "\n";
    }
    failCopy(copy, step, request_.signer + " ended with exit code " + std::to_string(run.exitCode));
  }

  // The launcher's header self-test of the copy at its place in DIR, with the
  // arguments its row gives (the "cid" rule over that path applied to both).
  void selfTest(const std::vector<uint8_t>& bytes, PublishedCopy& published) const {
    const std::u16string finalPath = (out_ / pathOf(published.copy.output)).u16string();
    published.selfTestArguments = selfTestArguments(withCidRule(published.copy.stamp, finalPath));
    const SelfTest test = runSelfTest(bytes, finalPath, published.selfTestArguments);
    published.selfTestCode = test.code;
    published.selfTestVerdict = selfTestVerdict(test);
    if (test.code == 0) return;
    if (!request_.batch.force)
      failCopy(published.copy, "the header self-test",
               published.selfTestVerdict + " (--force publishes it with a warning)");
    published.copy.warnings.push_back("the copy fails its header self-test: " + published.selfTestVerdict);
  }

  const PublishRequest& request_;
  const fs::path out_;
  const Staging& staging_;
  const ProgramRunner& runner_;
  std::ostream& err_;
};

// Audits the staged folder against its own report, as "audit REPORT --dir
// DIR --template COPY" would; fails with the copies at fault.
void auditStaged(const Staging& staging, const std::string& templateCopy, const FileOperations& files) {
  std::ostringstream audited, complaints;
  const int code = runChannelStamp({"audit", utf8Of(staging.copies() / kPublishReportName), "--dir",
                                    utf8Of(staging.copies()), "--template", templateCopy},
                                   audited, complaints, files);
  if (code == kExitDone) return;
  std::string faults;
  std::istringstream lines(audited.str() + complaints.str());
  for (std::string line; std::getline(lines, line);)
    if (line.find(": agrees") == std::string::npos && !line.starts_with("audit: ")) faults += "\n  " + line;
  throw ToolError{kExitPublishFailed, "the audit of the staged copies failed:" + faults};
}

// Writes the signed copies, SHA256SUMS and the report into staging, flushed together.
void writeStaged(FileSetWriter& writer, const Staging& staging, const PublishReport& report) {
  const std::string sums = checksumsText(report.copies);
  const std::string text = publishReportText(report);
  for (const auto& [name, content] : {std::pair{kChecksumsName, &sums}, std::pair{kPublishReportName, &text}}) {
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(content->data()), content->size());
    if (const FileStatus added = writer.add(toUtf16(utf8Of(staging.copies() / name)), bytes); !added.ok())
      throw ToolError{kExitCannotWrite, std::string("cannot write ") + name + " (" + failureText(added) + ")"};
  }
  const FileSetWriter::Committed committed = writer.commit();
  if (!committed.status.ok())
    throw ToolError{kExitCannotWrite, "cannot put the staged files in place (" + failureText(committed.status) + ")"};
}

// Puts the staged copies in place of `out`, moving a previous publish there
// aside first (into staging, removed with it) and back when that fails.
void putInPlace(Staging& staging, const fs::path& out, bool replacing) {
  std::error_code error;
  if (replacing) {
    fs::rename(out, staging.previous(), error);
    if (error) throw ToolError{kExitCannotWrite, "cannot move the previous publish aside (" + error.message() + ")"};
  }
  fs::rename(staging.copies(), out, error);
  if (!error) return;
  std::error_code back;
  if (replacing) fs::rename(staging.previous(), out, back);
  if (back) {
    staging.keep();
    throw ToolError{kExitCannotWrite, "cannot put the new copies in place (" + error.message() +
                                          "), nor the previous publish back: it is in " + utf8Of(staging.previous())};
  }
  throw ToolError{kExitCannotWrite, "cannot put the new copies in place (" + error.message() + ")"};
}

void tellPublished(const PublishReport& report, const PublishRequest& request, std::ostream& out) {
  for (const PublishedCopy& published : report.copies) {
    out << "row " << published.copy.row << ": " << published.copy.output << "  "
        << (published.isSigned ? "signed, signature verified" : "not signed") << ", self-test code "
        << published.selfTestCode << ", sha256 " << published.copy.sha256 << "\n";
    for (const std::string& warning : published.copy.warnings) out << "  warning: " << warning << "\n";
  }
  out << "publish: " << report.copies.size() << (report.copies.size() == 1 ? " copy" : " copies") << " of "
      << request.batch.templateCopy << " published to " << request.batch.folder << ", "
      << (report.isSigned ? "signed" : "NOT SIGNED (no key was given)") << "; " << kChecksumsName << " and "
      << kPublishReportName << " beside them\n";
}

}  // namespace

const char* publishHelp() {
  return "usage: channel_stamp publish MANIFEST.csv --template COPY --out DIR [--force]\n"
         "         [--pkcs12 FILE [--password-file FILE] | --pkcs11-module FILE --key-id ID --certs FILE\n"
         "          [--password-file FILE]] [--timestamp URL] [--ca-file FILE] [--osslsigncode PATH]\n"
         "The release in one command. Stamps one copy of COPY per manifest row as batch does\n"
         "(same manifest, same checks), then, with a key, signs each copy with osslsigncode and\n"
         "verifies its signature (against --ca-file when given, e.g. a self-signed certificate;\n"
         "a time stamp only from the --timestamp server named); runs each copy's header\n"
         "self-test against its row, offline, as verify does; audits the copies; and writes\n"
         "SHA256SUMS and publish-report.json beside them. Without a key the copies are\n"
         "published unsigned, and the report and the summary say so.\n"
         "All or nothing: the work is done in a staging folder beside DIR, and DIR is put in\n"
         "place (a rename) only when every step passed; on any failure the staging folder is\n"
         "removed, DIR is as it was, and the message names the row and the step. DIR must not\n"
         "exist, unless it is a previous publish (its report, SHA256SUMS and the copies the\n"
         "report names, nothing else), which is then replaced.\n"
         "The signer is never looked up by name: --osslsigncode takes a full path (default\n"
         "/usr/bin/osslsigncode on Linux; on Windows it must be given). The password is\n"
         "passed to it as a file (-readpass), never on its command line.\n"
         "--force: as for batch; a copy that fails its self-test is then published with a\n"
         "warning in the report instead of failing the publish. The report carries the\n"
         "tool's version (--version).\n"
         "Exit codes: 0 published; 16 wrong arguments, or a row that can never pass its\n"
         "self-test (as for batch); 17 a file is missing; 18 COPY is not a copy of the launcher;\n"
         "19 COPY is signed; 20 invalid manifest; 21 DIR exists and is not a previous publish,\n"
         "or a file could not be written; 23 a copy failed signing, its signature, its\n"
         "self-test or the audit. Nothing is published unless it is 0.\n";
}

int runPublish(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
               const FileOperations& files, LauncherWidths widths, const ProgramRunner& runner) {
  const PublishRequest request = parsePublishRequest(arguments);
  std::error_code error;
  fs::path target = fs::absolute(pathOf(request.batch.folder), error).lexically_normal();
  if (!target.has_filename()) target = target.parent_path();  // "release/" is "release"
  const BatchPlan plan = readBatchPlan(request.batch.manifest, request.batch.templateCopy, utf8Of(target),
                                       request.batch.force, widths, err);
  refuseOwnNames(plan, request.batch.manifest);
  const bool replacing = fs::exists(fs::symlink_status(target, error));
  if (replacing) {
    if (const std::string refusal = replaceRefusal(target); !refusal.empty())
      throw ToolError{kExitCannotWrite, request.batch.folder + " " + refusal +
                                            ", so it is not replaced: nothing was written (remove it or choose "
                                            "another --out)"};
  }
  fs::create_directories(target.parent_path(), error);
  Staging staging(target);
  try {
    PublishReport report;
    report.toolVersion = toolVersionText();
    report.manifest = request.batch.manifest;
    report.templateCopy = request.batch.templateCopy;
    report.templateSha256 = sha256Hex(plan.templateBytes);
    report.isSigned = request.signs();
    report.timestampServer = request.timestamp;
    writeBatchCopies(plan, utf8Of(staging.copies()), files);
    FileSetWriter writer(files);
    const Publisher publisher(request, target, staging, runner, err);
    for (const BatchCopy& copy : plan.copies) report.copies.push_back(publisher.check(copy, writer));
    writeStaged(writer, staging, report);
    auditStaged(staging, request.batch.templateCopy, files);
    putInPlace(staging, target, replacing);
    tellPublished(report, request, out);
    return kExitDone;
  } catch (ToolError& failure) {
    failure.message += "\nnothing was published" + (staging.kept() ? "" : ": " + request.batch.folder + " is as it was");
    throw;
  }
}

int publishCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                   const FileOperations& files, LauncherWidths widths) {
  return runPublish(arguments, out, err, files, widths, runProgram);
}
