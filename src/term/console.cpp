// The history pane and the input line of the terminal: text held in the
// view, which the screen draws.
#include <ctime>
#include <string>

#include "term/state.h"
#include "common/text.h"
#include "seams/history_pane.h"
#include "seams/input_line.h"
#include "term/code_page.h"
#include "term/history_lines.h"
#include "term/history_view.h"
#include "term/socket_errors.h"

bool HistoryPaneExists() { return true; }

size_t HistoryPaneTextLength() { return term.history.size(); }

namespace {

std::string StampOfNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local = {};
    char stamp[16] = "";
    if (localtime_r(&now, &local)) std::strftime(stamp, sizeof stamp, "[%H:%M] ", &local);
    return stamp;
}

}  // namespace

void HistoryPaneAppend(const char* text) {
    std::string shown = InOwnWords(text);
    const bool beginsLine = term.history.empty() || term.history.back() == '\n';
    if (term.timestamps) shown = Stamped(shown, beginsLine, StampOfNow());
    term.history += shown;
    ++term.historyAppends;
    ViewAppended(term.view, shown);
    term.changed = true;
}

void HistoryPaneDropOldest(size_t count) {
    term.history.erase(0, count);
    ViewDropped(term.view, count);
    term.changed = true;
}

void HistoryPaneClear() {
    term.history.clear();
    ViewCleared(term.view);
    term.changed = true;
}

size_t HistoryPaneTextAt(size_t from, char* buffer, size_t size) {
    return CopyText(buffer, size, from < term.history.size() ? term.history.c_str() + from : "");
}

// The core reads the line as it goes on the wire.
size_t ReadInputLine(char* buffer, size_t size) { return CopyText(buffer, size, ToWire(term.input).c_str()); }

void ClearInputLine() {
    term.input.clear();
    term.caret = 0;
    term.changed = true;
}

// The input line always has the keys unless a box or a popup is open.
void FocusInputLine() {}
