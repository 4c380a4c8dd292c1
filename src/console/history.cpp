#include "console/history.h"

#include <cstring>
#include <string>

#include "seams/history_pane.h"

namespace {

// How far past the cut point a line end is looked for. No line the program
// writes comes near it; text without a line end that long goes whole.
constexpr size_t LINE_END_SEARCH = 4096;

// Removes the oldest whole lines, so that the text and the adding characters
// after it fit in HISTORY_TRIMMED_SIZE.
void RemoveOldestLines(size_t length, size_t adding) {
    size_t from = length + adding > HISTORY_TRIMMED_SIZE ? length + adding - HISTORY_TRIMMED_SIZE : 0;
    if (from > length) from = length;
    char text[LINE_END_SEARCH];
    HistoryPaneTextAt(from, text, sizeof text);
    const char* lineEnd = std::strstr(text, "\r\n");
    // The text left begins where a line begins.
    size_t cut = lineEnd ? from + static_cast<size_t>(lineEnd - text) + 2 : length;
    HistoryPaneDropOldest(cut);
}

}  // namespace

void AppendHistory(const char* text) {
    if (!text || !HistoryPaneExists()) return;
    const size_t length = HistoryPaneTextLength();
    const size_t adding = std::strlen(text);
    if (length + adding > HISTORY_CAPACITY) RemoveOldestLines(length, adding);
    HistoryPaneAppend(text);
}

void AppendHistory(std::initializer_list<const char*> parts) {
    std::string text;
    for (const char* part : parts) {
        if (part) text += part;
    }
    AppendHistory(text.c_str());
}

void ClearHistory() { HistoryPaneClear(); }
