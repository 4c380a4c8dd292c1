#pragma once
// The windows, dialogs and ways out that commands open on the front end.
// The core has decided that the command runs; these show it. A front end
// that has no such thing (the terminal has no About box) does nothing, and
// never maps an input to its command.

// Asks the user for a host (the Connect to dialog, whose OK connects); false
// when the front end cannot ask, and the core says how to give one.
bool AskForHost();

// One new send window, with the caption the core made.
void OpenSendWindow(const char* caption);

void OpenHelpFile();
void ShowAbout();
void ShowOptions();
void HideMainWindow();
void ShowMainWindow();

// The main window above all others, or not; and the toolbar shown or not.
// The settings already hold the new value.
void ShowAlwaysOnTop(bool on);
void ShowToolbar(bool on);

// Leaves the program the way closing its window does.
void CloseProgram();
