// Stand-in for the hall, built as "ludora.exe": logs each start and, when
// LUDORA_TEST_WINDOW_MS is set, shows a hall window for that long, after
// LUDORA_TEST_WINDOW_DELAY_MS.
#include "tests/programs/stand_in_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  logStart(L"ludora");
  const DWORD lifetime = environmentMilliseconds(L"LUDORA_TEST_WINDOW_MS");
  if (lifetime == 0) return 0;
  Sleep(environmentMilliseconds(L"LUDORA_TEST_WINDOW_DELAY_MS"));
  showHallWindow(lifetime);
  return 0;
}
