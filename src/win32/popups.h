#pragma once
// The send window, which the menus, the toolbar, the tray menu and a
// received popup's Reply open.

// Opens one new send window addressed to the current peer.
void OpenSendPopup();
