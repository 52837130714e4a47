// Copies run from a Downloads folder, where anyone may have dropped a DLL under
// a system name or a program under the software manager's name. With Wine told
// to prefer such DLLs to its own (as Windows prefers any DLL that is not a
// KnownDLL), a DLL of ours that logs each load is planted in the launcher's
// folder, its current folder, the hall's cache folder (which the launcher makes
// current) and the record folder; none of them is ever loaded, nor is a
// planted program started, in self-test mode and on all five ends of the
// launch sequence, and every path still does what it does without them.
//
// The control case shows that the plants work: a program without these
// defences, run from the same folder, loads them.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "common/wide_win.h"
#include "tests/support/launch_flow/launch_e2e_support_win.h"
#include "record_file/channel_record_file.h"
#include "tests/support/trace_capture_win.h"

namespace {

using namespace std::chrono_literals;

constexpr int32_t kAppId = 2001;
constexpr int32_t kSoftwareManagerChannel = 1101010001;
constexpr wchar_t kBoxCaption[] = L"Ludora\u5927\u5385";

// The names the test's environment tells Wine to prefer from outside its own
// folder (the "NAMES=n,b" entries of WINEDLLOVERRIDES, which the test's
// CMake target sets), each planted as NAME.dll.
std::vector<std::wstring> nativeFirstNames() {
  wchar_t value[4096] = {};
  const DWORD length = GetEnvironmentVariableW(L"WINEDLLOVERRIDES", value, 4096);
  std::vector<std::wstring> names;
  if (length == 0 || length >= 4096) return names;
  const std::wstring overrides(value, length);
  for (size_t start = 0; start <= overrides.size();) {
    size_t end = overrides.find(L';', start);
    if (end == overrides.npos) end = overrides.size();
    const std::wstring entry = overrides.substr(start, end - start);
    const size_t equals = entry.find(L'=');
    if (equals != entry.npos && entry.substr(equals + 1) == L"n,b") {
      for (size_t first = 0; first < equals;) {
        const size_t comma = std::min(entry.find(L',', first), equals);
        if (comma > first) names.push_back(entry.substr(first, comma - first));
        first = comma + 1;
      }
    }
    start = end + 1;
  }
  return names;
}

class PlantingE2E : public LauncherE2E {
 protected:
  PlantingE2E() : LauncherE2E(L"planting-e2e") {}

  void SetUp() override {
    LauncherE2E::SetUp();
    names_ = nativeFirstNames();
    ASSERT_GE(names_.size(), 18u) << "WINEDLLOVERRIDES names too few native-first DLLs: run the test through ctest";
    plantLog_ = root_ + L"planted.log";
    SetEnvironmentVariableW(L"CHANNEL_PLANT_LOG", plantLog_.c_str());
    launcher_ = stampedLauncher(1234, kAppId);
    launcherFolder_ = launcher_.substr(0, launcher_.find_last_of(L'\\'));
    plant(launcherFolder_);
    plant(workingDirectory_);
  }

  void TearDown() override {
    SetEnvironmentVariableW(L"CHANNEL_PLANT_LOG", nullptr);
    LauncherE2E::TearDown();
  }

  // The planted DLL under each native-first name (or those of `names`) in
  // `directory`, created when missing; last written at `lastWrite` when it is set.
  void plant(const std::wstring& directory, uint64_t lastWrite = 0) { plantAs(directory, names_, lastWrite); }

  static void plantAs(const std::wstring& directory, const std::vector<std::wstring>& names, uint64_t lastWrite = 0) {
    CreateDirectoryW(directory.c_str(), nullptr);
    const std::string dll = readFileBytes(testProgram(L"planted.dll"));
    ASSERT_FALSE(dll.empty());
    for (const std::wstring& name : names)
      writeFileAt(directory + L"\\" + name + L".dll", dll, lastWrite ? lastWrite : currentFileTime());
  }

  // The lines of the plant log: one per planted DLL loaded anywhere.
  std::vector<std::string> plantedLoads() const {
    std::vector<std::string> loads;
    const std::string log = readFileBytes(plantLog_);
    for (size_t start = 0; start < log.size();) {
      const size_t end = log.find('\n', start);
      loads.push_back(log.substr(start, end - start));
      if (end == log.npos) break;
      start = end + 1;
    }
    return loads;
  }

