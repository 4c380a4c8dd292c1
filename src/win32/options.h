#pragma once
#include <windows.h>

// Reloads the settings and runs the Options sheet modally.
void ShowOptions(HWND parent);
