// The hall launch sequence: find the hall, start it, wait for its main window
// and start it again with the application number; without the hall, start the
// software manager (one channel) or ask the user to download the hall.
//
// The order of the steps lives here, over a small set of platform operations,
// so that both branches run the same way natively (with a fake) and on Windows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

inline constexpr std::u16string_view kHallExecutableName = u"ludora.exe";
inline constexpr std::u16string_view kHallStartParameter = u"ludora://ENTERAPP";
inline constexpr std::u16string_view kAppIdParameterPrefix = u" APPID:";
inline constexpr int32_t kSoftwareManagerChannel = 1101010001;
inline constexpr std::u16string_view kSoftwareManagerName = u"HalvexSoftMgr.exe";
inline constexpr std::u16string_view kSoftwareManagerArguments =
    u"/action=showdetail_download /parent=user1204 /softdetailid=8033";
inline constexpr std::u16string_view kDownloadMessageText =
    u"\u542f\u52a8\u5931\u8d25\uff0c\u8bf7\u4e0b\u8f7dLudora\u5927\u5385";  // 启动失败，请下载Ludora大厅
inline constexpr std::u16string_view kDownloadMessageCaption = u"Ludora\u5927\u5385";  // Ludora大厅
inline constexpr std::u16string_view kPollLinePrefix = u"1234567";
inline constexpr std::u16string_view kNoHallSeparatorLine = u"-------------------------\r\n";
inline constexpr int32_t kWaitPolls = 120;  // the last poll only ends the wait; those before it look
inline constexpr uint32_t kPollPauseMilliseconds = 1000;
inline constexpr std::u16string_view kHallDirectoryIgnoredTrace = u"Hall directory ignored: not a full path\r\n";

// The operations the sequence needs from the platform. Every member must be
// set. None reports a failure: a read that finds nothing gives an empty text,
// and a start that fails is simply not noticed.
struct HallLaunchPlatform {
  // The hall directory from the per-user registry; empty when absent.
  std::function<std::u16string()> readHallDirectory;
  // `directory` joined with `fileName`; empty when the result is no usable path.
  std::function<std::u16string(const std::u16string& directory, std::u16string_view fileName)> combinePath;
  std::function<bool(const std::u16string& path)> fileExists;
  // The install-channel step for the hall in `hallDirectory`: records
  // `channelId` in the hall's install-channel file when due.
  std::function<void(const std::u16string& hallDirectory, int32_t channelId)> recordInstallChannel;
  // The launcher's current directory; empty when it cannot be read.
  std::function<std::u16string()> currentDirectory;
  // Shell "open" of `file` with `parameters` in `workingDirectory` (empty: the
  // launcher's current directory), shown normally.
  std::function<void(const std::u16string& file, const std::u16string& parameters,
                     const std::u16string& workingDirectory)>
      shellStart;
  // One look over the top-level windows: true when the hall's main window is there.
  std::function<bool()> hallWindowShown;
  std::function<void(uint32_t milliseconds)> sleep;
  // A modal message box with an OK button; returns when the user closed it.
  std::function<void(std::u16string_view text, std::u16string_view caption)> messageBox;
  // The PC manager's uninstall command from the per-machine registry; empty when absent.
  std::function<std::u16string()> readUninstallValue;
  // Starts a program from a whole command line, without waiting for it.
  std::function<void(const std::u16string& commandLine)> startProcess;
  // One debug-trace line, exactly as given.
  std::function<void(std::u16string_view line)> trace;
};

// Runs the whole sequence for a copy of channel `channelId` that asks for
// application `appId`. It ends at one of five points (installed: wait ran out,
// or second start made; not installed: message box closed, wait ran out, or
// hall started) and never reports a failure. An empty hall directory counts as
// no hall: nothing is looked for, or started, by the bare executable name; so
// does one that is not fully qualified (see isFullyQualifiedPath), with the
// trace line kHallDirectoryIgnoredTrace. The hall starts in the folder the
// install-channel step made current (the hall's cache folder), else in its own
// folder, never in the one the copy was run from. The software manager is
// started only from a fully qualified directory; without one the wait for the
// hall runs all the same.
void runHallLaunch(const HallLaunchPlatform& platform, int32_t channelId, int32_t appId);

// Polls for the hall's main window: poll n writes "1234567<n>\r\n", polls 1 to
// kWaitPolls - 1 look once and pause kPollPauseMilliseconds when nothing was
// found, and poll kWaitPolls only ends the wait. True when the window was
// found, false when the wait ran out.
bool waitForHallWindow(const HallLaunchPlatform& platform);

// "ludora://ENTERAPP", followed by " APPID:" and the decimal `appId` when it is non-zero.
std::u16string hallStartParameter(int32_t appId);

// The command line `executablePath` + " " + `arguments`, with the path in double
// quotes when it contains a space (U+0020). Nothing inside the path is escaped.
std::u16string buildCommandLine(std::u16string_view executablePath, std::u16string_view arguments);

// The PC manager's directory from its uninstall command: a quoted command ends
// at its closing quote (what follows are the uninstaller's arguments), an
// unquoted one is taken whole; the directory is that of the uninstaller (see
// containingDirectory). "\"C:\Program Files\Halvex\Uninst.exe\" /S" and
// C:\Halvex\Uninst.exe give C:\Program Files\Halvex\ and C:\Halvex\. Empty when
// there is no usable directory: an empty value, a bare name such as
// "MsiExec.exe /X{...}", a directory that is not fully qualified or holds a quote.
std::u16string managerDirectoryFromUninstallValue(std::u16string_view uninstallValue);
