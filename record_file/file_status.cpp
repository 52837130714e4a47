#include "record_file/file_status.h"

#include "common/ascii_text.h"
#include "common/decimal_text.h"

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

std::u16string describeFileStatus(const FileStatus& status) {
  if (status.ok()) return u"done";
  std::u16string text = widenAscii(fileStageName(status.stage)) + u" failed";
  if (status.error != 0) text += u", error " + decimalText(status.error);
  return text;
}
