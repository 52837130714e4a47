// Writing a stamp, for the tools that make channel copies. Apart from the
// decoding (header_settings.h), so that the launcher, which only reads its
// stamp, carries none of it.
#pragma once

#include <cstdint>
#include <span>

#include "launch_settings/header_settings.h"

// Writes `settings` into the stamp bytes of `fileBytes` so that decodeStamp
// reads them back: every flag as byte 1 (autoInstall as the word 1),
// miniType's low 16 bits. Bytes 0x24..0x27 and everything outside the stamp
// are left alone. Raises std::invalid_argument, changing nothing, when
// `fileBytes` is shorter than kStampEnd.
void writeStamp(std::span<uint8_t> fileBytes, const HeaderSettings& settings);