  void expectNothingPlantedLoaded() const {
    const std::vector<std::string> loads = plantedLoads();
    std::string shownLoads;
    for (const std::string& load : loads) shownLoads += load + "\n";
    EXPECT_TRUE(loads.empty()) << "planted DLLs loaded (DLL, host):\n" << shownLoads;
  }

  // A hall below the scratch folder with its cache folder beside it, planted
  // with DLLs last written at `plantedAt` (0: now, which counts as recent use).
  std::wstring makePlantedHall(uint64_t plantedAt = 0) {
    const std::wstring hall = makeDirectory(L"Ludora");
    placeStandIn(L"ludora.exe", hall);
    makeDirectory(L"xwv_cache");
    cache_ = makeDirectory(L"xwv_cache\\GPUCache");
    plant(cache_, plantedAt);
    setRegistryString(HKEY_CURRENT_USER, kHallKey, kHallValue, hall);
    return hall;
  }

  std::vector<std::wstring> names_;
  std::wstring plantLog_;
  std::wstring launcher_;
  std::wstring launcherFolder_;
  std::wstring cache_;
};

// The control: an ordinary program that imports shell32 (and so user32) has
// the version.dll and imm32.dll beside it loaded, which those two load as they
// start. (Planted under every name, it would not start at all: the planted
// shell32.dll exports nothing.)
TEST_F(PlantingE2E, AProgramWithoutTheseDefencesLoadsThePlants) {
  const std::wstring folder = makeDirectory(L"control");
  plantAs(folder, {L"version", L"imm32"});
  const std::wstring unprotected = placeStandIn(L"bare_shell_start.exe", folder);
  TraceCapture capture;
  ASSERT_TRUE(capture.start(L"\"" + unprotected + L"\" \"" + root_ + L"nothing.exe\"", workingDirectory_));
  ASSERT_TRUE(capture.waitForExit(60s));
  EXPECT_FALSE(plantedLoads().empty()) << "the planted DLLs were not loaded: the test proves nothing";
  DeleteFileW(plantLog_.c_str());
}

TEST_F(PlantingE2E, SelfTestLoadsNothingPlanted) {
  TraceCapture capture;
  ASSERT_TRUE(capture.start(L"\"" + launcher_ + L"\" TestDosHeaderAttribute MiniType=0 AppID=2001 /MainSource=1234",
                            workingDirectory_));
  ASSERT_TRUE(capture.waitForExit(60s));
  EXPECT_EQ(capture.exitCode(), 0u);
  EXPECT_EQ(capture.lines(), TraceLines{startupLine(kAppId, 1234)}) << shown(capture.lines());
  expectNothingPlantedLoaded();
}

// Installed and used recently: a fresh file in the cache folder, which becomes current.
TEST_F(PlantingE2E, InstalledHallUsedRecentlyLoadsNothingPlanted) {
  const std::wstring hall = makePlantedHall();
  OwnHallWindow window;
  const TraceLines lines = run(launcher_);
  EXPECT_EQ(lines, joined({{startupLine(kAppId, 1234), kRecordedLine}, pollLines(1)})) << shown(lines);
  expectHallStarts(startsAfterWaiting(2),
                   {hallCommand(hall, L"ludora://ENTERAPP"), hallCommand(hall, L"ludora://ENTERAPP APPID:2001")},
                   cache_);
  EXPECT_FALSE(pathExists(hall + L"\\config"));
  expectNothingPlantedLoaded();
}

// Installed, cache files all old: the record folder (planted beforehand) gets the file.
TEST_F(PlantingE2E, InstalledHallWithTheRecordWrittenLoadsNothingPlanted) {
  const std::wstring hall = makePlantedHall(currentFileTime() - 40 * kDay);
  makeDirectory(L"Ludora\\config");
  const std::wstring recordFolder = makeDirectory(L"Ludora\\config\\original");
  plant(recordFolder);
  OwnHallWindow window;
  const TraceLines lines = run(launcher_);
  EXPECT_EQ(lines, joined({{startupLine(kAppId, 1234), kRecordedLine, kRecordedLine}, pollLines(1)}))
      << shown(lines);
  expectHallStarts(startsAfterWaiting(2),
                   {hallCommand(hall, L"ludora://ENTERAPP"), hallCommand(hall, L"ludora://ENTERAPP APPID:2001")},
                   cache_);
  ChannelRecordFile store;
  EXPECT_EQ(store.load(std::u16string(as_u16view(recordFolder + L"\\InsChannel.as"))), 0);
  const ChannelRecordFile::Entries expected{{u"installchannel#maincid", u"1234"}};
  EXPECT_EQ(store.entries(), expected);
  expectNothingPlantedLoaded();
}

// No hall, another channel: the message box, shown and closed with OK.
TEST_F(PlantingE2E, DownloadMessageBoxLoadsNothingPlanted) {
  TraceCapture capture;
  ASSERT_TRUE(capture.start(L"\"" + launcher_ + L"\"", workingDirectory_));
  HWND box = nullptr;
  for (int tries = 0; tries < 600 && box == nullptr; ++tries) {
    Sleep(100);
    box = FindWindowW(L"#32770", kBoxCaption);
  }
  ASSERT_NE(box, nullptr) << "no message box";
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(box, IDOK)));
  ASSERT_TRUE(capture.waitForExit(30s));
  EXPECT_EQ(capture.exitCode(), 0u);
  EXPECT_EQ(capture.lines(), (TraceLines{startupLine(kAppId, 1234), kSeparatorLine, L"1234", L"1101010001"}))
      << shown(capture.lines());
  expectNothingPlantedLoaded();
}

