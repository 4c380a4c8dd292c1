#pragma once
// Calls into the three system libraries that are loaded on first use
// rather than with the program. Under Wine, comdlg32 brings the printing
// system with it (winspool, and behind it the CUPS libraries), and shell32
// and winmm bring COM and the audio codecs: milliseconds and about a
// megabyte before the window could show, for a tray icon added once it
// is drawn and for a file dialog and a sound that many runs never use.
// A library that cannot be loaded makes its call fail as the call itself
// would.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

BOOL NotifyIcon(DWORD message, NOTIFYICONDATAA* icon);
// The web page, the mail address or the help file, opened as Explorer would.
void OpenWithShell(const char* target);
BOOL AskForFileToOpen(OPENFILENAMEA* dialog);
// PlayWaveFile, the alerts' wave player (seams/alerts.h), is here too.
