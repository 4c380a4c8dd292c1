#pragma once
// The history pane as the console needs it: text added at the end, its
// length, a read from a position on, the oldest text removed, and all of it
// cleared. The console keeps the rules (console/history.h); the Win32 build
// keeps the text in the real EDIT control, the terminal in its view, the
// native tests in memory. Every call does nothing while the pane does not
// exist.
#include <cstddef>

bool HistoryPaneExists();
size_t HistoryPaneTextLength();
// Adds text at the end, wherever the user left the caret or a selection;
// the pane then shows the newest text.
void HistoryPaneAppend(const char* text);
// Copies the text from position from on into buffer, at most size - 1
// characters, zero-terminated; returns how many it copied.
size_t HistoryPaneTextAt(size_t from, char* buffer, size_t size);
// Removes the first count characters. The console chooses count so that
// what is left begins where a line begins.
void HistoryPaneDropOldest(size_t count);
void HistoryPaneClear();
