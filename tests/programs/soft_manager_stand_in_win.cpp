// Stand-in for the software manager, built as "HalvexSoftMgr.exe": logs its
// start; acts as if it had installed the hall when asked: HALVEX_TEST_REGISTER_HALL
// names a hall directory to register for the current user, and
// HALVEX_TEST_WINDOW_MS shows a hall window for that long.
#include "tests/programs/stand_in_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  logStart(L"HalvexSoftMgr");
  const std::wstring hallDirectory = environmentText(L"HALVEX_TEST_REGISTER_HALL");
  if (!hallDirectory.empty()) {
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Korvani\\Ludora\\SYS", L"CorvelHallDirectory", REG_SZ,
                    hallDirectory.c_str(), DWORD((hallDirectory.size() + 1) * sizeof(wchar_t)));
  }
  const DWORD lifetime = environmentMilliseconds(L"HALVEX_TEST_WINDOW_MS");
  if (lifetime != 0) showHallWindow(lifetime);
  return 0;
}
