// The checks of "channel_stamp audit": whether a published copy carries the
// stamp its manifest row asks for, and whether it is its template apart from
// what stamping and signing change.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "launch_settings/header_settings.h"
#include "tools/pe_image.h"

// One line per field (of all fifteen) in which `carried` differs from
// `wanted`: "channelId: the copy carries 9, the manifest says 7".
std::vector<std::string> stampDifferences(const HeaderSettings& carried, const HeaderSettings& wanted);

// How `copy` differs from `original` (its template) outside what stamping and
// signing change, or empty when it does not. Left out of the comparison: the
// stamp (0x1C..0x3B), the optional header's CheckSum and the certificate
// table's data directory entry (of either file), each file's certificate table
// when it is signed, and the zero bytes (fewer than 8) that align a
// certificate table to 8 bytes. Both must be executables (inspectExecutable).
std::string templateDifference(std::span<const uint8_t> copy, const ExecutableInfo& copyInfo,
                               std::span<const uint8_t> original, const ExecutableInfo& originalInfo);
