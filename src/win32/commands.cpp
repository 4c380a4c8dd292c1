#include <windows.h>
#include <shellapi.h>

#include "app/commands.h"
#include "app/toolbar_rules.h"
#include "win32/main_window.h"
#include "win32/shell_parts.h"
#include "console/history.h"
#include "net/connection.h"
#include "win32/connect_dialog.h"
#include "win32/popups.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "win32/options.h"

namespace {

const char* const MAKER_WEB_PAGE = "https://www.velmora.example/norrik/";
const char* const MAKER_EMAIL = "mailto:norrik@velmora.example";

void OpenWithShell(const char* target) {
    ShellExecuteA(nullptr, "open", target, nullptr, nullptr, SW_SHOWDEFAULT);
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
    case IDCANCEL: EndDialog(dialog, 0); break;
    case IDC_WEBPAGE: OpenWithShell(MAKER_WEB_PAGE); break;
    case IDC_EMAIL: OpenWithShell(MAKER_EMAIL); break;
    default: break;
    }
    return TRUE;
}

void OpenHelpFile() {
    char executable[HELP_PATH_SIZE] = "";
    DWORD length = GetModuleFileNameA(nullptr, executable, sizeof executable);
    // A path that filled the buffer may have been cut: refuse it, as one
    // whose help path would not fit.
    if (length == 0 || length >= sizeof executable) return;
    char helpPath[HELP_PATH_SIZE];
    if (HelpPathFromExecutable(executable, helpPath, sizeof helpPath)) OpenWithShell(helpPath);
}

void ToggleAlwaysOnTop() {
    bool on = chatSettings.AlwaysOnTop != 1;
    CheckMenuItem(GetMenu(mainWindow), IDM_ALWAYS_ON_TOP, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
    // Wine stacks the window after the toolbar's tooltip, which it owns and
    // which lies above it, and then makes it topmost only if the window that
    // follows is topmost too. Unowned for this one call, the tooltip stays
    // out of it. Windows does not need this, and a tooltip that shows puts
    // itself on top anyway.
    if (toolbarTooltip) SetWindowLongPtrA(toolbarTooltip, GWLP_HWNDPARENT, 0);
    SetWindowPos(mainWindow, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    if (toolbarTooltip) SetWindowLongPtrA(toolbarTooltip, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(mainWindow));
    chatSettings.AlwaysOnTop = on ? 1 : 0;
}

void ToggleToolbar() {
    if (chatSettings.Toolbar == 1) {
        DestroyToolbar();
        CheckMenuItem(GetMenu(mainWindow), IDM_SHOW_TOOLBAR, MF_BYCOMMAND | MF_UNCHECKED);
        chatSettings.Toolbar = 0;
    } else {
        CreateToolbar();
        CheckMenuItem(GetMenu(mainWindow), IDM_SHOW_TOOLBAR, MF_BYCOMMAND | MF_CHECKED);
        chatSettings.Toolbar = 1;
    }
    RequestLayout();
}

}  // namespace

void RouteCommand(int id) {
    switch (CommandFor(id)) {
    case Command::ConnectDialog: RunConnectDialog(); break;
    case Command::Disconnect: Disconnect(); break;
    case Command::StartServer: StartServer(); break;
    case Command::StopServer: StopServer(); break;
    case Command::SendPopup: OpenSendPopup(); break;
    case Command::Help: OpenHelpFile(); break;
    case Command::Exit: DestroyWindow(mainWindow); break;
    case Command::ClearHistory: ClearHistory(); break;
    case Command::About:
        DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_ABOUT), mainWindow, AboutDialogProc, 0);
        break;
    case Command::HideWindow: HideMainWindow(); break;
    case Command::ShowWindow: ShowMainWindow(); break;
    case Command::Options: ShowOptions(mainWindow); break;
    case Command::ToggleAlwaysOnTop: ToggleAlwaysOnTop(); break;
    case Command::ToggleToolbar: ToggleToolbar(); break;
    case Command::None: break;
    }
}
