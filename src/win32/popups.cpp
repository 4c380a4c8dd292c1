#include <windows.h>

#include "win32/main_window.h"
#include "app/window_rules.h"
#include "net/connection_state.h"
#include "net/transfer.h"
#include "popup/popup_rules.h"
#include "win32/popups.h"
#include "res/resource.h"
#include "seams/popups.h"

// Popup windows are modeless and ownerless: nobody keeps a list of them,
// they open at the top-left corner and each destroys itself when closed.
// Only the received ones are counted, for the cap on how many may be open.

namespace {

int openReceivedPopups = 0;

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
        if (SendPopupText(text)) {
            DestroyWindow(window);
        } else {
            MessageBoxA(window, "Unable to comply(empty message)", "Error", MB_ICONERROR);
        }
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
    if (message == WM_INITDIALOG) ++openReceivedPopups;
    if (message == WM_DESTROY) --openReceivedPopups;
    if (message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_CLOSE:
    case IDCANCEL: DestroyWindow(window); break;
    case IDC_REPLY: OpenSendPopup(); break;
    default: break;
    }
    return TRUE;
}

// Both windows: created without an owner, with the popup icons and a
// caption naming the peer as it is called now. Null when it could not be
// created, which is not reported.
HWND CreatePopupWindow(int templateId, DLGPROC procedure, void (*caption)(char*, size_t, const char*)) {
    HWND window = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(templateId), nullptr, procedure, 0);
    if (!window) return nullptr;
    SetPopupIcons(window);
    char text[POPUP_CAPTION_SIZE];
    caption(text, sizeof text, connectionState.peerName);
    SetWindowTextA(window, text);
    return window;
}

}  // namespace

void OpenSendPopup() {
    HWND window = CreatePopupWindow(IDD_SEND_POPUP, SendPopupProc, SendPopupCaption);
    if (window) SetFocus(GetDlgItem(window, IDC_POPUP_TEXT));
}

void ShowReceivedPopup(const char* text) {
    HWND window = CreatePopupWindow(IDD_RECV_POPUP, ReceivedPopupProc, ReceivedPopupCaption);
    if (!window) return;
    SetDlgItemTextA(window, IDC_POPUP_TEXT, text);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    BringWindowToTop(window);
}

int OpenReceivedPopupCount() { return openReceivedPopups; }
