#include "app/win32/main_window.h"
#include "app/win32/shell_parts.h"
#include "console/history.h"
#include "res/resource.h"

void RouteCommand(int id) {
    switch (id) {
    case IDM_EXIT:
    case IDM_TRAY_QUIT: DestroyWindow(mainWindow); break;
    case IDM_CLEAR_HISTORY: ClearHistory(); break;
    default: break;
    }
}
