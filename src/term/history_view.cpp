#include "term/history_view.h"

#include <algorithm>
#include <cstring>
#include <deque>

#include "term/history_lines.h"

namespace {

// A run this long without a line end is wrapped in pieces. No line the
// program writes comes near it.
constexpr size_t LONGEST_LINE = 16384;

// The start of the line that ends at end (just after its line end, or at
// the end of the history).
size_t LineStartBefore(const std::string& history, size_t end) {
    const size_t limit = end > LONGEST_LINE ? end - LONGEST_LINE : 0;
    for (size_t at = end > 0 ? end - 1 : 0; at > limit; --at) {
        if (history[at - 1] == '\n') return at;
    }
    return limit;
}

// The end of the line that starts at start: just after its line end.
size_t LineEndFrom(const std::string& history, size_t start) {
    const size_t limit = std::min(history.size(), start + LONGEST_LINE);
    const void* found = std::memchr(history.data() + start, '\n', limit - start);
    return found ? static_cast<size_t>(static_cast<const char*>(found) - history.data()) + 1 : limit;
}

std::vector<std::wstring> Rows(const std::string& history, size_t start, size_t end, int width) {
    return HistoryRows(history.substr(start, end - start), width);
}

// Rows with where they come from.
struct Taken {
    std::deque<std::wstring> rows;
    std::deque<RowSource> sources;
};

void AddLine(Taken& shown, const std::string& history, size_t start, size_t end, int width, bool atFront) {
    const std::vector<std::wstring> rows = Rows(history, start, end, width);
    for (size_t row = 0; row < rows.size(); ++row) {
        const RowSource source = {start, end, row == 0};
        if (atFront) {
            shown.rows.insert(shown.rows.begin() + static_cast<long>(row), rows[row]);
            shown.sources.insert(shown.sources.begin() + static_cast<long>(row), source);
        } else {
            shown.rows.push_back(rows[row]);
            shown.sources.push_back(source);
        }
    }
}

// At most most rows, from the view's top row on.
Taken RowsFromTop(const std::string& history, const HistoryView& view, int width, size_t most) {
    Taken shown;
    size_t skip = static_cast<size_t>(std::max(0, view.topRow));
    for (size_t line = std::min(view.top, history.size()); line < history.size() && shown.rows.size() < most + skip;) {
        const size_t end = LineEndFrom(history, line);
        AddLine(shown, history, line, end, width, false);
        for (; skip > 0 && !shown.rows.empty(); --skip) shown.rows.pop_front(), shown.sources.pop_front();
        line = end;
    }
    shown.rows.resize(std::min(shown.rows.size(), most));
    shown.sources.resize(shown.rows.size());
    return shown;
}

// The last height rows, and where the first of them stands.
Taken LastRows(const std::string& history, int width, size_t height, HistoryView* top) {
    Taken shown;
    size_t start = history.size();
    size_t firstRow = 0;
    while (start > 0 && shown.rows.size() < height) {
        const size_t end = start;
        start = LineStartBefore(history, end);
        AddLine(shown, history, start, end, width, true);
        firstRow = 0;
        while (shown.rows.size() > height) shown.rows.pop_front(), shown.sources.pop_front(), ++firstRow;
    }
    if (top) top->top = start, top->topRow = static_cast<int>(firstRow);
    return shown;
}

std::vector<std::wstring> Give(const Taken& shown, size_t rows, std::vector<RowSource>* sources) {
    if (sources) sources->assign(shown.sources.begin(), shown.sources.begin() + static_cast<long>(rows));
    return std::vector<std::wstring>(shown.rows.begin(), shown.rows.begin() + static_cast<long>(rows));
}

void FollowTheEnd(HistoryView& view) {
    view.atEnd = true;
    view.newLines = 0;
}

}  // namespace

std::vector<std::wstring> ShownRows(const std::string& history, HistoryView& view, int width, int height,
                                    std::vector<RowSource>* sources) {
    const size_t rows = static_cast<size_t>(std::max(0, height));
    if (!view.atEnd) {
        // One row more tells whether anything lies below the screen.
        const Taken shown = RowsFromTop(history, view, width, rows + 1);
        if (shown.rows.size() > rows) return Give(shown, rows, sources);
        FollowTheEnd(view);
    }
    const Taken last = LastRows(history, width, rows, nullptr);
    return Give(last, last.rows.size(), sources);
}

void ScrollHistory(const std::string& history, HistoryView& view, int rows, int width, int height) {
    const size_t screen = static_cast<size_t>(std::max(1, height));
    if (view.atEnd) {
        if (rows >= 0) return;
        HistoryView top;
        if (LastRows(history, width, screen, &top).rows.size() < screen) return;  // all of it is in view
        view = top;
        view.atEnd = false;
    }
    view.topRow += rows;
    while (view.topRow < 0 && view.top > 0) {
        view.top = LineStartBefore(history, view.top);
        view.topRow += static_cast<int>(Rows(history, view.top, LineEndFrom(history, view.top), width).size());
    }
    view.topRow = std::max(0, view.topRow);
    while (view.topRow > 0 && view.top < history.size()) {
        const size_t end = LineEndFrom(history, view.top);
        const int lineRows = static_cast<int>(Rows(history, view.top, end, width).size());
        if (view.topRow < lineRows) break;
        view.topRow -= lineRows;
        view.top = end;
    }
    if (RowsFromTop(history, view, width, screen + 1).rows.size() <= screen) FollowTheEnd(view);
}

void ViewAppended(HistoryView& view, const std::string& text) {
    if (!view.atEnd) view.newLines += static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

void ViewDropped(HistoryView& view, size_t count) {
    if (view.atEnd) return;
    // The core drops whole lines: the top stays the start of a line.
    if (view.top >= count) {
        view.top -= count;
    } else {
        view.top = 0;
        view.topRow = 0;
    }
}

void ViewCleared(HistoryView& view) { view = HistoryView(); }
