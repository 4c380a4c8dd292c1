#include <windows.h>

#include "win32/main_window.h"
#include "seams/message_box.h"

void ShowErrorBox(const char* text) { MessageBoxA(mainWindow, text, "Error", MB_ICONERROR); }

void ShowPlainBox(const char* text) { MessageBoxA(mainWindow, text, "Error", MB_OK); }
