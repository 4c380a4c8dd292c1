#include "console/history.h"

#include <cstring>
#include <string>

#include "seams/history_pane.h"

namespace {

// How far past the cut point a line end is looked for. No line the program
// writes comes near it; text without a line end that long goes whole.
constexpr size_t LINE_END_SEARCH = 4096;

// Removes the oldest whole lines, so that the text and the adding characters
// after it fit in HISTORY_TRIMMED_SIZE; returns the length that is left.
size_t RemoveOldestLines(size_t length, size_t adding) {
    size_t from = length + adding > HISTORY_TRIMMED_SIZE ? length + adding - HISTORY_TRIMMED_SIZE : 0;
    if (from > length) from = length;
    char text[LINE_END_SEARCH];
    HistoryPaneTextAt(from, text, sizeof text);
    const char* lineEnd = std::strstr(text, "\r\n");
    // The text left begins where a line begins.
    size_t cut = lineEnd ? from + static_cast<size_t>(lineEnd - text) + 2 : length;
    HistoryPaneSetSelection(0, cut);
    HistoryPaneReplaceSelection("");
    return length - cut;
}

}  // namespace

void AppendHistory(const char* text) {
    if (!HistoryPaneExists()) return;
    size_t end = HistoryPaneTextLength();
    const size_t adding = std::strlen(text);
    if (end + adding > HISTORY_CAPACITY) end = RemoveOldestLines(end, adding);
    // Wherever the user left the caret or a selection, the text goes to the
    // end; the pane then shows the newest text.
    HistoryPaneSetSelection(end, end);
    HistoryPaneReplaceSelection(text);
}

void AppendHistory(std::initializer_list<const char*> parts) {
    std::string line;
    for (const char* part : parts) line += part;
    AppendHistory(line.c_str());
}

void ClearHistory() {
    if (HistoryPaneExists()) HistoryPaneSetText("");
}
