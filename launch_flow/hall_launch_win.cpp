#include "launch_flow/hall_launch_win.h"

#include <windows.h>
#include <vector>

#include "common/system_functions_win.h"
#include "common/wide_win.h"
#include "launch_flow/debug_trace_win.h"
#include "launch_flow/hall_window_win.h"
#include "launch_flow/install_channel.h"
#include "launch_flow/install_channel_win.h"
#include "launch_flow/path_combine_win.h"
#include "launch_flow/process_start_win.h"
#include "launch_flow/registry_path_win.h"

namespace {

constexpr wchar_t kHallKey[] = L"Software\\Korvani\\Ludora\\SYS";
constexpr wchar_t kHallDirectoryValue[] = L"CorvelHallDirectory";
constexpr wchar_t kManagerUninstallKey[] =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\HalvexMgr";
constexpr wchar_t kUninstallValue[] = L"UninstallString";

std::u16string fromWide(const std::wstring& text) { return std::u16string(as_u16view(text)); }

void startFromCommandLine(const std::u16string& commandLine) {
  std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
  writable.push_back(L'\0');
  // The launcher never waits for the program, so it keeps no handle to it:
  // the owner closes it at once.
  startProcess(writable.data());
}

}  // namespace

HallLaunchPlatform windowsHallLaunchPlatform() {
  HallLaunchPlatform platform;
  platform.readHallDirectory = [] {
    return fromWide(readRegistryPath(HKEY_CURRENT_USER, kHallKey, kHallDirectoryValue));
  };
  platform.combinePath = combinePath;
  platform.fileExists = [](const std::u16string& path) {
    return systemFunctions().PathFileExistsW(as_wcstr(path)) != FALSE;
  };
  platform.recordInstallChannel = [](const std::u16string& hallDirectory, int32_t channelId) {
    recordInstallChannelIfDue(windowsInstallChannelPlatform(), hallDirectory, channelId);
  };
  platform.currentDirectory = [] {
    std::wstring directory(GetCurrentDirectoryW(0, nullptr), L'\0');
    const DWORD length = GetCurrentDirectoryW(DWORD(directory.size()), directory.data());
    directory.resize(length < directory.size() ? length : 0);  // changed meanwhile: unreadable
    return fromWide(directory);
  };
  platform.shellStart = [](const std::u16string& file, const std::u16string& parameters,
                           const std::u16string& workingDirectory) {
    systemFunctions().ShellExecuteW(nullptr, L"open", as_wcstr(file), as_wcstr(parameters),
                                    workingDirectory.empty() ? nullptr : as_wcstr(workingDirectory), SW_SHOWNORMAL);
  };
  platform.hallWindowShown = hallWindowShown;
  platform.sleep = [](uint32_t milliseconds) { Sleep(milliseconds); };
  platform.messageBox = [](std::u16string_view text, std::u16string_view caption) {
    // The box loads DLLs by their bare names on demand: ole32 for its
    // input-method support (Wine's imm32 does), msimg32 for the themed
    // buttons of Common Controls 6 (Wine's comctl32 delay-loads it). Such a
    // load would find one in the program's folder; once each is loaded from
    // System32 and kept loaded, the later load finds it in place.
    for (const wchar_t* name : {L"ole32.dll", L"msimg32.dll"}) loadSystemLibrary(name).release();
    systemFunctions().MessageBoxW(nullptr, as_wcstr(std::u16string(text)), as_wcstr(std::u16string(caption)), MB_OK);
  };
  platform.readUninstallValue = [] {
    return fromWide(readRegistryPath(HKEY_LOCAL_MACHINE, kManagerUninstallKey, kUninstallValue));
  };
  platform.startProcess = startFromCommandLine;
  platform.trace = writeTraceLine;
  return platform;
}
