#include <windows.h>

#include "seams/message_box.h"
#include "win32/main_window.h"


namespace {

HWND OwnerOfBoxes() { return shell.boxOwner ? shell.boxOwner : shell.mainWindow; }

}  // namespace

void ShowErrorBox(const char* text) { MessageBoxA(OwnerOfBoxes(), text, "Error", MB_ICONERROR); }

void ShowPlainBox(const char* text) { MessageBoxA(OwnerOfBoxes(), text, "Error", MB_OK); }
