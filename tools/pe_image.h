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
  uint16_t machine = 0;         // the COFF header's Machine: 0x14C i386, 0x8664 x86-64, ...
  bool isDll = false;           // the COFF header's Characteristics has IMAGE_FILE_DLL
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

// The PE CheckSum of the image `bytes` as the linker and signing tools compute
// it (the 16-bit one's-complement-style sum of the file with the CheckSum
// field read as 0, plus the file's length). `info` must be an executable whose
// checksumOffset is set.
uint32_t peChecksum(std::span<const uint8_t> bytes, const ExecutableInfo& info);

// Writes peChecksum into the CheckSum field of `bytes`, unless the field
// holds 0 ("not set", left so) or the header has none.
void refreshChecksum(std::span<uint8_t> bytes, const ExecutableInfo& info);

inline constexpr uint16_t kMachineI386 = 0x14C;
inline constexpr uint16_t kMachineX8664 = 0x8664;

// The program images a copy of the launcher may be. The shipped launcher is an
// i686 program (PE32, i386); an x86-64 launcher (PE32+) is built only by the
// x86-64 test tree, whose tools stamp it.
enum class LauncherWidths { Only32Bit, Also64Bit };

// Why the executable `info` cannot be a copy of the launcher, in words that
// name its kind ("a DLL, not a program", "a 64-bit program; the launcher is
// 32-bit"), or empty when it can: a program (not a DLL) for i386 in a PE32
// image, or, with LauncherWidths::Also64Bit, for x86-64 in a PE32+ image.
// `info` must be an executable (inspectExecutable).
std::string launcherImageProblem(const ExecutableInfo& info, LauncherWidths widths);
