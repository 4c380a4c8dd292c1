#pragma once
// The main window: class, creation, start-up sequence, layout, activation
// and shutdown.
#include <windows.h>

#include "win32/shell_state.h"

extern const char* const MAIN_WINDOW_CLASS;  // also the title

// The DPI of the display a window is on; for no window, the desktop's.
int DpiOf(HWND window);

// The icon drawn for size by size pixels; loaded once for each size.
HICON IconAt(int id, int size);

// Registers the class, creates the window and runs InitMainWindow. On a
// failure the user has been told and exitCode holds the program's result.
bool StartMainWindow(HINSTANCE instance, int* exitCode);

// Runs until WM_QUIT and returns its wParam.
int RunMessageLoop();

void InitMainWindow(HWND window);

// Asks for a new layout the way every part of the program does: WM_SIZE
// with the current client size.
void RequestLayout();
