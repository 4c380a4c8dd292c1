// The history pane and the input line of the terminal: text held in the
// view, which the screen draws.
#include "term/view.h"
#include "common/text.h"
#include "seams/history_pane.h"
#include "seams/input_line.h"

bool HistoryPaneExists() { return true; }

size_t HistoryPaneTextLength() { return termView.history.size(); }

void HistoryPaneAppend(const char* text) {
    termView.history += text;
    termView.changed = true;
}

void HistoryPaneDropOldest(size_t count) {
    termView.history.erase(0, count);
    termView.changed = true;
}

void HistoryPaneClear() {
    termView.history.clear();
    termView.changed = true;
}

size_t HistoryPaneTextAt(size_t from, char* buffer, size_t size) {
    return CopyText(buffer, size, from < termView.history.size() ? termView.history.c_str() + from : "");
}

size_t ReadInputLine(char* buffer, size_t size) { return CopyText(buffer, size, termView.input.c_str()); }

void ClearInputLine() {
    termView.input.clear();
    termView.caret = 0;
    termView.changed = true;
}

// The input line always has the keys unless a box or a popup is open.
void FocusInputLine() {}
