// The Windows program's commands: each menu, toolbar and tray identifier
// maps to the core's Command, and the windows and dialogs those commands
// open are shown here.
#include <windows.h>

#include "app/commands.h"
#include "app/toolbar_rules.h"
#include "res/resource.h"
#include "seams/front_end_commands.h"
#include "seams/shell.h"
#include "win32/connect_dialog.h"
#include "win32/main_window.h"
#include "win32/on_demand.h"
#include "win32/options.h"
#include "win32/shell_parts.h"

namespace {

const char* const MAKER_WEB_PAGE = "https://www.velmora.example/norrik/";
const char* const MAKER_EMAIL = "mailto:norrik@velmora.example";

// Menu items and buttons of the same function share one command; the items
// that swap identifiers at run time map under both. Command::None for every
// identifier nothing handles (the edit controls' own notifications carry
// identifier 0, for one).
Command CommandFor(int id) {
    switch (id) {
    case IDT_CONNECT:
    case IDM_CONNECT: return Command::Connect;
    case IDT_DISCONNECT:
    case IDM_DISCONNECT: return Command::Disconnect;
    case IDT_START_SERVER:
    case IDM_START_SERVER: return Command::StartServer;
    case IDT_STOP_SERVER:
    case IDM_STOP_SERVER: return Command::StopServer;
    case IDT_SEND_POPUP:
    case IDM_TRAY_SEND_POPUP:
    case IDM_SEND_POPUP: return Command::OpenSendWindow;
    case IDT_HELP:
    case IDM_HELP: return Command::OpenHelpFile;
    case IDM_EXIT:
    case IDM_TRAY_QUIT: return Command::Exit;
    case IDM_CLEAR_HISTORY: return Command::ClearHistory;
    case IDM_ABOUT:
    case IDM_TRAY_ABOUT: return Command::About;
    case IDM_TRAY_HIDE: return Command::HideWindow;
    case IDM_TRAY_SHOW: return Command::ShowWindow;
    case IDM_TRAY_OPTIONS:
    case IDM_OPTIONS: return Command::Options;
    case IDM_ALWAYS_ON_TOP: return Command::ToggleAlwaysOnTop;
    case IDM_SHOW_TOOLBAR: return Command::ToggleToolbar;
    default: return Command::None;
    }
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

void CheckViewItem(int id, bool on) {
    CheckMenuItem(GetMenu(shell.mainWindow), static_cast<UINT>(id), MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

}  // namespace

void RouteCommand(int id) { RunCommand(CommandFor(id), ""); }

// ------------------------------------------------ what the commands open

// The menus and the toolbar are the Windows program's commands: it types
// none of its own.
Command FrontEndCommandFor(const char*, const char**) { return Command::None; }

const char* const FRONT_END_HELP[] = {nullptr};

bool AskForHost() {
    RunConnectDialog();
    return true;
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

void ShowAbout() { DialogBoxParamA(shell.appInstance, MAKEINTRESOURCEA(IDD_ABOUT), shell.mainWindow, AboutDialogProc, 0); }

void ShowOptions() { ShowOptions(shell.mainWindow); }

void ShowAlwaysOnTop(bool on) {
    CheckViewItem(IDM_ALWAYS_ON_TOP, on);
    // Wine stacks the window after the toolbar's tooltip, which it owns and
    // which lies above it, and then makes it topmost only if the window that
    // follows is topmost too. Unowned for this one call, the tooltip stays
    // out of it. Windows does not need this, and a tooltip that shows puts
    // itself on top anyway.
    if (shell.toolbarTooltip) SetWindowLongPtrA(shell.toolbarTooltip, GWLP_HWNDPARENT, 0);
    SetWindowPos(shell.mainWindow, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    if (shell.toolbarTooltip) SetWindowLongPtrA(shell.toolbarTooltip, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(shell.mainWindow));
}

void ShowToolbar(bool on) {
    if (on) {
        CreateToolbar();
    } else {
        DestroyToolbar();
    }
    CheckViewItem(IDM_SHOW_TOOLBAR, on);
    RequestLayout();
}

void CloseProgram() { DestroyWindow(shell.mainWindow); }
