#include "console/history.h"

#include "console/history_pane.h"

int AppendHistory(const char* text) {
    if (!HistoryPaneExists()) return 1;
    // Wherever the user left the caret or a selection, the text goes to the
    // end; the pane then shows the newest text.
    size_t end = HistoryPaneTextLength();
    HistoryPaneSetSelection(end, end);
    HistoryPaneReplaceSelection(text);
    return 1;
}

int ClearHistory() {
    if (HistoryPaneExists()) HistoryPaneSetText("");
    return 1;
}
