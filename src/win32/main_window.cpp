#include "win32/main_window.h"

#include <commctrl.h>

#include "win32/private_messages.h"
#include "win32/shell_parts.h"
#include "app/window_rules.h"
#include "win32/console.h"
#include "net/alerts.h"
#include "net/connection.h"
#include "net/control_states.h"
#include "res/resource.h"
#include "settings/settings.h"

ShellState shell;

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

const char* const MAIN_WINDOW_CLASS = "Norrik Version 1.9";

namespace {

void ShowStartFailure(const char* text) {
    MessageBoxA(nullptr, text, "Error", MB_ICONERROR);
}

void ShowOwnedError(HWND owner, const char* text) {
    MessageBoxA(owner, text, "Error", MB_ICONERROR);
}

void MoveChild(HWND child, const ChildRect& rect) {
    if (child) MoveWindow(child, rect.x, rect.y, rect.width, rect.height, TRUE);
}

void ShowChild(HWND child, int command) {
    if (child) ShowWindow(child, command);
}

LRESULT OnSize(LPARAM lParam) {
    MainLayout layout =
        ComputeLayout(LOWORD(lParam), HIWORD(lParam), CurrentSettings().Toolbar, shell.toolbarBottom, shell.windowDpi);
    if (shell.toolbarWindow) SendMessageA(shell.toolbarWindow, WM_SIZE, 0, 0);
    // Hidden while they move, so the pair repaints once in its new place.
    ShowChild(shell.inputLine, SW_HIDE);
    ShowChild(shell.historyPane, SW_HIDE);
    MoveChild(shell.historyPane, layout.history);
    MoveChild(shell.inputLine, layout.input);
    ShowChild(shell.inputLine, SW_SHOW);
    ShowChild(shell.historyPane, SW_SHOW);
    return 0;
}

LRESULT OnActivate(WPARAM wParam) {
    const bool active = LOWORD(wParam) != WA_INACTIVE;
    SetWindowActive(active);
    if (active && shell.inputLine) SetFocus(shell.inputLine);
    return 0;
}

LRESULT OnDestroy() {
    SaveCurrentSettings();
    ShutdownNetwork();
    DestroyToolbar();
    RemoveTrayIcon();
    PostQuitMessage(0);
    return 0;
}

void SetWindowIcons(HWND window) {
    SendMessageA(window, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(IconAt(IDI_MAIN, ScaledForDpi(SMALL_ICON_SIZE, shell.windowDpi))));
    SendMessageA(window, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(IconAt(IDI_MAIN, ScaledForDpi(LARGE_ICON_SIZE, shell.windowDpi))));
}

// Moved to a display of another scale: the window takes the place Windows
// proposes, which keeps it the same size to the eye, and redraws its
// toolbar images, icons and layout for the new DPI.
LRESULT OnDpiChanged(WPARAM wParam, LPARAM lParam) {
    shell.windowDpi = LOWORD(wParam);
    if (shell.toolbarWindow) ScaleToolbar();
    SetWindowIcons(shell.mainWindow);
    const RECT* proposed = reinterpret_cast<const RECT*>(lParam);
    SetWindowPos(shell.mainWindow, nullptr, proposed->left, proposed->top, proposed->right - proposed->left,
                 proposed->bottom - proposed->top, SWP_NOZORDER | SWP_NOACTIVATE);
    RequestLayout();
    return 0;
}

LRESULT OnNotify(LPARAM lParam) {
    NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
    if (header && shell.toolbarTooltip && header->hwndFrom == shell.toolbarTooltip) OnToolbarTooltip(header);
    return 0;
}

}  // namespace

