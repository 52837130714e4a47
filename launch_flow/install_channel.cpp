#include "launch_flow/install_channel.h"

#include <new>
#include <string>

#include "common/decimal_text.h"
#include "launch_flow/path_text.h"
#include "record_file/channel_record_file.h"

namespace {

void traceNotRecorded(const InstallChannelPlatform& platform, std::u16string_view reason) {
  platform.trace(u"Install channel not recorded: " + std::u16string(reason) + u"\r\n");
}

// Loads the record file, sets the channel and writes it back; ok, or why the
// file was left as it was (or, for FileStage::Rewrite, may be damaged). The store itself refuses to write after a load
// that did not read the file whole, and then answers with the load's failure.
FileStatus rewriteRecordFile(const FileOperations& files, const std::u16string& recordPath, int32_t channelId) {
  ChannelRecordFile store(files);
  store.read(recordPath);
  return store.writeInstallChannel(decimalText(channelId));
}

}  // namespace

InstallChannelOutcome recordInstallChannelIfDue(const InstallChannelPlatform& platform,
                                                std::u16string_view hallDirectory, int32_t channelId) {
  if (platform.hallUsedRecently(containingDirectory(hallDirectory)) != 0)
    return InstallChannelOutcome::SkippedRecentUse;

  const std::u16string recordDirectory = platform.combinePath(std::u16string(hallDirectory), kRecordDirectory);
  const std::u16string recordPath =
      recordDirectory.empty() ? std::u16string() : platform.combinePath(recordDirectory, kRecordFileName);
  if (recordPath.empty()) {
    traceNotRecorded(platform, u"the record path is too long");
    return InstallChannelOutcome::NotWritten;
  }
  platform.createDirectory(recordDirectory);

  try {
    const FileStatus written = rewriteRecordFile(platform.files, recordPath, channelId);
    if (!written.ok()) {
      // Only a rewrite in place (the file held by another program) changes
      // the file before it fails.
      const std::u16string_view state = written.stage == FileStage::Rewrite ? u"the record file may be damaged: "
                                                                              : u"the record file was left as it was: ";
      traceNotRecorded(platform, std::u16string(state) + describeFileStatus(written));
      return InstallChannelOutcome::NotWritten;
    }
  } catch (const std::bad_alloc&) {
    traceNotRecorded(platform, u"out of memory");
    return InstallChannelOutcome::NotWritten;
  }
  platform.trace(kChannelRecordedTrace);
  return InstallChannelOutcome::Written;
}
