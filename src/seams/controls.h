#pragma once
// The toolbar buttons and menu items that follow the connection. The core
// decides their states (net/control_states.h) and sets them through these;
// the Win32 front end forwards each call to the toolbar and the menus, the
// native tests keep what was set.

enum class MenuOwner { Main, Tray };

// TB_ENABLEBUTTON for one toolbar button; nothing while there is no toolbar.
void SetButtonEnabled(int button, bool on);

// ModifyMenu by command: the item oldId takes newId and the text. Nothing
// changes when oldId is not in the menu (the item already shows newId).
void SwapMenuItem(MenuOwner menu, int oldId, int newId, const char* text);

// EnableMenuItem by command, MF_ENABLED or MF_GRAYED.
void SetMenuItemEnabled(MenuOwner menu, int id, bool enabled);
