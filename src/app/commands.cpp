#include "app/commands.h"

#include "res/resource.h"

Command CommandFor(int id) {
    switch (id) {
    case IDT_CONNECT:
    case IDM_CONNECT: return Command::ConnectDialog;
    case IDT_DISCONNECT:
    case IDM_DISCONNECT: return Command::Disconnect;
    case IDT_START_SERVER:
    case IDM_START_SERVER: return Command::StartServer;
    case IDT_STOP_SERVER:
    case IDM_STOP_SERVER: return Command::StopServer;
    case IDT_SEND_POPUP:
    case IDM_TRAY_SEND_POPUP:
    case IDM_SEND_POPUP: return Command::SendPopup;
    case IDT_HELP:
    case IDM_HELP: return Command::Help;
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