void RequestLayout() {
    RECT client;
    GetClientRect(shell.mainWindow, &client);
    SendMessageA(shell.mainWindow, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
}

int DpiOf(HWND window) {
    // GetDpiForWindow comes with Windows 10; before it, and for no window,
    // the desktop has one DPI.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    const UINT dpi = window && dpiForWindow ? dpiForWindow(window) : 0;
    if (dpi) return static_cast<int>(dpi);
    HDC screen = GetDC(nullptr);
    const int desktopDpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return desktopDpi > 0 ? desktopDpi : DEFAULT_DPI;
}

HICON IconAt(int id, int size) {
    // Should the list fill, the icon of the standard size serves.
    for (const LoadedIcon& entry : shell.loadedIcons) {
        if (entry.icon && entry.id == id && entry.size == size) return entry.icon;
    }
    for (LoadedIcon& entry : shell.loadedIcons) {
        if (entry.icon) continue;
        entry.icon = static_cast<HICON>(
            LoadImageA(shell.appInstance, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        if (!entry.icon) break;
        entry.id = id;
        entry.size = size;
        return entry.icon;
    }
    return LoadIconA(shell.appInstance, MAKEINTRESOURCEA(id));
}

void InitMainWindow(HWND window) {
    InitCommonControls();
    LoadCurrentSettings();
    const ChatSettings& settings = CurrentSettings();
    shell.trayMenu = LoadMenuA(shell.appInstance, MAKEINTRESOURCEA(IDR_TRAYMENU));
    shell.windowDpi = DpiOf(window);
    SetWindowIcons(window);

    RECT client;
    GetClientRect(window, &client);
    const int inputHeight = ScaledForDpi(INPUT_LINE_HEIGHT, shell.windowDpi);
    if (!CreateInputLine(window, client.left, client.bottom - inputHeight, client.right, inputHeight)) {
        // The wording, "be be" included, is the program's own: kept.
        ShowOwnedError(window, "Unable to create input text field! You will be be able to type messages");
    }
    if (!CreateHistoryPane(window, client.left, client.top, client.right,
                           client.bottom - ScaledForDpi(CHILD_GAP, shell.windowDpi) - inputHeight)) {
        ShowOwnedError(window, "Could not create history window");
    }

    InitNetwork();

    if (settings.AlwaysOnTop == 1) {
        CheckMenuItem(GetMenu(window), IDM_ALWAYS_ON_TOP, MF_BYCOMMAND | MF_CHECKED);
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    if (settings.Toolbar == 1) {
        CreateToolbar();
        CheckMenuItem(GetMenu(window), IDM_SHOW_TOOLBAR, MF_BYCOMMAND | MF_CHECKED);
    }

    // Handed to the pane while the window is still hidden, the start-up
    // lines cost no repaint of its scroll bar.
    FlushHistoryPane();

    // Adding the tray icon takes tens of milliseconds under Wine. Only a
    // window that may start hidden waits for it; any other is shown, set up
    // and drawn first.
    const bool mayStartHidden = StartsHidden(settings, true);
    if (mayStartHidden) {
        if (StartsHidden(settings, AddTrayIcon())) {
            HideMainWindow();
        } else {
            ShowMainWindow();
        }
    } else {
        ShowMainWindow();
    }

    RequestLayout();

    ApplyControlStates();
    if (shell.inputLine) SetFocus(shell.inputLine);
    if (!mayStartHidden) {
        UpdateWindow(window);
        if (settings.Trayicon == 1) AddTrayIcon();
    }
}

namespace {

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: return 0;
    case WM_DESTROY: return OnDestroy();
    case WM_SIZE: return OnSize(lParam);
    case WM_ACTIVATE: return OnActivate(wParam);
    case WM_NOTIFY: return OnNotify(lParam);
    case WM_DPICHANGED: return OnDpiChanged(wParam, lParam);
    case WM_COMMAND: RouteCommand(LOWORD(wParam)); return 0;
    // WinSock packs the event into the low word and the error into the high
    // word (WSAGETSELECTEVENT, WSAGETSELECTERROR, WSAGETASYNCERROR).
    case WM_LISTEN_EVENT: OnListenEvent(static_cast<SocketHandle>(wParam), LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_CONN_EVENT:
        OnConnectionEvent(static_cast<SocketHandle>(wParam), LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_RESOLVE_DONE: OnResolveDone(static_cast<uintptr_t>(wParam), HIWORD(lParam)); return 0;
    case WM_TRAY_NOTIFY: OnTrayNotify(lParam); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

bool StartMainWindow(HINSTANCE instance, int* exitCode) {
    shell.appInstance = instance;

    // Where the window will open is not known yet: it is sized for the
    // desktop's DPI, and a display of another scale sends WM_DPICHANGED.
    const int dpi = DpiOf(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    // The very icon the window is given next, read from the resources once.
    windowClass.hIcon = IconAt(IDI_MAIN, ScaledForDpi(LARGE_ICON_SIZE, dpi));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = MAIN_WINDOW_CLASS;
    if (!RegisterClassA(&windowClass)) {
        ShowStartFailure("Could not register class, exiting...");
        *exitCode = 1;
        return false;
    }

    shell.mainWindow = CreateWindowExA(0, MAIN_WINDOW_CLASS, MAIN_WINDOW_CLASS, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                 CW_USEDEFAULT, ScaledForDpi(MAIN_WINDOW_WIDTH, dpi),
                                 ScaledForDpi(MAIN_WINDOW_HEIGHT, dpi), nullptr,
                                 LoadMenuA(instance, MAKEINTRESOURCEA(IDR_MAINMENU)), instance, nullptr);
    if (!shell.mainWindow) {
        ShowStartFailure("Could not create main window");
        *exitCode = 1;
        return false;
    }

    InitMainWindow(shell.mainWindow);
    *exitCode = 0;
    return true;
}

int RunMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
        FlushHistoryPaneIfDue();
    }
    return static_cast<int>(message.wParam);
}
