#include "tools/tool_command.h"

#include <new>
#include <ostream>

#include "record_file/text_encoding.h"  // CAtlException
#include "tools/tool_version.h"

std::string hexText(uint32_t value) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), digits[value % 16]);
    value /= 16;
  } while (value != 0);
  return "0x" + text;
}

bool isHelpOption(const std::string& argument) { return argument == "--help" || argument == "-h"; }

void listLine(std::ostream& out, const std::string& label, const std::string& value, size_t valueColumn) {
  out << label << std::string(label.size() < valueColumn ? valueColumn - label.size() : 1, ' ') << value << "\n";
}

namespace {

const ToolCommand* findCommand(std::span<const ToolCommand> commands, const std::string& name) {
  for (const ToolCommand& command : commands)
    if (name == command.name) return &command;
  return nullptr;
}

int dispatch(const char* tool, const char* overview, std::span<const ToolCommand> commands,
             bool (*asksForHelp)(const std::vector<std::string>&), const std::vector<std::string>& arguments,
             std::ostream& out, std::ostream& err, const FileOperations& files) {
  if (arguments.empty()) throw ToolError{kExitUsage, std::string("missing command\n") + overview};
  const std::string& name = arguments[0];
  if (name == "--version") {
    out << tool << " " << toolVersionText() << "\n";
    return kExitDone;
  }
  if (isHelpOption(name) || name == "help") {
    const ToolCommand* command = arguments.size() > 1 ? findCommand(commands, arguments[1]) : nullptr;
    out << (command ? command->help : overview);
    return kExitDone;
  }
  const ToolCommand* command = findCommand(commands, name);
  if (command == nullptr) throw ToolError{kExitUsage, "unknown command " + name + "\n" + overview};
  const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
  if (asksForHelp(rest)) {
    out << command->help;
    return kExitDone;
  }
  return command->run(rest, out, err, files);
}

}  // namespace

int runTool(const char* tool, const char* overview, std::span<const ToolCommand> commands,
            bool (*asksForHelp)(const std::vector<std::string>&), const std::vector<std::string>& arguments,
            std::ostream& out, std::ostream& err, const FileOperations& files) {
  try {
    return dispatch(tool, overview, commands, asksForHelp, arguments, out, err, files);
  } catch (const ToolError& error) {
    err << tool << ": " << error.message << "\n";
    return error.exitCode;
  } catch (const std::bad_alloc&) {
    err << tool << ": out of memory\n";
    return kExitCannotRead;
  } catch (const CAtlException& e) {
    err << tool << ": a text conversion failed (" << hexText(static_cast<uint32_t>(e.m_hr)) << ")\n";
    return kExitCannotRead;
  }
}
