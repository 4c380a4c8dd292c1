#pragma once
// The main window: class, creation, start-up sequence, layout, activation
// and shutdown.
#include <windows.h>

extern HINSTANCE appInstance;
extern HWND mainWindow;
extern HMENU trayMenu;

extern const char* const MAIN_WINDOW_CLASS;  // also the title

// Registers the class, creates the window and runs InitMainWindow. On a
// failure the user has been told and exitCode holds the program's result.
bool StartMainWindow(HINSTANCE instance, int* exitCode);

// Runs until WM_QUIT and returns its wParam.
int RunMessageLoop();

void InitMainWindow(HWND window);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Asks for a new layout the way every part of the program does: WM_SIZE
// with the current client size.
void RequestLayout();
