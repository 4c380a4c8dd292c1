#pragma once
// The Connect to dialog (IDD_CONNECT), run modally over the main window.
#include <windows.h>

// Shows the dialog and returns when it has closed; its result is not used.
void RunConnectDialog();

// Only OK (also what Enter sends) and Cancel close the dialog: Escape and
// the close box send IDCANCEL, which is consumed like every other command.
INT_PTR CALLBACK ConnectDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