// No hall, the software manager's channel, its uninstall value present: the
// manager starts from its own folder, "installs" the hall and shows its window.
TEST_F(PlantingE2E, SoftwareManagerStartLoadsNothingPlanted) {
  const std::wstring hall = makeDirectory(L"Ludora");
  placeStandIn(L"ludora.exe", hall);
  const std::wstring manager = makeDirectory(L"Halvex");
  placeStandIn(L"HalvexSoftMgr.exe", manager);
  setRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, kUninstallValue, L"\"" + manager + L"\\Uninst.exe\"");
  SetEnvironmentVariableW(L"HALVEX_TEST_REGISTER_HALL", hall.c_str());
  SetEnvironmentVariableW(L"HALVEX_TEST_WINDOW_MS", L"30000");
  const std::wstring copy = stampedLauncher(kSoftwareManagerChannel, kAppId);
  const TraceLines lines = run(copy);
  ASSERT_GE(lines.size(), 5u) << shown(lines);
  EXPECT_EQ(lines, joined({{startupLine(kAppId, kSoftwareManagerChannel), kSeparatorLine, L"1101010001",
                            L"1101010001"},
                           pollLines(int(lines.size()) - 4)}))
      << shown(lines);
  const std::vector<StandInStart> log = startsAfterWaiting(2);
  ASSERT_EQ(log.size(), 2u) << shown(log);
  EXPECT_EQ(log[0].program, L"HalvexSoftMgr");
  EXPECT_EQ(log[0].directory, manager);
  EXPECT_EQ(log[1].commandLine, hallCommand(hall, L"ludora://ENTERAPP APPID:2001"));
  expectNothingPlantedLoaded();
}

// No hall, the software manager's channel, no uninstall value: a
// HalvexSoftMgr.exe beside the copy and in its current folder stays unstarted.
TEST_F(PlantingE2E, MissingSoftwareManagerStartsNoPlantedProgram) {
  placeStandIn(L"HalvexSoftMgr.exe", launcherFolder_);
  placeStandIn(L"HalvexSoftMgr.exe", workingDirectory_);
  const std::wstring copy = stampedLauncher(kSoftwareManagerChannel, kAppId);
  OwnHallWindow window;
  const TraceLines lines = run(copy);
  EXPECT_EQ(lines, joined({{startupLine(kAppId, kSoftwareManagerChannel), kSeparatorLine, L"1101010001",
                            L"1101010001"},
                           pollLines(1)}))
      << shown(lines);
  EXPECT_TRUE(startsAfterWaiting(0).empty()) << shown(starts());
  expectNothingPlantedLoaded();
}

}  // namespace
