#include "tests/programs/stand_in_win.h"

#include "common/unique_handle_win.h"
#include "tests/support/local_time_win.h"
#include "tests/support/utf8_win.h"

#include <cwchar>
#include <string>
#include <vector>

namespace {

std::wstring moduleDirectory() {
  std::vector<wchar_t> path(32768);
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
  std::wstring text(path.data(), length);
  return text.substr(0, text.find_last_of(L'\\') + 1);
}

std::wstring currentDirectory() {
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  std::vector<wchar_t> directory(needed + 1);
  const DWORD length = GetCurrentDirectoryW(DWORD(directory.size()), directory.data());
  return std::wstring(directory.data(), length);
}

// Nanoseconds since 1970-01-01 UTC, from the finest clock the system offers.
unsigned long long unixNanoseconds() {
  using PreciseTime = void(WINAPI*)(FILETIME*);
  static const auto precise = reinterpret_cast<PreciseTime>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
  FILETIME now{};
  if (precise != nullptr) {
    precise(&now);
  } else {
    GetSystemTimeAsFileTime(&now);
  }
  const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return (ticks - 116444736000000000ull) * 100;
}

// dwFlags and wShowWindow of this program's start-up record, tab-separated.
std::wstring startupFields() {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  return std::to_wstring(startup.dwFlags) + L"\t" + std::to_wstring(startup.wShowWindow);
}

// A console program started with CREATE_NO_WINDOW has a console (its output
// opens) but no console window; a GUI program, or a console program started
// detached, has none.
const wchar_t* consoleState() {
  const UniqueHandle output = uniqueFile(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                                    nullptr));
  if (!output) return L"none";
  return GetConsoleWindow() != nullptr ? L"window" : L"windowless";
}

LRESULT CALLBACK hallWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void logStart(const wchar_t* program) {
  const std::wstring line = std::wstring(program) + L"\t" + std::to_wstring(GetCurrentProcessId()) + L"\t" +
                            std::to_wstring(unixNanoseconds()) + L"\t" + GetCommandLineW() + L"\t" +
                            currentDirectory() + L"\t" + startupFields() + L"\t" + consoleState() + L"\t" +
                            std::to_wstring(localTimeOffsetMinutes()) + L"\n";
  std::wstring path = environmentText(kLogVariable);
  if (path.empty()) path = moduleDirectory() + L"stand_in_log.txt";
  // The hall's two starts come within milliseconds of each other, and Wine
  // emulates append-only writes by finding the end first and writing there,
  // so two stand-ins writing at once can overwrite each other's line. One
  // mutex shared by every stand-in makes them write in turn.
  const UniqueHandle turn(CreateMutexW(nullptr, FALSE, L"Local\\channel-stand-in-log"));
  const DWORD waited = turn ? WaitForSingleObject(turn.get(), 10000) : WAIT_FAILED;
  // An abandoned mutex (a stand-in ended while writing) is ours all the same.
  const bool owned = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  if (const UniqueHandle file = uniqueFile(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))) {
    const std::string bytes = utf8FromWide(line);
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr);
  }
  if (owned) ReleaseMutex(turn.get());
}

std::wstring environmentText(const wchar_t* name) {
  const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) return {};
  std::vector<wchar_t> value(needed);
  const DWORD length = GetEnvironmentVariableW(name, value.data(), needed);
  return std::wstring(value.data(), length < needed ? length : 0);
}

DWORD environmentMilliseconds(const wchar_t* name) {
  return DWORD(std::wcstoul(environmentText(name).c_str(), nullptr, 10));
}

void showHallWindow(DWORD milliseconds) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = hallWindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"GRootViewClass";
  RegisterClassW(&windowClass);
  int width = 1024, height = 768;
  if (swscanf(environmentText(L"LUDORA_TEST_WINDOW_PIXELS").c_str(), L"%dx%d", &width, &height) == 2)
    SetProcessDPIAware();  // sized in the screen's own pixels, as a high-DPI hall is
  const HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Ludora stand-in", WS_POPUP | WS_VISIBLE, 0, 0,
                                      width, height, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) return;
  SetTimer(window, 1, milliseconds, nullptr);
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}
