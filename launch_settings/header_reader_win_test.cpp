// The header reader on real files: stamped copies of a small DLL loaded from
// chosen paths, short and far beyond 260 characters, and the failures.
#include "launch_settings/header_reader_win.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/unique_handle_win.h"
#include "tests/support/launch_settings/settings_test_support.h"
#include "tests/support/launch_settings/stamp_test_support_win.h"

namespace {

HeaderSettings stampWithChannel(int32_t channel) {
  HeaderSettings stamp;
  stamp.channelId = channel;
  stamp.appId = 2001;
  stamp.miniType = 2;
  stamp.autoInstall = true;
  return stamp;
}

class HeaderReader : public ::testing::Test {
 protected:
  // Places a copy of the probe DLL stamped with `stamp` at `path` and loads it.
  UniqueModule loadStampedModule(const std::wstring& path, const HeaderSettings& stamp) {
    writeStampedCopy(testProgramFolder() + L"header_probe_module.dll", L"\\\\?\\" + path, stamp);
    UniqueModule module(LoadLibraryW((L"\\\\?\\" + path).c_str()));
    EXPECT_NE(module, nullptr) << "error " << GetLastError();
    return module;
  }

  ScratchFolder scratch_{L"header-reader"};
};

TEST_F(HeaderReader, ReadsTheStampAndTheCidOfModulesAtAnyPathLength) {
  // 259/260/261: around the first buffer of 260 characters; 2000: several growths.
  for (size_t length : {60u, 259u, 260u, 261u, 520u, 2000u}) {
    const std::wstring path = scratch_.deepPath(length, L"probe_cid77.dll");
    const UniqueModule module = loadStampedModule(path, stampWithChannel(1101010001));
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(modulePath(module.get()), path) << "length " << length;
    HeaderSettings expected = stampWithChannel(1101010001);
    expected.subChannelId = 77;  // found only when the name is read whole
    EXPECT_EQ(readModuleHeaderSettings(module.get()), expected) << "length " << length;
  }
}

TEST_F(HeaderReader, ReadsTheRunningProgramsOwnFile) {
  // The test program carries no stamp: mingw leaves the reserved words zero.
  EXPECT_EQ(readHeaderSettings(), HeaderSettings{});
  EXPECT_EQ(modulePath(nullptr) + L"|", testProgramFolder() + L"launch_settings_win_tests.exe|");
}

TEST_F(HeaderReader, RaisesTheErrorCodeOfTheFailedStep) {
  const std::wstring path = (scratch_.path() / L"probe.dll").wstring();
  const UniqueModule module = loadStampedModule(path, stampWithChannel(5));
  ASSERT_NE(module, nullptr);
  // Someone holding the file with delete access defeats the share-read open.
  UniqueHandle holder = uniqueFile(
      CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_NE(holder, nullptr);
  try {
    readModuleHeaderSettings(module.get());
    ADD_FAILURE() << "no error raised";
  } catch (const HeaderReadError& error) {
    EXPECT_STREQ(error.step(), "CreateFileW");
    EXPECT_EQ(error.code(), DWORD(ERROR_SHARING_VIOLATION));
  }
  holder.reset();
  EXPECT_EQ(readModuleHeaderSettings(module.get()).channelId, 5) << "the holder's handle is gone";

  // A handle that names no module.
  HMODULE noModule = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x10));
  try {
    readModuleHeaderSettings(noModule);
    ADD_FAILURE() << "no error raised";
  } catch (const HeaderReadError& error) {
    EXPECT_STREQ(error.step(), "GetModuleFileNameW");
    EXPECT_NE(error.code(), 0u);
  }
}

}  // namespace
