#include <windows.h>
#include <shellapi.h>

#include "win32/private_messages.h"
#include "app/tray_rules.h"
#include "win32/main_window.h"
#include "win32/shell_parts.h"
#include "app/window_rules.h"
#include "common/text.h"
#include "res/resource.h"

namespace {

constexpr UINT TRAY_ICON_ID = 101;

// All zero until the icon is added, so that removing an icon that was never
// added does nothing.
NOTIFYICONDATAA trayIcon;

void OpenTrayMenu() {
    POINT cursor;
    GetCursorPos(&cursor);
    // Without the foreground, the menu would not close when the user clicks
    // elsewhere; the empty message afterwards lets it close on the next click.
    SetForegroundWindow(mainWindow);
    TrackPopupMenu(GetSubMenu(trayMenu, 0), TPM_LEFTBUTTON, cursor.x, cursor.y, 0, mainWindow, nullptr);
    PostMessageA(mainWindow, WM_NULL, 0, 0);
}

}  // namespace

bool AddTrayIcon() {
    trayIcon = NOTIFYICONDATAA{};
    trayIcon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    trayIcon.hWnd = mainWindow;
    trayIcon.uID = TRAY_ICON_ID;
    trayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    trayIcon.uCallbackMessage = WM_TRAY_NOTIFY;
    // The notification area draws at the desktop's DPI.
    trayIcon.hIcon = IconAt(IDI_MAIN, ScaledForDpi(SMALL_ICON_SIZE, DpiOf(nullptr)));
    // The tip has said "Norrik 1.00" whatever the version: kept.
    CopyText(trayIcon.szTip, "Norrik 1.00");
    return Shell_NotifyIconA(NIM_ADD, &trayIcon) != FALSE;
}

void RemoveTrayIcon() { Shell_NotifyIconA(NIM_DELETE, &trayIcon); }

void OnTrayNotify(LPARAM mouseMessage) {
    switch (ActionForTrayMessage(static_cast<uint32_t>(mouseMessage), IsWindowVisible(mainWindow) != FALSE)) {
    case TrayAction::HideWindow: HideMainWindow(); break;
    case TrayAction::ShowWindow: ShowMainWindow(); break;
    case TrayAction::OpenMenu: OpenTrayMenu(); break;
    case TrayAction::None: break;
    }
}

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
