#pragma once
// Message boxes owned by the main window: the way the program tells the user
// of failures that are not history lines.

// Caption "Error", error icon.
void ShowErrorBox(const char* text);

// Caption "Error", MB_OK alone: no icon.
void ShowPlainBox(const char* text);
