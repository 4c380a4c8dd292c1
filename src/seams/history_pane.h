#pragma once
// The history pane as the console needs it: an edit control's text length,
// selection and replace. The Win32 build talks to the real EDIT control; the
// native tests keep an in-memory pane. Every call does nothing while the pane
// does not exist.
#include <cstddef>

bool HistoryPaneExists();
size_t HistoryPaneTextLength();
void HistoryPaneSetSelection(size_t start, size_t end);
void HistoryPaneReplaceSelection(const char* text);
void HistoryPaneSetText(const char* text);
// Copies the text from position from on into buffer, at most size - 1
// characters, zero-terminated; returns how many it copied.
size_t HistoryPaneTextAt(size_t from, char* buffer, size_t size);
