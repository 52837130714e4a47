#include "record_file/file_status.h"

const char* fileStageName(FileStage stage) {
  switch (stage) {
    case FileStage::Done: return "done";
    case FileStage::Open: return "open";
    case FileStage::Read: return "read";
    case FileStage::Convert: return "convert";
    case FileStage::Write: return "write";
    case FileStage::Flush: return "flush";
    case FileStage::Rename: return "rename";
  }
  return "unknown stage";
}

std::string describeFileStatus(const FileStatus& status) {
  if (status.ok()) return "done";
  std::string text = std::string(fileStageName(status.stage)) + " failed";
  if (status.error != 0) text += ", error " + std::to_string(status.error);
  return text;
}
