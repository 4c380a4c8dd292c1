#pragma once
// The part of the history the screen shows. Following the end, it shows
// the newest rows; scrolled back, it stays on the same lines while new ones
// arrive. Only the lines shown are converted and wrapped, so that a frame
// costs the same at any length of the history.
#include <string>
#include <vector>

#include "term/state.h"

// Where a row shown comes from: the line of the history (from its start to
// just after its line end) and whether it is the line's first row.
struct RowSource {
    size_t lineStart, lineEnd;
    bool first;
};

// The rows to draw, at most height of them, from the history (text in the
// wire's code page) at width columns, and where each comes from when asked.
// A view scrolled back that comes to show the end follows it again.
std::vector<std::wstring> ShownRows(const std::string& history, HistoryView& view, int width, int height,
                                    std::vector<RowSource>* sources = nullptr);

// Scrolls by rows: back to older lines when negative, forward when
// positive, no further than the first row or the end.
void ScrollHistory(const std::string& history, HistoryView& view, int rows, int width, int height);

// What the history pane did, as the view follows it: text appended (whose
// lines count as new while scrolled back), the oldest count bytes dropped,
// everything cleared.
void ViewAppended(HistoryView& view, const std::string& text);
void ViewDropped(HistoryView& view, size_t count);
void ViewCleared(HistoryView& view);
