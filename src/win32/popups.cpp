#include <windows.h>

#include "app/commands.h"
#include "app/window_rules.h"
#include "popup/popup_rules.h"
#include "res/resource.h"
#include "seams/popups.h"
#include "seams/shell.h"
#include "win32/main_window.h"

// Popup windows are modeless and ownerless: nobody keeps a list of them,
// they open at the top-left corner and each destroys itself when closed.
// Only the received ones are counted, for the cap on how many may be open.

namespace {


void SetPopupIcons(HWND window) {
    const int dpi = DpiOf(window);
    SendMessageA(window, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(IconAt(IDI_POPUP, ScaledForDpi(LARGE_ICON_SIZE, dpi))));
    SendMessageA(window, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(IconAt(IDI_POPUP, ScaledForDpi(SMALL_ICON_SIZE, dpi))));
}

INT_PTR CALLBACK SendPopupProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        SendDlgItemMessageA(window, IDC_POPUP_TEXT, EM_LIMITTEXT, POPUP_EDIT_LIMIT, 0);
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_SEND: {
        char text[POPUP_READ_SIZE] = "";
        GetDlgItemTextA(window, IDC_POPUP_TEXT, text, sizeof text);
        // A refusal's box belongs to this window, where the user pressed Send.
        HWND mainOwner = shell.boxOwner;
        shell.boxOwner = window;
        const bool sent = SendPopupText(text);
        shell.boxOwner = mainOwner;
        if (sent) DestroyWindow(window);
        break;
    }
    case IDCANCEL: DestroyWindow(window); break;
    default: break;
    }
    return TRUE;
}

INT_PTR CALLBACK ReceivedPopupProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    // Counted from its first message to its last, so that a window that
    // fails half-way through its creation leaves the count as it was.
    if (message == WM_INITDIALOG) ++shell.openReceivedPopups;
    if (message == WM_DESTROY) --shell.openReceivedPopups;
    if (message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_CLOSE:
    case IDCANCEL: DestroyWindow(window); break;
    case IDC_REPLY: RunCommand(Command::OpenSendWindow, ""); break;
    default: break;
    }
    return TRUE;
}

// Both windows: created without an owner, with the popup icons and the
// caption the core made. Null when it could not be created, which is not
// reported.
HWND CreatePopupWindow(int templateId, DLGPROC procedure, const char* caption) {
    HWND window = CreateDialogParamA(shell.appInstance, MAKEINTRESOURCEA(templateId), nullptr, procedure, 0);
    if (!window) return nullptr;
    SetPopupIcons(window);
    SetWindowTextA(window, caption);
    return window;
}

}  // namespace

void OpenSendWindow(const char* caption) {
    HWND window = CreatePopupWindow(IDD_SEND_POPUP, SendPopupProc, caption);
    if (window) SetFocus(GetDlgItem(window, IDC_POPUP_TEXT));
}

void ShowReceivedPopup(const char* caption, const char* text) {
    HWND window = CreatePopupWindow(IDD_RECV_POPUP, ReceivedPopupProc, caption);
    if (!window) return;
    SetDlgItemTextA(window, IDC_POPUP_TEXT, text);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    BringWindowToTop(window);
}

int OpenReceivedPopupCount() { return shell.openReceivedPopups; }
