// The launch sequence over a recording fake platform: the exact order of the
// platform calls in each branch, the trace lines, and where each wait ended;
// and the text rules of the software manager's start.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "launch_flow/hall_launch.h"
#include "launch_settings/command_line.h"
#include "launch_settings/launch_settings.h"
#include "tests/support/printable_text.h"

namespace {

using Events = std::vector<std::u16string>;

// Decimal text made independently of the code under test.
std::u16string ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// Records every platform call as one text; its answers come from the fields.
struct FakePlatform {
  std::deque<std::u16string> hallDirectories;  // one per read; empty text once they run out
  std::u16string existingFile;
  std::u16string uninstallValue;
  std::u16string currentDirectory = u"C:\\Users\\u\\Downloads";  // where the copy was run from
  std::u16string currentAfterRecord;  // the folder the record step makes current; empty: none
  int windowAtLook = 0;  // the look that finds the hall window; 0: none does
  bool combineFails = false;
  int looks = 0;
  Events events;

  HallLaunchPlatform platform() {
    HallLaunchPlatform p;
    p.readHallDirectory = [this] {
      events.push_back(u"readHall");
      std::u16string directory;
      if (!hallDirectories.empty()) {
        directory = hallDirectories.front();
        hallDirectories.pop_front();
      }
      return directory;
    };
    p.combinePath = [this](const std::u16string& directory, std::u16string_view name) {
      events.push_back(u"combine " + directory + u"|" + std::u16string(name));
      if (combineFails) return std::u16string();
      if (directory.empty()) return std::u16string(name);
      return directory + (directory.ends_with(u'\\') ? u"" : u"\\") + std::u16string(name);
    };
    p.fileExists = [this](const std::u16string& path) {
      events.push_back(u"exists " + path);
      return path == existingFile;
    };
    p.recordInstallChannel = [this](const std::u16string& directory, int32_t channelId) {
      events.push_back(u"record " + directory + u"|" + ascii(std::to_string(channelId)));
      if (!currentAfterRecord.empty()) currentDirectory = currentAfterRecord;
    };
    p.currentDirectory = [this] { return currentDirectory; };
    p.shellStart = [this](const std::u16string& file, const std::u16string& parameters,
                          const std::u16string& workingDirectory) {
      events.push_back(u"shell " + file + u"|" + parameters + u" in " + workingDirectory);
    };
    p.hallWindowShown = [this] {
      events.push_back(u"look");
      return ++looks == windowAtLook;
    };
    p.sleep = [this](uint32_t milliseconds) {
      events.push_back(u"sleep " + ascii(std::to_string(milliseconds)));
    };
    p.messageBox = [this](std::u16string_view text, std::u16string_view caption) {
      events.push_back(u"box " + std::u16string(text) + u"|" + std::u16string(caption));
    };
    p.readUninstallValue = [this] {
      events.push_back(u"readUninstall");
      return uninstallValue;
    };
    p.startProcess = [this](const std::u16string& commandLine) { events.push_back(u"start " + commandLine); };
    p.trace = [this](std::u16string_view line) { events.push_back(u"trace " + std::u16string(line)); };
    return p;
  }
};

const std::u16string kRecorded = u"trace \u5df2\u7ecf\u66ff\u6362\u5927\u5385\u6e20\u9053\u53f7";
const std::u16string kBox =
    u"box \u542f\u52a8\u5931\u8d25\uff0c\u8bf7\u4e0b\u8f7dLudora\u5927\u5385|Ludora\u5927\u5385";
const std::u16string kManagerStart =
    u"start \"C:\\Program Files\\Halvex\\HalvexSoftMgr.exe\" "
    u"/action=showdetail_download /parent=user1204 /softdetailid=8033";

std::u16string pollLine(int n) { return u"trace 1234567" + ascii(std::to_string(n)) + u"\r\n"; }

// How a wait ended, as foldWaits tells it.
std::u16string windowInPoll(int n) { return u"wait: window in poll " + ascii(std::to_string(n)); }
std::u16string noWindowByPoll(int n) { return u"wait: no window by poll " + ascii(std::to_string(n)); }
const std::u16string kWaitRanOut = noWindowByPoll(kWaitPolls);

bool isWaitEvent(const std::u16string& event) {
  return event.starts_with(u"trace 1234567") || event == u"look" || event.starts_with(u"sleep ");
}

// One wait's events in one: poll n is its line, a look, and a pause before
// poll n + 1. A wait ends at a look that found the window or at a poll line
// without a look.
std::u16string waitOutcome(const Events& wait) {
  const std::u16string pause = u"sleep " + ascii(std::to_string(kPollPauseMilliseconds));
  for (size_t at = 0; at < wait.size(); ++at) {
    const std::u16string expected = at % 3 == 0 ? pollLine(int(at / 3) + 1) : at % 3 == 1 ? u"look" : pause;
    if (wait[at] != expected) return u"wait: " + wait[at] + u" where " + expected + u" belongs";
  }
  const int polls = int(wait.size() / 3) + 1;
  if (wait.size() % 3 == 2) return windowInPoll(polls);
  if (wait.size() % 3 == 1) return noWindowByPoll(polls);
  return u"wait: ends in a pause";
}

// The recorded events with each run of wait events folded into its outcome.
Events foldWaits(const Events& events) {
  Events folded;
  for (auto at = events.begin(); at != events.end();) {
    const auto end = std::find_if_not(at, events.end(), isWaitEvent);
    if (end == at) {
      folded.push_back(*at++);
    } else {
      folded.push_back(waitOutcome(Events(at, end)));
      at = end;
    }
  }
  return folded;
}

Events concat(std::initializer_list<Events> parts) {
  Events all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

FakePlatform installedHall(int windowAtLook) {
  FakePlatform fake;
  fake.hallDirectories = {u"D:\\Games\\Ludora\\Hall"};
  fake.existingFile = u"D:\\Games\\Ludora\\Hall\\ludora.exe";
  fake.windowAtLook = windowAtLook;
  return fake;
}

// A start of the installed hall with `parameter`, in the hall's own folder.
std::u16string installedHallStart(std::u16string_view parameter) {
  return u"shell D:\\Games\\Ludora\\Hall\\ludora.exe|" + std::u16string(parameter) + u" in D:\\Games\\Ludora\\Hall";
}

const Events kInstalledStart = {
    u"readHall",
    u"combine D:\\Games\\Ludora\\Hall|ludora.exe",
    u"exists D:\\Games\\Ludora\\Hall\\ludora.exe",
    u"record D:\\Games\\Ludora\\Hall|5",
    kRecorded,
    installedHallStart(u"ludora://ENTERAPP"),
};

TEST(HallLaunchInstalled, RecordsStartsWaitsAndStartsAgainWithTheApplication) {
  for (int k : {1, 2, 7, kWaitPolls - 1}) {
    SCOPED_TRACE(k);
    FakePlatform fake = installedHall(k);
    runHallLaunch(fake.platform(), 5, 2001);
    EXPECT_EQ(foldWaits(fake.events),
              concat({kInstalledStart,
                      {windowInPoll(k), installedHallStart(u"ludora://ENTERAPP APPID:2001")}}));
  }
}

// The channel the record step receives is the merged settings' one: the
// stamp's for a stamped copy, whatever the command line says, and the command
// line's for an unstamped copy. The application number travels the same way.
TEST(HallLaunchInstalled, RecordsTheChannelOfTheMergedSettings) {
  const CommandLineTokens tokens({u"C:\\Downloads\\setup.exe", u"/MainSource=77", u"AppID=12"});
  const struct {
    int32_t stampedChannel;
    std::u16string recorded;
    std::u16string secondStart;
  } cases[] = {
      {1101010001, u"record D:\\Games\\Ludora\\Hall|1101010001", u"ludora://ENTERAPP APPID:9"},
      {-3, u"record D:\\Games\\Ludora\\Hall|-3", u"ludora://ENTERAPP APPID:9"},
      {0, u"record D:\\Games\\Ludora\\Hall|77", u"ludora://ENTERAPP APPID:12"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stampedChannel);
    HeaderSettings header;
    header.channelId = c.stampedChannel;
    header.appId = 9;
    const LaunchSettings settings = mergeLaunchSettings(header, readCommandLineSettings(tokens));
    FakePlatform fake = installedHall(1);
    runHallLaunch(fake.platform(), settings.channelId, settings.appId);
    ASSERT_GE(fake.events.size(), 4u);
    EXPECT_EQ(fake.events[3], c.recorded);
    EXPECT_EQ(fake.events.back(), installedHallStart(c.secondStart));
  }
}

TEST(HallLaunchInstalled, EndsWithoutSecondStartWhenTheWaitRunsOut) {
  FakePlatform fake = installedHall(0);
  runHallLaunch(fake.platform(), 5, 2001);
  EXPECT_EQ(foldWaits(fake.events), concat({kInstalledStart, {kWaitRanOut}}));
  EXPECT_EQ(fake.looks, kWaitPolls - 1);
}

// Both starts go to the folder the record step made current (the hall's
// cache folder); while the current folder is still the one the copy was run
// from, to the hall's own folder instead.
TEST(HallLaunchInstalled, HallStartsInTheFolderTheRecordStepMadeCurrentElseInItsOwn) {
  const struct {
    std::u16string_view runFrom;
    std::u16string_view afterRecord;
    std::u16string_view hallStartsIn;
  } cases[] = {
      {u"C:\\Users\\u\\Downloads", u"", u"D:\\Games\\Ludora\\Hall"},
      {u"C:\\Users\\u\\Downloads", u"D:\\Games\\Ludora\\xwv_cache\\GPUCache",
       u"D:\\Games\\Ludora\\xwv_cache\\GPUCache"},
      {u"", u"", u"D:\\Games\\Ludora\\Hall"},  // unreadable throughout
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(printable(c.afterRecord));
    FakePlatform fake = installedHall(1);
    fake.currentDirectory = c.runFrom;
    fake.currentAfterRecord = c.afterRecord;
    runHallLaunch(fake.platform(), 5, 3);
    const std::u16string hall = u"shell D:\\Games\\Ludora\\Hall\\ludora.exe|";
    const std::u16string in = u" in " + std::u16string(c.hallStartsIn);
    EXPECT_EQ(foldWaits(fake.events),
              concat({{kInstalledStart.begin(), kInstalledStart.end() - 1},
                      {hall + u"ludora://ENTERAPP" + in, windowInPoll(1), hall + u"ludora://ENTERAPP APPID:3" + in}}));
  }
}

TEST(HallLaunchInstalled, ApplicationNumberZeroRepeatsTheFirstStart) {
  FakePlatform fake = installedHall(1);
  runHallLaunch(fake.platform(), 5, 0);
  EXPECT_EQ(fake.events.back(), installedHallStart(u"ludora://ENTERAPP"));
}

TEST(HallLaunchNotInstalled, OtherChannelsTraceAndAskForTheDownload) {
  for (int32_t channel : {0, 5, -7, 1101010000, INT32_MIN}) {
    SCOPED_TRACE(channel);
    FakePlatform fake;
    fake.hallDirectories = {u"D:\\Gone"};
    runHallLaunch(fake.platform(), channel, 2001);
    const std::u16string channelLine = u"trace " + ascii(std::to_string(channel));
    EXPECT_EQ(fake.events, (Events{u"readHall", u"combine D:\\Gone|ludora.exe", u"exists D:\\Gone\\ludora.exe",
                                   u"trace -------------------------\r\n", channelLine, u"trace 1101010001",
                                   kBox}));
  }
}

FakePlatform managedChannel(int windowAtLook) {
  FakePlatform fake;
  fake.hallDirectories = {u"", u"E:\\Neu Hall\\"};
  fake.uninstallValue = u"\"C:\\Program Files\\Halvex\\Uninst.exe\"";
  fake.windowAtLook = windowAtLook;
  return fake;
}

// The hall's start after the manager's, with `parameter`, in the hall's own folder.
std::u16string managedHallStart(std::u16string_view parameter) {
  return u"shell E:\\Neu Hall\\ludora.exe|" + std::u16string(parameter) + u" in E:\\Neu Hall\\";
}

// The first read finds no hall directory: the not-installed branch, with no
// look for a bare "ludora.exe" in the current directory.
const Events kManagerStartEvents = {
    u"readHall",
    u"trace -------------------------\r\n",
    u"trace 1101010001",
    u"trace 1101010001",
    u"readUninstall",
    u"combine C:\\Program Files\\Halvex\\|HalvexSoftMgr.exe",
    kManagerStart,
};
// The same up to the uninstall value's read, and up to the manager path's forming.
const Events kUninstallReadEvents(kManagerStartEvents.begin(), kManagerStartEvents.end() - 2);
const Events kManagerPathEvents(kManagerStartEvents.begin(), kManagerStartEvents.end() - 1);

TEST(HallLaunchNotInstalled, SoftwareManagerChannelStartsTheManagerThenTheHall) {
  for (int k : {1, 3}) {
    SCOPED_TRACE(k);
    FakePlatform fake = managedChannel(k);
    runHallLaunch(fake.platform(), kSoftwareManagerChannel, -5);
    EXPECT_EQ(foldWaits(fake.events), concat({kManagerStartEvents,
                                              {windowInPoll(k), u"readHall", u"combine E:\\Neu Hall\\|ludora.exe",
                                               managedHallStart(u"ludora://ENTERAPP APPID:-5")}}));
  }
}

TEST(HallLaunchNotInstalled, SoftwareManagerChannelEndsWhenTheWaitRunsOut) {
  FakePlatform fake = managedChannel(0);
  runHallLaunch(fake.platform(), kSoftwareManagerChannel, 0);
  EXPECT_EQ(foldWaits(fake.events), concat({kManagerStartEvents, {kWaitRanOut}}));
}

// Without a fully qualified manager directory nothing is started (a bare or
// relative name would be searched for beside the launcher and in the current
// directory); the wait and the hall start after it run as ever.
TEST(HallLaunchNotInstalled, NoManagerStartWithoutAFullyQualifiedDirectory) {
  for (const char16_t* value :
       {u"", u"\"\"", u"Uninst.exe", u"\"Uninst.exe\"", u"Halvex\\Uninst.exe", u"\\Halvex\\Uninst.exe",
        u"C:Halvex\\Uninst.exe", u"\"..\\Uninst.exe\" /S", u"MsiExec.exe /X{6A1D2C3B-0F4E-4C5D-9E8F-7A6B5C4D3E2F}"}) {
    SCOPED_TRACE(std::string(value, value + std::char_traits<char16_t>::length(value)));
    FakePlatform fake = managedChannel(2);
    fake.uninstallValue = value;
    runHallLaunch(fake.platform(), kSoftwareManagerChannel, 7);
    EXPECT_EQ(foldWaits(fake.events), concat({kUninstallReadEvents,
                                              {windowInPoll(2), u"readHall", u"combine E:\\Neu Hall\\|ludora.exe",
                                               managedHallStart(u"ludora://ENTERAPP APPID:7")}}));
  }
}

TEST(HallLaunchNotInstalled, NoManagerStartWhenItsPathCannotBeFormed) {
  FakePlatform fake = managedChannel(0);
  fake.combineFails = true;
  runHallLaunch(fake.platform(), kSoftwareManagerChannel, 0);
  EXPECT_EQ(foldWaits(fake.events), concat({kManagerPathEvents, {kWaitRanOut}}));
}

TEST(HallLaunchNotInstalled, NoHallStartWhenTheHallPathCannotBeFormed) {
  FakePlatform fake = managedChannel(1);
  fake.hallDirectories.front() = u"D:\\Too Long";
  fake.combineFails = true;
  runHallLaunch(fake.platform(), kSoftwareManagerChannel, 0);
  EXPECT_EQ(fake.events.back(), u"combine E:\\Neu Hall\\|ludora.exe");
  EXPECT_EQ(fake.events[1], u"combine D:\\Too Long|ludora.exe");
  EXPECT_EQ(fake.events[2], u"trace -------------------------\r\n");  // no existence test of an empty path
}

// An empty hall directory is no hall, even where the current directory holds
// a "ludora.exe" that a bare name would find; the same holds for the read
// after the software manager's window showed up.
TEST(HallLaunchNotInstalled, EmptyHallDirectoryIsNoHallEvenWithLudoraInTheCurrentDirectory) {
  FakePlatform other;
  other.existingFile = u"ludora.exe";
  runHallLaunch(other.platform(), 5, 2001);
  EXPECT_EQ(other.events, (Events{u"readHall", u"trace -------------------------\r\n", u"trace 5",
                                  u"trace 1101010001", kBox}));

  FakePlatform managed = managedChannel(1);
  managed.existingFile = u"ludora.exe";
  managed.hallDirectories = {u"", u""};
  runHallLaunch(managed.platform(), kSoftwareManagerChannel, 0);
  EXPECT_EQ(foldWaits(managed.events), concat({kManagerStartEvents, {windowInPoll(1), u"readHall"}}));
}

// A hall directory that is not fully qualified would be resolved against the
// current folder: the run is that of an empty directory, with one line saying
// why after each read, and no record is written. Both channels, both reads.
TEST(HallLaunchNotInstalled, RelativeHallDirectoryIsNoHall) {
  const auto run = [](std::u16string_view directory, int32_t channelId) {
    FakePlatform fake = managedChannel(1);
    fake.hallDirectories = {std::u16string(directory), std::u16string(directory)};
    fake.existingFile = std::u16string(directory) + u"\\ludora.exe";
    runHallLaunch(fake.platform(), channelId, 2001);
    return fake.events;
  };
  for (const char16_t* directory : {u"Hall\\", u"..\\x", u"C:Hall", u"\\Hall", u".", u"/Hall"}) {
    for (int32_t channelId : {5, kSoftwareManagerChannel}) {
      SCOPED_TRACE(printable(directory));
      Events expected;
      for (const std::u16string& event : run(u"", channelId)) {
        expected.push_back(event);
        if (event == u"readHall") expected.push_back(u"trace Hall directory ignored: not a full path\r\n");
      }
      EXPECT_EQ(run(directory, channelId), expected);
    }
  }
}

TEST(HallStartParameter, AppendsTheApplicationNumberWhenNonZero) {
  EXPECT_EQ(hallStartParameter(0), u"ludora://ENTERAPP");
  EXPECT_EQ(hallStartParameter(2001), u"ludora://ENTERAPP APPID:2001");
  EXPECT_EQ(hallStartParameter(-5), u"ludora://ENTERAPP APPID:-5");
  EXPECT_EQ(hallStartParameter(INT32_MIN), u"ludora://ENTERAPP APPID:-2147483648");
}

// One input text and the text it should give.
struct TextCase {
  std::u16string_view input;
  std::u16string_view expected;
};

TEST(BuildCommandLine, QuotesAPathWithASpaceOnly) {
  const std::u16string_view args = u"/action=showdetail_download /parent=user1204 /softdetailid=8033";
  const TextCase cases[] = {
      {u"C:\\Program Files\\Halvex\\HalvexSoftMgr.exe",
       u"\"C:\\Program Files\\Halvex\\HalvexSoftMgr.exe\" "
       u"/action=showdetail_download /parent=user1204 /softdetailid=8033"},
      {u"D:\\Halvex\\HalvexSoftMgr.exe",
       u"D:\\Halvex\\HalvexSoftMgr.exe /action=showdetail_download /parent=user1204 /softdetailid=8033"},
      // A tab is not a space; quotes inside the path are not escaped.
      {u"D:\\a\tb\\x.exe", u"D:\\a\tb\\x.exe /action=showdetail_download /parent=user1204 /softdetailid=8033"},
      {u"D:\\\u5927\u5385 x\\\"y.exe",
       u"\"D:\\\u5927\u5385 x\\\"y.exe\" /action=showdetail_download /parent=user1204 /softdetailid=8033"},
      {u"", u" /action=showdetail_download /parent=user1204 /softdetailid=8033"},
  };
  for (const auto& c : cases) EXPECT_EQ(buildCommandLine(c.input, args), c.expected) << printable(c.input);
  EXPECT_EQ(buildCommandLine(u"a b", u""), u"\"a b\" ");
}

// An empty result: no directory the manager may be started from.
TEST(ManagerDirectory, FromQuotedUnquotedEmptyAndOddUninstallValues) {
  const TextCase cases[] = {
      // Quoted: the uninstaller's path ends at the closing quote, whatever follows.
      {u"\"C:\\Program Files\\Halvex\\Uninst.exe\"", u"C:\\Program Files\\Halvex\\"},
      {u"\"C:\\Program Files\\Halvex\\Uninst.exe\" /S", u"C:\\Program Files\\Halvex\\"},
      {u"\"C:\\Program Files\\Halvex\\Uninst.exe\" /log=\"C:\\Temp\\u.log\"", u"C:\\Program Files\\Halvex\\"},
      {u"\"\\\\server\\share\\Halvex\\Uninst.exe\" /S /D=\"E:\\x\\\"", u"\\\\server\\share\\Halvex\\"},
      {u"\"C:\\Uninst.exe\"", u"C:\\"},
      {u"\"C:\\Halvex\\Uninst.exe", u"C:\\Halvex\\"},  // no closing quote: to the end
      // Unquoted: the whole value; the drive letter stays.
      {u"C:\\Halvex\\Uninst.exe", u"C:\\Halvex\\"},
      {u"C:\\Halvex\\Uninst.exe /S", u"C:\\Halvex\\"},
      // Refused: nothing, a bare name, not fully qualified, or a quote in the directory.
      {u"", u""},
      {u"\"", u""},
      {u"\"\"", u""},
      {u"x", u""},
      {u"MsiExec.exe /X{6A1D2C3B-0F4E-4C5D-9E8F-7A6B5C4D3E2F}", u""},
      {u"\"Uninst.exe\" /S", u""},
      {u"\"Halvex\\Uninst.exe\" /log=\"C:\\Temp\\u.log\"", u""},
      {u"C:Halvex\\Uninst.exe", u""},
      {u"C:\\Hal\"vex\\Uninst.exe", u""},
      {u"C:\\Halvex\\Uninst.exe\" /log=\"C:\\Temp\\u.log", u""},
      {u"\"\"C:\\Halvex\\Uninst.exe\"\"", u""},
      {u"\\\\\\server\\share\\Halvex\\Uninst.exe", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(managerDirectoryFromUninstallValue(c.input), c.expected) << printable(c.input);
  }
}

}  // namespace
