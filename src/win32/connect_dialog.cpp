#include "win32/connect_dialog.h"

#include "win32/main_window.h"
#include "net/connection.h"
#include "res/resource.h"

void RunConnectDialog() {
    DialogBoxParamA(shell.appInstance, MAKEINTRESOURCEA(IDD_CONNECT), shell.mainWindow, ConnectDialogProc, 0);
}

INT_PTR CALLBACK ConnectDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        // Typing and pasting stop at the longest host name the connection
        // takes; a longer one would be refused.
        SendDlgItemMessageA(dialog, IDC_HOST, EM_LIMITTEXT, CONNECT_HOST_SIZE - 1, 0);
        // FALSE keeps the focus where it was put.
        SetFocus(GetDlgItem(dialog, IDC_HOST));
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_CONNECT_OK: {
            // A longer text is cut to fit what the connection keeps.
            char host[CONNECT_HOST_SIZE] = "";
            GetDlgItemTextA(dialog, IDC_HOST, host, sizeof host);
            ConnectTo(host);
            EndDialog(dialog, 0);
            break;
        }
        case IDC_CONNECT_CANCEL: EndDialog(dialog, -1); break;
        default: break;
        }
        return TRUE;
    default: return FALSE;
    }
}
