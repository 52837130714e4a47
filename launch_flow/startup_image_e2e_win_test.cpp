// The built image itself: a GUI program of this test program's own width (the
// i686 build is what ships; the x86_64 build runs the same tests where 32-bit
// Wine cannot) that imports system DLLs only, with its application manifest
// and version resource.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "channel_version.h"
#include "common/unique_handle_win.h"
#include "tests/support/launch_flow/startup_e2e_support_win.h"

namespace {

// A PE image of this program's width in memory (PE32 at i686, PE32+ at
// x86_64: IMAGE_NT_HEADERS is the one of the width being compiled), read with
// bounds checks: any field outside the file makes the reading fail the test
// instead of reading past the end.
class PeImage {
 public:
  explicit PeImage(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
    const auto dos = at<IMAGE_DOS_HEADER>(0);
    headers_ = uint32_t(dos.e_lfanew);
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || at<DWORD>(headers_) != IMAGE_NT_SIGNATURE)
      throw std::runtime_error("not a PE image");
    nt_ = at<IMAGE_NT_HEADERS>(headers_);
    if (nt_.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC) throw std::runtime_error("not of this width");
  }

  const IMAGE_NT_HEADERS& headers() const { return nt_; }

  // Names of the DLLs in the import table and the delay-load table.
  std::vector<std::string> importedDlls() const {
    std::vector<std::string> names;
    const auto& directories = nt_.OptionalHeader.DataDirectory;
    for (uint32_t rva = directories[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress; rva != 0;
         rva += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
      const auto entry = at<IMAGE_IMPORT_DESCRIPTOR>(offsetOf(rva));
      if (entry.Name == 0) break;
      names.push_back(textAt(offsetOf(entry.Name)));
    }
    for (uint32_t rva = directories[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress; rva != 0;
         rva += sizeof(IMAGE_DELAYLOAD_DESCRIPTOR)) {
      const auto entry = at<IMAGE_DELAYLOAD_DESCRIPTOR>(offsetOf(rva));
      if (entry.DllNameRVA == 0) break;
      names.push_back(textAt(offsetOf(entry.DllNameRVA)));
    }
    return names;
  }

 private:
  template <typename T>
  T at(size_t offset) const {
    if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T)) throw std::runtime_error("field past the end");
    T value;
    std::memcpy(&value, bytes_.data() + offset, sizeof(T));
    return value;
  }

  std::string textAt(size_t offset) const {
    std::string text;
    for (; at<char>(offset) != '\0'; ++offset) text += at<char>(offset);
    return text;
  }

  // The file offset of a relative virtual address, through the section table.
  size_t offsetOf(uint32_t rva) const {
    const size_t first = headers_ + offsetof(IMAGE_NT_HEADERS, OptionalHeader) + nt_.FileHeader.SizeOfOptionalHeader;
    for (size_t i = 0; i < nt_.FileHeader.NumberOfSections; ++i) {
      const auto section = at<IMAGE_SECTION_HEADER>(first + i * sizeof(IMAGE_SECTION_HEADER));
      const uint32_t size = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
      if (rva >= section.VirtualAddress && rva - section.VirtualAddress < size)
        return section.PointerToRawData + (rva - section.VirtualAddress);
    }
    throw std::runtime_error("address in no section");
  }

  std::vector<uint8_t> bytes_;
  uint32_t headers_ = 0;
  IMAGE_NT_HEADERS nt_{};
};

// DLLs that every Windows installation has: the launcher may import these only.
bool isSystemDll(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  static const std::set<std::string> system = {
      "kernel32.dll", "user32.dll", "shell32.dll", "shlwapi.dll", "advapi32.dll", "msvcrt.dll", "ws2_32.dll",
      "ucrtbase.dll", "ntdll.dll",  "gdi32.dll",   "ole32.dll",   "version.dll",
  };
  return system.count(name) != 0 || name.rfind("api-ms-win-crt-", 0) == 0;
}

TEST(LauncherImage, TheAllowListKeepsOutTheCompilerRuntimes) {
  for (const char* name : {"libstdc++-6.dll", "libgcc_s_dw2-1.dll", "libgcc_s_seh-1.dll", "libwinpthread-1.dll",
                           "msvcp140.dll", "vcruntime140.dll", "kernel32.dll.evil"})
    EXPECT_FALSE(isSystemDll(name)) << name;
  for (const char* name : {"KERNEL32.dll", "api-ms-win-crt-runtime-l1-1-0.dll"}) EXPECT_TRUE(isSystemDll(name)) << name;
}

TEST(LauncherImage, IsAGuiProgramOfItsWidthThatImportsSystemDllsOnly) {
  const PeImage image(readBytes(launcherPath()));
  EXPECT_EQ(image.headers().FileHeader.Machine, sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
  EXPECT_EQ(image.headers().OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
  const std::vector<std::string> dlls = image.importedDlls();
  std::string all;
  for (const std::string& dll : dlls) all += dll + " ";
  EXPECT_NE(std::find(dlls.begin(), dlls.end(), "KERNEL32.dll"), dlls.end()) << all;
  for (const std::string& dll : dlls) EXPECT_TRUE(isSystemDll(dll)) << dll << " in: " << all;
}

// Only what the loader maps before the program's first instruction: every
// other system DLL is loaded at run time from System32, after the DLL search
// has been limited to it. A DLL imported here would be looked for in the
// program's own folder first.
TEST(LauncherImage, ImportsOnlyKernel32AndTheCRuntime) {
  const PeImage image(readBytes(launcherPath()));
  std::vector<std::string> dlls = image.importedDlls();
  for (std::string& dll : dlls)
    std::transform(dll.begin(), dll.end(), dll.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  std::sort(dlls.begin(), dlls.end());
  EXPECT_EQ(dlls, (std::vector<std::string>{"kernel32.dll", "msvcrt.dll"}));
}

// Every copy is a download: the program is kept within a fixed size.
TEST(LauncherImage, StaysWithinItsSizeBudget) {
  constexpr size_t kBudget = 160 * 1024;
  const size_t size = readBytes(launcherPath()).size();
  EXPECT_LE(size, kBudget) << "channel_launcher.exe is " << size << " bytes; scripts/size-by-component.sh "
                           << "tells where they go";
}

TEST(LauncherImage, CarriesItsManifestAndVersion) {
  const std::wstring path = launcherPath();
  UniqueModule module(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_NE(module, nullptr);
  const HRSRC found = FindResourceW(module.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  const char* data = static_cast<const char*>(LockResource(LoadResource(module.get(), found)));
  const std::string manifest(data, SizeofResource(module.get(), found));
  module.reset();
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  for (const char* os : {"35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                         "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
    EXPECT_NE(manifest.find(os), std::string::npos) << os;

  DWORD ignored = 0;
  std::vector<uint8_t> version(GetFileVersionInfoSizeW(path.c_str(), &ignored));
  ASSERT_FALSE(version.empty());
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, DWORD(version.size()), version.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
  const WORD expected[] = {CHANNEL_VERSION_NUMBERS};
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(expected[1], expected[0]));
  EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(expected[3], expected[2]));
  wchar_t* name = nullptr;
  ASSERT_TRUE(VerQueryValueW(version.data(), L"\\StringFileInfo\\080404b0\\OriginalFilename",
                             reinterpret_cast<void**>(&name), &size));
  EXPECT_STREQ(name, L"channel_launcher.exe");
}

}  // namespace
