#pragma once
// The history pane and the input line: two EDIT controls of the main window.
#include <windows.h>

HWND CreateHistoryPane(HWND parent, int x, int y, int width, int height);
HWND CreateInputLine(HWND parent, int x, int y, int width, int height);

// Hands the control every line appended but not shown yet; the second only
// when the program is idle or the oldest of them has waited long enough.
void FlushHistoryPane();
void FlushHistoryPaneIfDue();
