#include <windows.h>

#include "win32/main_window.h"
#include "win32/shell_parts.h"
#include "app/tray_rules.h"
#include "net/connection.h"
#include "res/resource.h"
#include "seams/controls.h"

namespace {

void Enable(HMENU menu, int id, bool enabled) {
    EnableMenuItem(menu, static_cast<UINT>(id), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

// The place of the menu that shows either first or second shows shown now,
// with its text. Nothing changes when it already does: ModifyMenu by the
// other command finds no item then.
void ShowInPlace(HMENU menu, int first, int second, int shown, const char* text, bool enabled) {
    const int other = shown == first ? second : first;
    ModifyMenuA(menu, static_cast<UINT>(other), MF_BYCOMMAND | MF_STRING, static_cast<UINT_PTR>(shown), text);
    Enable(menu, shown, enabled);
}

}  // namespace

void ShowControls(const ControlRow& row, const char* connectItemText, const char* serverItemText) {
    for (int i = 0; shell.toolbarWindow && i < TOOLBAR_BUTTON_COUNT; ++i) {
        SendMessageA(shell.toolbarWindow, TB_ENABLEBUTTON, static_cast<WPARAM>(IDT_CONNECT + i), row.buttons[i] ? 1 : 0);
    }
    HMENU mainMenu = GetMenu(shell.mainWindow);
    ShowInPlace(mainMenu, IDM_CONNECT, IDM_DISCONNECT, row.connectItem, connectItemText, row.connectItemEnabled);
    ShowInPlace(mainMenu, IDM_START_SERVER, IDM_STOP_SERVER, row.serverItem, serverItemText, row.serverItemEnabled);
    Enable(mainMenu, IDM_SEND_POPUP, row.sendPopupItems);
    Enable(shell.trayMenu, IDM_TRAY_SEND_POPUP, row.sendPopupItems);
    ShowTrayTip(TrayTip(CurrentConnection().privacy));
}
