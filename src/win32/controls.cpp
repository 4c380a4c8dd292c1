#include <windows.h>

#include "win32/main_window.h"
#include "win32/shell_parts.h"
#include "seams/controls.h"

namespace {

HMENU MenuOf(MenuOwner menu) { return menu == MenuOwner::Main ? GetMenu(mainWindow) : trayMenu; }

}  // namespace

void SetButtonEnabled(int button, bool on) {
    if (toolbarWindow) SendMessageA(toolbarWindow, TB_ENABLEBUTTON, static_cast<WPARAM>(button), on ? 1 : 0);
}

void SwapMenuItem(MenuOwner menu, int oldId, int newId, const char* text) {
    ModifyMenuA(MenuOf(menu), static_cast<UINT>(oldId), MF_BYCOMMAND | MF_STRING, static_cast<UINT_PTR>(newId),
                text);
}

void SetMenuItemEnabled(MenuOwner menu, int id, bool enabled) {
    EnableMenuItem(MenuOf(menu), static_cast<UINT>(id), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}
