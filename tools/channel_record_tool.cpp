#include "tools/channel_record_tool.h"

#include <charconv>
#include <optional>
#include <ostream>

#include "record_file/channel_record_file.h"
#include "record_file/record_cipher.h"
#include "record_file/text_encoding.h"
#include "tools/record_display.h"
#include "tools/tool_command.h"
#include "tools/tool_files.h"
#include "tools/tool_text.h"

namespace {

constexpr const char* kOverview =
    "usage: channel_record COMMAND ...\n"
    "  show FILE                      the container, encoding, mark and entries of FILE\n"
    "  set FILE SECTION ENTRY VALUE   set one entry and rewrite FILE\n"
    "  set-channel FILE N             set the install channel ([InstallChannel] MainCid) to N\n"
    "  decipher IN OUT                write the plain bytes of the enciphered file IN to OUT\n"
    "  encipher IN OUT                write IN enciphered to OUT\n"
    "FILE is read enciphered or plain, in code page 936, UTF-8 or UTF-16LE. set and\n"
    "set-channel write it back as the launcher does: in the encoding it was found in,\n"
    "enciphered, through a temporary file and a rename (a failed write leaves it as it\n"
    "was; a FILE that another program keeps open but lets others write is rewritten in\n"
    "place); a missing FILE is created as UTF-8 with a byte-order mark. Like the launcher,\n"
    "they keep entries only: comments, blank lines and name case are not kept.\n"
    "'channel_record COMMAND --help' describes a command; 'channel_record --version' tells the version.\n"
    "Exit codes: 0 done; 16 wrong arguments; 17 a file could not be read; 18 the input\n"
    "is not what the command works on (see the message); 21 a file could not be written.\n";

constexpr const char* kShowHelp =
    "usage: channel_record show FILE\n"
    "Prints whether FILE is enciphered, its text encoding and byte-order mark, and its\n"
    "entries in the order the launcher writes them (by lowercased section#name).\n"
    "Text is printed as UTF-8, a whole character at a time (characters beyond U+FFFF\n"
    "included). Spelled out instead, so that the listing shows what FILE holds:\n"
    "  \\\\ a backslash; \\t \\r \\n tab, CR, LF; \\xNN other control characters (U+0000..U+001F,\n"
    "  U+007F) and each byte that does not convert from FILE's encoding (code page 936\n"
    "  pairs it does not map, bad UTF-8), where the launcher reads '?' or U+FFFD;\n"
    "  \\uXXXX (\\UXXXXXXXX beyond U+FFFF) an unpaired surrogate (UTF-16LE), a C1 control,\n"
    "  a character that shows nothing or reorders its neighbours (soft hyphen, zero-width\n"
    "  and direction marks, U+FEFF, ...), a private-use character, a non-character and\n"
    "  U+FFFD itself.\n"
    "Lines 'unconverted' and 'unread' count such bytes and what follows a NUL (the\n"
    "launcher reads up to the first NUL).\n";
constexpr const char* kSetHelp =
    "usage: channel_record set FILE SECTION ENTRY VALUE\n"
    "Sets ENTRY of SECTION (letter case of A-Z ignored; an empty SECTION is the part\n"
    "before any section header) to VALUE and rewrites FILE. Refused when the file could\n"
    "not read them back as given: a line break anywhere, a ']' in SECTION, an '=' in\n"
    "ENTRY, an ENTRY that begins with a space, '#', ';', '[' or '=' or ends with a space,\n"
    "spaces around VALUE, or characters FILE's encoding cannot hold.\n";
constexpr const char* kSetChannelHelp =
    "usage: channel_record set-channel FILE N\n"
    "Sets [InstallChannel] MainCid to the decimal channel number N (32-bit, signed) and\n"
    "rewrites FILE, exactly as the launcher's install-channel step does.\n";
constexpr const char* kDecipherHelp =
    "usage: channel_record decipher IN OUT\n"
    "Writes the plain bytes inside the enciphered file IN (byte-order mark included) to\n"
    "OUT. Refused when IN is not enciphered with the record key.\n";
constexpr const char* kEncipherHelp =
    "usage: channel_record encipher IN OUT\n"
    "Writes the bytes of IN enciphered with the record key to OUT, as the launcher\n"
    "writes the file. Warns when IN is enciphered already.\n";

[[noreturn]] void usageError(const std::string& command, const std::string& message) {
  throw ToolError{kExitUsage, message + " (see 'channel_record " + command + " --help')"};
}

void expectArguments(const std::string& command, const std::vector<std::string>& arguments, size_t count,
                     const char* names) {
  if (arguments.size() != count) usageError(command, command + " takes " + names);
}

// The plain bytes of `bytes` when they decipher with the record key.
std::optional<std::vector<uint8_t>> deciphered(const std::vector<uint8_t>& bytes) {
  return decipherRecordBytes(bytes, recordCipherKey());
}

std::vector<uint8_t> enciphered(const std::vector<uint8_t>& plain) {
  std::optional<std::vector<uint8_t>> bytes = encipherRecordBytes(plain, recordCipherKey());
  if (!bytes) throw ToolError{kExitBadInput, "the input is too large for the record cipher"};
  return std::move(*bytes);
}

const char* encodingName(const ChannelRecordFile& store) {
  switch (store.encoding()) {
    case Utf8: return store.hasBom() ? "UTF-8 with byte-order mark EF BB BF" : "UTF-8 without byte-order mark";
    case Utf16Le: return "UTF-16LE with byte-order mark FF FE";
    default: return "code page 936 (GBK), no byte-order mark";
  }
}

constexpr size_t kValueColumn = 12;

// The entries of `listed` (parsed from the text as recordTextForDisplay gives
// it); `launcher` counts the entries the launcher reads.
void listEntries(std::ostream& out, const ChannelRecordFile& listed, const ChannelRecordFile& launcher,
                 bool bytesKept) {
  std::string count = std::to_string(listed.entries().size()) + ", in the order they are written";
  if (launcher.entries().size() != listed.entries().size())
    count += " (the launcher reads " + std::to_string(launcher.entries().size()) +
             ": it reads unconverted bytes as the same character)";
  listLine(out, "entries", count, kValueColumn);
  for (const auto& [key, value] : listed.entries()) {
    const size_t hash = key.find(u'#');
    const std::u16string_view section = std::u16string_view(key).substr(0, hash);
    const std::u16string_view name = std::u16string_view(key).substr(hash + 1);
    out << "  " << (section.empty() ? std::string("(no section)") : "[" + displayText(section, bytesKept) + "]")
        << " " << displayText(name, bytesKept) << " = " << displayText(value, bytesKept) << "\n";
  }
}

std::string bytesText(size_t count) { return std::to_string(count) + (count == 1 ? " byte" : " bytes"); }

// What of the text the entries do not show as the launcher reads it.
void listTextNotes(std::ostream& out, const RecordTextForDisplay& display, RecordEncoding encoding) {
  if (display.keptBytes != 0)
    listLine(out, "unconverted",
             bytesText(display.keptBytes) +
                 (encoding == CodePage936 ? " that code page 936 does not map, shown as \\xNN; the launcher reads "
                                            "\"?\" for each pair or lone lead byte"
                                          : std::string(display.keptBytes == 1 ? " that is" : " that are") +
                                                " not UTF-8, shown as \\xNN; the launcher reads U+FFFD for each bad "
                                                "sequence"),
             kValueColumn);
  if (display.unreadBytes != 0) {
    // A NUL takes two bytes in UTF-16LE: one unread byte is an odd last one.
    const bool oddByte = encoding == Utf16Le && display.unreadBytes == 1;
    listLine(out, "unread",
             bytesText(display.unreadBytes) + ", from offset " + std::to_string(display.firstUnreadByte) +
                 " of the text: " +
                 (oddByte ? "UTF-16LE is read two bytes at a time" : "the launcher reads up to the first NUL"),
             kValueColumn);
  }
}

// A store that has loaded `path`; raises ToolError when the file is there but
// could not be read whole (the store would refuse to write it).
void loadForEditing(ChannelRecordFile& store, const std::string& path) {
  if (const FileStatus read = store.read(toUtf16(path)); !read.ok())
    throw ToolError{kExitCannotRead, "cannot read " + path + " whole (no access, a folder, text that does not "
                                     "convert, or a path of 260 characters or more: " + failureText(read) +
                                     "); it was left as it was"};
}

// Writes the store's table to `path`, after checking that the bytes load back
// as the same entries (the encoding may not hold every character).
void writeStore(const ChannelRecordFile& store, const std::string& path, const FileOperations& files) {
  std::vector<uint8_t> image;
  if (const FileStatus built = store.fileImage(image); !built.ok())
    throw ToolError{kExitBadInput, "the text could not be converted (" + failureText(built) + "); " + path +
                                       " was left as it was"};
  ChannelRecordFile check;
  if (!check.loadBytes(image).ok() || check.entries() != store.entries())
    throw ToolError{kExitBadInput, std::string("the file's encoding (") + encodingName(store) +
                                       ") cannot hold the value; " + path + " was left as it was"};
  writeOutputFile(path, image, files);
}

int showCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream&,
                const FileOperations&) {
  expectArguments("show", arguments, 1, "FILE");
  const std::string& path = arguments[0];
  const std::vector<uint8_t> bytes = readInputFile(path);
  const std::optional<std::vector<uint8_t>> plain = deciphered(bytes);
  ChannelRecordFile store;
  if (!store.loadBytes(bytes).ok())
    throw ToolError{kExitBadInput, path + ": its text could not be converted from its encoding"};
  listLine(out, "file", path, kValueColumn);
  listLine(out, "container", plain ? "enciphered, " + std::to_string(bytes.size()) + " bytes holding " +
                                         std::to_string(plain->size()) + " bytes of text"
                                   : "plain, " + std::to_string(bytes.size()) +
                                         " bytes (not enciphered with the record key)",
           kValueColumn);
  listLine(out, "encoding", encodingName(store), kValueColumn);
  const RecordTextForDisplay display = recordTextForDisplay(plain ? *plain : bytes, store.encoding());
  listTextNotes(out, display, store.encoding());
  ChannelRecordFile listed;
  listed.parseText(display.text.data(), display.text.size());
  listEntries(out, listed, store, store.encoding() != Utf16Le);
  return kExitDone;
}

int setCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream&,
               const FileOperations& files) {
  expectArguments("set", arguments, 4, "FILE SECTION ENTRY VALUE");
  const std::string& path = arguments[0];
  const std::u16string section = toUtf16(arguments[1]);
  const std::u16string name = toUtf16(arguments[2]);
  const std::u16string value = toUtf16(arguments[3]);
  // The entry goes in as the line a file would hold, so it takes exactly the
  // key and value that loading such a line gives; a probe proves they are the
  // ones asked for.
  const std::u16string lines = (section.empty() ? u"" : u"[" + section + u"]\r\n") + name + u"=" + value + u"\r\n";
  ChannelRecordFile probe;
  probe.parseText(lines.data(), lines.size());
  const ChannelRecordFile::Entries wanted = {{entryKey(section, name), value}};
  if (arguments[2].empty() || probe.entries() != wanted)
    throw ToolError{kExitBadInput, "section \"" + arguments[1] + "\", entry \"" + arguments[2] + "\" and value \"" +
                                       arguments[3] + "\" would not read back as given (see 'channel_record set "
                                       "--help'); " + path + " was left as it was"};
  ChannelRecordFile store;
  loadForEditing(store, path);
  store.parseText(lines.data(), lines.size());
  writeStore(store, path, files);
  out << "set " << (section.empty() ? std::string("(no section)") : "[" + arguments[1] + "]") << " "
      << arguments[2] << " = " << arguments[3] << " in " << path << " (" << encodingName(store) << ", enciphered, "
      << store.entries().size() << " entries)\n";
  return kExitDone;
}

int setChannelCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream&,
                      const FileOperations& files) {
  expectArguments("set-channel", arguments, 2, "FILE N");
  const std::string& path = arguments[0];
  const std::string& text = arguments[1];
  int32_t channel = 0;
  const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), channel);
  if (text.empty() || error != std::errc() || stop != text.data() + text.size())
    usageError("set-channel", "N must be a decimal number from -2147483648 to 2147483647, not \"" + text + "\"");
  ChannelRecordFile store(files);
  loadForEditing(store, path);
  if (const FileStatus written = store.writeInstallChannel(toUtf16(std::to_string(channel))); !written.ok())
    throw writeFailure(path, written);
  out << "set [InstallChannel] MainCid = " << channel << " in " << path << " (" << encodingName(store)
      << ", enciphered, " << store.entries().size() << " entries)\n";
  return kExitDone;
}

int decipherCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream&,
                    const FileOperations& files) {
  expectArguments("decipher", arguments, 2, "IN OUT");
  const std::optional<std::vector<uint8_t>> plain = deciphered(readInputFile(arguments[0]));
  if (!plain)
    throw ToolError{kExitBadInput, arguments[0] + " is not enciphered with the record key (a plain file, "
                                                  "another key, or damaged); nothing was written"};
  writeOutputFile(arguments[1], *plain, files);
  out << "deciphered " << arguments[0] << " into " << arguments[1] << " (" << plain->size() << " bytes)\n";
  return kExitDone;
}

int encipherCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                    const FileOperations& files) {
  expectArguments("encipher", arguments, 2, "IN OUT");
  const std::vector<uint8_t> plain = readInputFile(arguments[0]);
  if (deciphered(plain))
    err << "channel_record: warning: " << arguments[0] << " is enciphered already; enciphering it once more\n";
  const std::vector<uint8_t> bytes = enciphered(plain);
  writeOutputFile(arguments[1], bytes, files);
  out << "enciphered " << arguments[0] << " into " << arguments[1] << " (" << bytes.size() << " bytes)\n";
  return kExitDone;
}

const ToolCommand kCommands[] = {
    {"show", kShowHelp, showCommand},
    {"set", kSetHelp, setCommand},
    {"set-channel", kSetChannelHelp, setChannelCommand},
    {"decipher", kDecipherHelp, decipherCommand},
    {"encipher", kEncipherHelp, encipherCommand},
};

// Only "--help" before any value asks for help: a value of "set" may be anything.
bool asksForHelp(const std::vector<std::string>& arguments) {
  return !arguments.empty() && isHelpOption(arguments[0]);
}

}  // namespace

int runChannelRecord(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                     const FileOperations& files) {
  return runTool("channel_record", kOverview, kCommands, asksForHelp, arguments, out, err, files);
}
