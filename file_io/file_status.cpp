#include "file_io/file_status.h"

#include "common/ascii_text.h"
#include "common/decimal_text.h"

const char* fileStageName(FileStage stage) {
  switch (stage) {
    case FileStage::Done: return "done";
    case FileStage::Open:
    case FileStage::Refused:
    case FileStage::Create: return "open";
    case FileStage::Read: return "read";
    case FileStage::Convert: return "convert";
    case FileStage::Write: return "write";
    case FileStage::Flush: return "flush";
    case FileStage::Rename: return "rename";
    case FileStage::Rewrite: return "rewrite";
  }
  return "unknown stage";
}

const char* fileErrorReason(uint32_t error) {
  switch (error) {
    case kErrorPathTooLong: return "path too long";
    case kErrorFileTooLarge: return "file too large";
    case kErrorOutOfMemory: return "out of memory";
  }
  return platformFileErrorReason(error);
}

std::u16string describeFileStatus(const FileStatus& status, std::u16string_view systemText) {
  if (status.ok()) return u"done";
  std::u16string text = widenAscii(fileStageName(status.stage)) + u" failed";
  if (status.error == 0) return text;
  text += u", error " + decimalText(status.error);
  const char* reason = fileErrorReason(status.error);
  if (!systemText.empty()) text += u" (" + std::u16string(systemText) + u")";
  else if (reason) text += u" (" + widenAscii(reason) + u")";
  return text;
}
