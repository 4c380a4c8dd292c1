#include "app/win32/shell_parts.h"

HWND toolbarWindow = nullptr;
HWND toolbarTooltip = nullptr;
int toolbarBottom = 0;

// The toolbar is not built yet: the window runs without one and the layout
// keeps its room free as the Toolbar setting asks.
HWND CreateToolbar() { return nullptr; }

void DestroyToolbar() {}

LRESULT OnToolbarTooltip(NMHDR*) { return 0; }
