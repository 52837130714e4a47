// Recognises the hall's main window among the top-level windows.
#pragma once

#include <windows.h>

// Window-enumeration callback for EnumWindows. `context` is the address of a
// LONG flag that the caller set to 0. For the hall's main window (class name
// beginning with "GRootViewClass", visible, on a monitor, more than 400 wide
// and 500 high) it writes 1 to the flag and returns FALSE to end the
// enumeration; for any other window, or when a query fails, it returns TRUE
// and leaves the flag alone.
BOOL CALLBACK hallWindowEnumProc(HWND window, LPARAM context);

// One enumeration of the top-level windows: true when the hall's main window is among them.
bool hallWindowShown();
