#include <windows.h>
#include <commctrl.h>

#include "app/toolbar_rules.h"
#include "win32/main_window.h"
#include "win32/shell_parts.h"
#include "app/window_rules.h"
#include "common/text.h"
#include "net/control_states.h"
#include "res/resource.h"

namespace {

// The strip's background is RGB(192, 192, 192); the mask colour is not, so
// the images keep their grey squares.
const COLORREF TOOLBAR_MASK_COLOUR = RGB(197, 197, 197);

TBBUTTON Button(int image, int id) {
    TBBUTTON button = {};
    button.iBitmap = image;
    button.idCommand = id;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = TBSTYLE_BUTTON;
    return button;
}

TBBUTTON Separator() {
    TBBUTTON separator = {};
    separator.fsStyle = TBSTYLE_SEP;
    return separator;
}

void ShowError(const char* text) { MessageBoxA(shell.mainWindow, text, "Error", MB_ICONERROR); }

// The strip drawn for the window's DPI. At 16 pixels it is the 16-colour
// list of old; the larger strips have colours between those of the 16.
HIMAGELIST ToolbarImages() {
    const int size = ToolbarImageSize(shell.windowDpi);
    HIMAGELIST images = ImageList_Create(size, size, (size == 16 ? ILC_COLOR4 : ILC_COLOR24) | ILC_MASK, 10, 10);
    if (!images) return nullptr;
    const int strip = size == 32 ? IDB_TOOLBAR_32 : size == 24 ? IDB_TOOLBAR_24 : IDB_TOOLBAR;
    HBITMAP bitmap = LoadBitmapA(shell.appInstance, MAKEINTRESOURCEA(strip));
    ImageList_AddMasked(images, bitmap, TOOLBAR_MASK_COLOUR);
    DeleteObject(bitmap);
    return images;
}

void MeasureToolbar() {
    // The layout needs the toolbar's final height; make sure it has sized
    // itself to its buttons before the height is read.
    SendMessageA(shell.toolbarWindow, TB_AUTOSIZE, 0, 0);
    RECT client;
    GetClientRect(shell.toolbarWindow, &client);
    shell.toolbarBottom = client.bottom;
}

// Everything up to the hidden, filled toolbar; null when it could not be had.
HWND BuildToolbar(HIMAGELIST* images) {
    InitCommonControls();
    *images = ToolbarImages();
    if (!*images) {
        ShowError("Error: Unable to create image lists for toolbar");
        return nullptr;
    }
    HWND toolbar = CreateWindowExA(0, TOOLBARCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT,
                                   0, 0, 0, 0, shell.mainWindow, reinterpret_cast<HMENU>(IDC_TOOLBAR), shell.appInstance,
                                   nullptr);
    if (!toolbar) {
        ImageList_Destroy(*images);
        *images = nullptr;
        return nullptr;
    }
    SendMessageA(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(*images));
    SendMessageA(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    TBBUTTON buttons[] = {
        Button(0, IDT_CONNECT),      Button(1, IDT_DISCONNECT), Separator(),
        Button(2, IDT_START_SERVER), Button(3, IDT_STOP_SERVER), Separator(),
        Button(4, IDT_SEND_POPUP),   Separator(),                Button(5, IDT_HELP),
    };
    SendMessageA(toolbar, TB_ADDBUTTONSA, sizeof buttons / sizeof buttons[0], reinterpret_cast<LPARAM>(buttons));
    ShowWindow(toolbar, SW_HIDE);
    return toolbar;
}

}  // namespace

HWND CreateToolbar() {
    HIMAGELIST images = nullptr;
    HWND toolbar = BuildToolbar(&images);
    if (!toolbar) {
        ShowError("Unable to create toolbar");
        return nullptr;
    }
    shell.toolbarWindow = toolbar;
    shell.toolbarImages = images;

    ApplyCreatedToolbarStates();

    ShowWindow(shell.toolbarWindow, SW_SHOW);
    shell.toolbarTooltip = reinterpret_cast<HWND>(SendMessageA(shell.toolbarWindow, TB_GETTOOLTIPS, 0, 0));
    MeasureToolbar();
    return shell.toolbarWindow;
}

void ScaleToolbar() {
    HIMAGELIST images = ToolbarImages();
    if (!images) return;
    const int size = ToolbarImageSize(shell.windowDpi);
    SendMessageA(shell.toolbarWindow, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    SendMessageA(shell.toolbarWindow, TB_SETBITMAPSIZE, 0, MAKELPARAM(size, size));
    if (shell.toolbarImages) ImageList_Destroy(shell.toolbarImages);
    shell.toolbarImages = images;
    MeasureToolbar();
}

void DestroyToolbar() {
    if (shell.toolbarImages) ImageList_Destroy(shell.toolbarImages);
    if (shell.toolbarWindow) DestroyWindow(shell.toolbarWindow);
    if (shell.toolbarTooltip && IsWindow(shell.toolbarTooltip)) DestroyWindow(shell.toolbarTooltip);
    shell.toolbarImages = nullptr;
    shell.toolbarWindow = nullptr;
    shell.toolbarTooltip = nullptr;
}

LRESULT OnToolbarTooltip(NMHDR* header) {
    const char* text = TooltipTextFor(header->idFrom);
    if (!text) return 0;
    if (header->code == TTN_NEEDTEXTA) {
        CopyText(reinterpret_cast<NMTTDISPINFOA*>(header)->szText, text);
    } else if (header->code == TTN_NEEDTEXTW) {
        // Common Controls 6 may ask in UTF-16 even of an ANSI window.
        NMTTDISPINFOW* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        const int room = static_cast<int>(sizeof info->szText / sizeof info->szText[0]);
        if (!MultiByteToWideChar(CP_ACP, 0, text, -1, info->szText, room)) info->szText[0] = L'\0';
    }
    return 0;
}
