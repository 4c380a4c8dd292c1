#include <windows.h>

#include <cstring>

#include "win32/private_messages.h"
#include "app/tray_rules.h"
#include "win32/main_window.h"
#include "win32/on_demand.h"
#include "win32/shell_parts.h"
#include "app/window_rules.h"
#include "common/text.h"
#include "net/connection.h"
#include "res/resource.h"

namespace {

constexpr UINT TRAY_ICON_ID = 101;

void OpenTrayMenu() {
    POINT cursor;
    GetCursorPos(&cursor);
    // Without the foreground, the menu would not close when the user clicks
    // elsewhere; the empty message afterwards lets it close on the next click.
    SetForegroundWindow(shell.mainWindow);
    TrackPopupMenu(GetSubMenu(shell.trayMenu, 0), TPM_LEFTBUTTON, cursor.x, cursor.y, 0, shell.mainWindow, nullptr);
    PostMessageA(shell.mainWindow, WM_NULL, 0, 0);
}

}  // namespace

bool AddTrayIcon() {
    shell.trayIcon = NOTIFYICONDATAA{};
    shell.trayIcon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    shell.trayIcon.hWnd = shell.mainWindow;
    shell.trayIcon.uID = TRAY_ICON_ID;
    shell.trayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    shell.trayIcon.uCallbackMessage = WM_TRAY_NOTIFY;
    // The notification area draws at the desktop's DPI.
    shell.trayIcon.hIcon = IconAt(IDI_MAIN, ScaledForDpi(SMALL_ICON_SIZE, DpiOf(nullptr)));
    CopyText(shell.trayIcon.szTip, TrayTip(CurrentConnection().privacy));
    return NotifyIcon(NIM_ADD, &shell.trayIcon) != FALSE;
}

void ShowTrayTip(const char* tip) {
    // Before the icon was ever added there is nothing to change.
    if (!shell.trayIcon.hWnd || std::strcmp(shell.trayIcon.szTip, tip) == 0) return;
    CopyText(shell.trayIcon.szTip, tip);
    NOTIFYICONDATAA change = shell.trayIcon;
    change.uFlags = NIF_TIP;
    NotifyIcon(NIM_MODIFY, &change);
}

void RemoveTrayIcon() { NotifyIcon(NIM_DELETE, &shell.trayIcon); }

void OnTrayNotify(LPARAM mouseMessage) {
    switch (ActionForTrayMessage(static_cast<uint32_t>(mouseMessage), IsWindowVisible(shell.mainWindow) != FALSE)) {
    case TrayAction::HideWindow: HideMainWindow(); break;
    case TrayAction::ShowWindow: ShowMainWindow(); break;
    case TrayAction::OpenMenu: OpenTrayMenu(); break;
    case TrayAction::None: break;
    }
}

// The tray menu's hide/show item always says what it would do next.
void HideMainWindow() {
    ShowWindow(shell.mainWindow, SW_HIDE);
    ModifyMenuA(shell.trayMenu, IDM_TRAY_HIDE, MF_BYCOMMAND | MF_STRING, IDM_TRAY_SHOW, "&Show");
}

void ShowMainWindow() {
    ShowWindow(shell.mainWindow, SW_SHOW);
    BringWindowToTop(shell.mainWindow);
    ModifyMenuA(shell.trayMenu, IDM_TRAY_SHOW, MF_BYCOMMAND | MF_STRING, IDM_TRAY_HIDE, "&Hide");
}
