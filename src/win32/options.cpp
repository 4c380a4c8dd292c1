#include "win32/options.h"

#include <commctrl.h>

#include <string>

#include "win32/main_window.h"
#include "win32/on_demand.h"
#include "res/resource.h"
#include "settings/options_page.h"
#include "settings/settings.h"

namespace {

constexpr DWORD BROWSE_PATH_SIZE = 256;

std::string ControlText(HWND page, int id) {
    HWND control = GetDlgItem(page, id);
    int length = GetWindowTextLengthA(control);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(control, &text[0], length + 1);
    text.resize(strnlen(text.c_str(), text.size()));
    return text;
}

bool Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }

void SetChecked(HWND page, int id, bool checked) {
    CheckDlgButton(page, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void SetStartInTray(HWND page, StartInTrayBox box) {
    SetChecked(page, IDC_STARTINTRAY, box.checked);
    EnableWindow(GetDlgItem(page, IDC_STARTINTRAY), box.enabled);
}

void FillPage(HWND page) {
    OptionsPageValues values = CurrentOptionsPage();
    for (const OptionsPageField& field : values.fields) {
        if (field.isBox) {
            SetChecked(page, field.control, field.checked);
        } else {
            SetDlgItemTextA(page, field.control, field.text.c_str());
        }
    }
    SetStartInTray(page, StartInTrayWhenOpened(values));
}

void ReadPage(HWND page) {
    // The fields the page has come from the settings; each takes what its control holds.
    OptionsPageValues values = CurrentOptionsPage();
    for (OptionsPageField& field : values.fields) {
        if (field.isBox) {
            field.checked = Checked(page, field.control);
        } else {
            field.text = ControlText(page, field.control);
        }
    }
    ApplyOptionsPageToCurrent(values);
}

void BrowseForSound(HWND page) {
    // A buffer of its own on the stack: there is nothing to allocate, so the
    // browse can never fail for want of memory.
    char path[BROWSE_PATH_SIZE] = "";
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = page;
    dialog.hInstance = shell.appInstance;
    dialog.lpstrFilter = "Wav sound files\0*.wav\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = BROWSE_PATH_SIZE;
    dialog.lpstrTitle = "Browse for .wav file(Norrik)";
    dialog.Flags = OFN_FILEMUSTEXIST;
    if (AskForFileToOpen(&dialog)) SetDlgItemTextA(page, IDC_SOUNDPATH, path);
}

INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        switch (reinterpret_cast<NMHDR*>(lParam)->code) {
        case PSN_SETACTIVE: FillPage(page); break;
        case PSN_KILLACTIVE: ReadPage(page); break;
        case PSN_APPLY: SaveCurrentSettings(); break;
        default: return FALSE;
        }
        // 0 allows the page change and reports no error.
        SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
        return TRUE;
    }
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case IDC_TRAYICON:
            SetStartInTray(page, StartInTrayAfterTrayiconClick(Checked(page, IDC_TRAYICON),
                                                               Checked(page, IDC_STARTINTRAY)));
            return TRUE;
        case IDC_BROWSE: BrowseForSound(page); return TRUE;
        default: return FALSE;
        }
    }
    return FALSE;
}

}  // namespace

void ShowOptions(HWND parent) {
    // The sheet always starts from what is stored; a View toggle not yet
    // saved is replaced by its stored value here.
    LoadCurrentSettings();

    PROPSHEETPAGEA page = {};
    page.dwSize = sizeof page;
    page.dwFlags = PSP_USETITLE;
    page.hInstance = shell.appInstance;
    page.pszTemplate = MAKEINTRESOURCEA(IDD_OPTIONS);
    page.pfnDlgProc = OptionsPageProc;
    page.pszTitle = "&General";

    PROPSHEETHEADERA sheet = {};
    sheet.dwSize = sizeof sheet;
    sheet.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
    sheet.hwndParent = parent;
    sheet.hInstance = shell.appInstance;
    sheet.pszCaption = "Options";
    sheet.nPages = 1;
    sheet.nStartPage = 0;
    sheet.ppsp = &page;
    PropertySheetA(&sheet);
}
