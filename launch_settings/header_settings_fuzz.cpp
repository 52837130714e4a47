// Fuzzes the stamp decoding over arbitrary file bytes and program paths. The
// input's first byte is the path length in UTF-16 code units, then the path
// (UTF-16LE), then the file. Checks the field ranges, that writing the
// reading back gives the same reading, and the "cid" rule.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "launch_settings/header_settings.h"
#include "launch_settings/program_path.h"
#include "launch_settings/stamp_writer.h"
#include "tests/support/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t pathLength = std::min<size_t>(data[0], (size - 1) / 2);
  std::u16string path(pathLength, u'\0');
  for (size_t i = 0; i < pathLength; ++i) path[i] = char16_t(data[1 + 2 * i] | data[2 + 2 * i] << 8);
  const std::span<const uint8_t> file(data + 1 + 2 * pathLength, size - 1 - 2 * pathLength);

  const HeaderSettings raw = decodeStamp(file);
  const HeaderSettings read = decodeHeaderSettings(file, path);
  require(raw.miniType >= 0 && raw.miniType <= 0xFFFF);

  // Only the sub-channel may differ, and only by the "cid" rule.
  HeaderSettings withRawSubChannel = read;
  withRawSubChannel.subChannelId = raw.subChannelId;
  require(withRawSubChannel == raw);
  if (raw.channelId != 0 && raw.subChannelId == 0)
    require(read.subChannelId == cidNumber(path).value_or(0));
  else
    require(read.subChannelId == raw.subChannelId);

  // The writer is the reader's inverse, and touches only the stamp.
  std::vector<uint8_t> copy(file.begin(), file.end());
  if (copy.size() < kDosHeaderSize) copy.resize(kDosHeaderSize, 0);
  const std::vector<uint8_t> before = copy;
  writeStamp(copy, raw);
  require(decodeStamp(copy) == raw);
  for (size_t at = 0; at < copy.size(); ++at)
    if (at < kStampBegin || at >= kStampEnd || (at >= 0x24 && at < 0x28)) require(copy[at] == before[at]);

  const std::u16string openable = openablePath(path);
  require(openable.size() >= path.size() && openable.ends_with(path.substr(path.size() < 2 ? 0 : 2)));
  return 0;
}
