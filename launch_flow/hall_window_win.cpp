#include "launch_flow/hall_window_win.h"

#include "common/system_functions_win.h"
#include "common/wide_win.h"
#include "launch_flow/hall_window.h"

BOOL CALLBACK hallWindowEnumProc(HWND window, LPARAM context) {
  // The cheap class test comes first, so other windows cost no further queries.
  const SystemFunctions& system = systemFunctions();
  wchar_t className[MAX_PATH] = {};
  system.GetClassNameW(window, className, MAX_PATH);
  if (!isHallWindowClass(as_u16cstr(className))) return TRUE;
  if ((system.GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) == 0) return TRUE;
  if (system.MonitorFromWindow(window, MONITOR_DEFAULTTONULL) == nullptr) return TRUE;
  RECT rect{};
  if (!system.GetWindowRect(window, &rect)) return TRUE;
  if (!isHallMainWindowSize(rect.left, rect.top, rect.right, rect.bottom)) return TRUE;
  *reinterpret_cast<LONG*>(context) = 1;
  return FALSE;
}

bool hallWindowShown() {
  LONG found = 0;
  systemFunctions().EnumWindows(hallWindowEnumProc, reinterpret_cast<LPARAM>(&found));
  return found != 0;
}
