#pragma once
// What the Windows program keeps between window messages, in one record:
// its windows and menus, the toolbar, the tray icon, the history's pending
// text and the count of open popups. The core keeps its own records; the
// shell never holds what the core decides.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "app/window_rules.h"

struct LoadedIcon {
    int id;
    int size;
    HICON icon;
};

struct ShellState {
    HINSTANCE appInstance = nullptr;
    HWND mainWindow = nullptr;
    HMENU trayMenu = nullptr;
    // The DPI the main window is drawn at: that of its display, kept up to
    // date by WM_DPICHANGED.
    int windowDpi = DEFAULT_DPI;
    // The window that owns the message boxes the core asks for while it is
    // not null: a dialog whose button led to them; the main window otherwise.
    HWND boxOwner = nullptr;

    HWND toolbarWindow = nullptr;
    HWND toolbarTooltip = nullptr;
    int toolbarBottom = 0;
    HIMAGELIST toolbarImages = nullptr;

    // All zero until the icon is added, so that removing an icon that was
    // never added does nothing.
    NOTIFYICONDATAA trayIcon = {};

    HWND historyPane = nullptr;
    HWND inputLine = nullptr;
    WNDPROC previousInputLineProc = nullptr;
    WNDPROC previousHistoryPaneProc = nullptr;
    // Text appended at the end of the history that the control has not been
    // given yet, and since when (see win32/console.cpp).
    std::string pendingHistory;
    DWORD pendingSince = 0;

    // Received popup windows open now.
    int openReceivedPopups = 0;

    // Two icons at the sizes of the few scales a desktop has: a short list
    // that is never freed.
    LoadedIcon loadedIcons[16] = {};
};

extern ShellState shell;
