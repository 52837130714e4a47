// The recent-use check on real directories and file times under Wine.
#include "launch_flow/hall_recent_use_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/unique_handle_win.h"
#include "launch_flow/hall_recent_use.h"

namespace {

uint64_t nowValue() {
  FILETIME time{};
  GetSystemTimeAsFileTime(&time);
  return (uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::wstring currentDirectory() {
  wchar_t buffer[MAX_PATH * 2] = {};
  GetCurrentDirectoryW(MAX_PATH * 2, buffer);
  return buffer;
}

// A scratch tree: <temp>\recent-use-N\Hall\ with the cache beside Hall.
class HallCache : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    LARGE_INTEGER tick{};
    QueryPerformanceCounter(&tick);
    parent_ = std::wstring(temp) + L"recent-use-" + std::to_wstring(tick.QuadPart) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(parent_.c_str(), nullptr));
    originalDirectory_ = currentDirectory();
  }
  void TearDown() override {
    SetCurrentDirectoryW(originalDirectory_.c_str());
    std::error_code ignored;
    std::filesystem::remove_all(parent_, ignored);
  }

  std::wstring cache() const { return parent_ + L"xwv_cache\\GPUCache"; }
  void makeCache() {
    CreateDirectoryW((parent_ + L"xwv_cache").c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryW(cache().c_str(), nullptr));
  }
  void makeFile(const std::wstring& path, uint64_t lastWrite, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    const UniqueHandle file =
        uniqueFile(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr));
    ASSERT_NE(file, nullptr);
    FILETIME time{DWORD(lastWrite), DWORD(lastWrite >> 32)};
    EXPECT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &time));
  }

  std::wstring parent_;
  std::wstring originalDirectory_;
};

TEST_F(HallCache, MissingCacheAnswersNoAndLeavesTheCurrentDirectory) {
  EXPECT_EQ(hallUsedRecently(parent_), 0);
  EXPECT_EQ(currentDirectory(), originalDirectory_);
}

TEST_F(HallCache, EmptyCacheAnswersNoAndBecomesTheCurrentDirectory) {
  makeCache();
  EXPECT_EQ(hallUsedRecently(parent_), 0);
  EXPECT_EQ(CompareStringOrdinal(currentDirectory().c_str(), -1, cache().c_str(), -1, TRUE), CSTR_EQUAL);
}

TEST_F(HallCache, FreshFilesInsideASubdirectoryDoNotCount) {
  makeCache();
  ASSERT_TRUE(CreateDirectoryW((cache() + L"\\sub").c_str(), nullptr));
  makeFile(cache() + L"\\sub\\fresh", nowValue());
  EXPECT_EQ(hallUsedRecently(parent_), 0);
}

TEST_F(HallCache, OnlyOldFilesAnswerNo) {
  makeCache();
  const uint64_t old = nowValue() - kRecentUseWindow - 10'000'000;
  for (int i = 0; i < 5; ++i) makeFile(cache() + L"\\old" + std::to_wstring(i), old);
  EXPECT_EQ(hallUsedRecently(parent_), 0);
}

TEST_F(HallCache, OneRecentHiddenFileAmongOldOnesAnswersYes) {
  makeCache();
  const uint64_t now = nowValue();
  for (int i = 0; i < 5; ++i) makeFile(cache() + L"\\old" + std::to_wstring(i), now - kRecentUseWindow * 2);
  makeFile(cache() + L"\\zz_recent", now - kRecentUseWindow + 36'000'000'000ull, FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(hallUsedRecently(parent_), 1);
}

TEST_F(HallCache, OneRecentSystemFileAmongOldOnesAnswersYes) {
  makeCache();
  const uint64_t now = nowValue();
  for (int i = 0; i < 5; ++i) makeFile(cache() + L"\\old" + std::to_wstring(i), now - kRecentUseWindow * 2);
  const std::wstring recent = cache() + L"\\recent";
  makeFile(recent, now - 36'000'000'000ull, FILE_ATTRIBUTE_SYSTEM);
  ASSERT_NE(GetFileAttributesW(recent.c_str()) & FILE_ATTRIBUTE_SYSTEM, 0u) << "the system attribute did not hold";
  EXPECT_EQ(hallUsedRecently(parent_), 1);
}

// Hundreds of old files before the recent one: the listing is read to its end.
TEST_F(HallCache, OneRecentFileListedAfterManyOldOnesAnswersYes) {
  makeCache();
  const uint64_t now = nowValue();
  for (int i = 0; i < 300; ++i) makeFile(cache() + L"\\old" + std::to_wstring(1000 + i), now - kRecentUseWindow * 2);
  makeFile(cache() + L"\\zz_recent", now);
  std::wstring last;
  WIN32_FIND_DATAW found{};
  const UniqueFind listing = uniqueFind(FindFirstFileW((cache() + L"\\*").c_str(), &found));
  ASSERT_NE(listing, nullptr);
  do last = found.cFileName;
  while (FindNextFileW(listing.get(), &found));
  ASSERT_EQ(last, L"zz_recent") << "the recent file is not listed last";
  EXPECT_EQ(hallUsedRecently(parent_), 1);
}

TEST_F(HallCache, WindowEdgeIsExactToTheInterval) {
  makeCache();
  const uint64_t written = 133'000'000'000'000'000ull;
  makeFile(cache() + L"\\edge", written);
  EXPECT_EQ(hallUsedRecentlyAt(parent_, written + kRecentUseWindow), 0);
  EXPECT_EQ(hallUsedRecentlyAt(parent_, written + kRecentUseWindow - 1), 1);
}

TEST_F(HallCache, AFileAtTheCachePathAnswersNoWhateverIsCurrent) {
  CreateDirectoryW((parent_ + L"xwv_cache").c_str(), nullptr);
  makeFile(cache(), nowValue());
  // The current directory holds a fresh file; it must not decide the answer.
  ASSERT_TRUE(SetCurrentDirectoryW(parent_.c_str()));
  makeFile(parent_ + L"fresh", nowValue());
  EXPECT_EQ(hallUsedRecently(parent_), 0);
}

}  // namespace
