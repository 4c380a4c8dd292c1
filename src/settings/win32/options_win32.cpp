#include "settings/win32/options_win32.h"

#include "settings/settings.h"

// The sheet itself is not built yet; the reload it starts with is.
void ShowOptions(HWND) { LoadSettings(chatSettings); }
