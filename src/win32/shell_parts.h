#pragma once
// Shell operations that the main window calls at fixed places of its start
// and shutdown. Each lives with the part of the shell that owns it.
#include <windows.h>
#include <commctrl.h>

#include "seams/shell.h"

// Toolbar
HWND CreateToolbar();
void DestroyToolbar();
// New images for the main window's DPI, and the height that follows.
void ScaleToolbar();
LRESULT OnToolbarTooltip(NMHDR* header);

// Tray icon
// False when the shell refused the icon.
bool AddTrayIcon();
void RemoveTrayIcon();
// The icon's tip, changed only when it says something new.
void ShowTrayTip(const char* tip);
void OnTrayNotify(LPARAM mouseMessage);

// Command routing for WM_COMMAND's identifier
void RouteCommand(int id);
