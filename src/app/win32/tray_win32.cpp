#include "app/win32/main_window.h"
#include "app/win32/shell_parts.h"
#include "res/resource.h"

// No icon is put in the notification area yet.
void AddTrayIcon() {}
void RemoveTrayIcon() {}
void OnTrayNotify(LPARAM) {}

// The tray menu's hide/show item always says what it would do next.
void HideMainWindow() {
    ShowWindow(mainWindow, SW_HIDE);
    ModifyMenuA(trayMenu, IDM_TRAY_HIDE, MF_BYCOMMAND | MF_STRING, IDM_TRAY_SHOW, "&Show");
}

void ShowMainWindow() {
    ShowWindow(mainWindow, SW_SHOW);
    BringWindowToTop(mainWindow);
    ModifyMenuA(trayMenu, IDM_TRAY_SHOW, MF_BYCOMMAND | MF_STRING, IDM_TRAY_HIDE, "&Hide");
}
