// Registry path reads on the real registry: string types, expansion, missing
// keys and values, and values too long for a path buffer.
#include <gtest/gtest.h>

#include <string>

#include "launch_flow/registry_path_win.h"

namespace {

constexpr wchar_t kTestKey[] = L"Software\\ChannelLauncherTests\\RegistryPath";

class RegistryPath : public testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }

  static void setString(const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kTestKey, name, type, text.c_str(),
                              DWORD((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
  static std::wstring read(const wchar_t* name) { return readRegistryPath(HKEY_CURRENT_USER, kTestKey, name); }
};

TEST_F(RegistryPath, ReadsStringsUpToThePathLimit) {
  const std::wstring chinese = L"D:\\\u6e38\u620f \u5927\u5385\\Ludora";
  const std::wstring longest = L"C:\\" + std::wstring(kLongestPlainPath - 3, L'x');
  setString(L"chinese", chinese);
  setString(L"longest", longest);
  setString(L"empty", L"");
  EXPECT_EQ(read(L"chinese"), chinese);
  EXPECT_EQ(read(L"longest"), longest);
  EXPECT_EQ(read(L"empty"), L"");
}

TEST_F(RegistryPath, LongerValuesCountAsAbsent) {
  for (size_t length : {kLongestPlainPath + 1, size_t(MAX_PATH) * 2, size_t(5000)}) {
    setString(L"long", L"C:\\" + std::wstring(length - 3, L'y'));
    EXPECT_EQ(read(L"long"), L"") << length;
  }
}

TEST_F(RegistryPath, ExpandsOnlyExpandableStrings) {
  SetEnvironmentVariableW(L"CHANNEL_TEST_ROOT", L"E:\\Root");
  setString(L"expand", L"%CHANNEL_TEST_ROOT%\\Hall", REG_EXPAND_SZ);
  setString(L"plain", L"%CHANNEL_TEST_ROOT%\\Hall");
  EXPECT_EQ(read(L"expand"), L"E:\\Root\\Hall");
  EXPECT_EQ(read(L"plain"), L"%CHANNEL_TEST_ROOT%\\Hall");
  // Expansion past the limit counts as absent too.
  SetEnvironmentVariableW(L"CHANNEL_TEST_ROOT", (L"E:\\" + std::wstring(300, L'z')).c_str());
  EXPECT_EQ(read(L"expand"), L"");
  SetEnvironmentVariableW(L"CHANNEL_TEST_ROOT", nullptr);
}

TEST_F(RegistryPath, MissingOrNonStringValuesAreEmpty) {
  const DWORD number = 42;
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kTestKey, L"number", REG_DWORD, &number, sizeof number),
            ERROR_SUCCESS);
  const wchar_t unterminated[] = {L'C', L':', L'\\', L'x'};
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kTestKey, L"unterminated", REG_SZ, unterminated, sizeof unterminated),
            ERROR_SUCCESS);
  EXPECT_EQ(read(L"number"), L"");
  EXPECT_EQ(read(L"missing"), L"");
  EXPECT_EQ(read(L"unterminated"), L"C:\\x");
  EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, L"Software\\ChannelLauncherTests\\NoSuchKey", L"x"), L"");
}

}  // namespace
