// Just enough of the PE file format to tell whether a file is a Windows
// executable that may be stamped, and whether it carries an Authenticode
// signature (a non-empty certificate table).
#pragma once

#include <cstdint>
#include <span>
#include <string>

struct ExecutableInfo {
  enum class Kind { NotExecutable, Pe32, Pe32Plus };
  Kind kind = Kind::NotExecutable;
  std::string problem;  // why the file is NotExecutable; empty otherwise
  uint32_t peHeaderOffset = 0;  // e_lfanew: where "PE\0\0" stands
  // Where the two header fields that signing rewrites stand, 0 when the
  // optional header is too short to hold them: the CheckSum (4 bytes) and
  // data directory 4 (8 bytes).
  uint32_t checksumOffset = 0;
  uint32_t certificateEntryOffset = 0;
  // Data directory 4, the certificate table: a file offset and a size.
  uint32_t certificateTableOffset = 0;
  uint32_t certificateTableSize = 0;

  bool isExecutable() const { return kind != Kind::NotExecutable; }
  // Authenticode signatures live in the certificate table; stamping changes
  // bytes that the signature covers.
  bool isSigned() const { return certificateTableSize != 0; }
};

// Inspects a file's bytes: an MS-DOS header ("MZ", 64 bytes) whose e_lfanew
// (0x3C) points past the header at "PE\0\0" inside the file, a COFF header and
// a PE32 or PE32+ optional header. Never reads outside `bytes`.
ExecutableInfo inspectExecutable(std::span<const uint8_t> bytes);

// "PE32", "PE32+" or "not an executable".
const char* kindName(ExecutableInfo::Kind kind);
