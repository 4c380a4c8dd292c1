// Received popups of the terminal: framed boxes over the history, which the
// screen draws and the user closes.
#include "seams/popups.h"
#include "term/view.h"

void ShowReceivedPopup(const char* caption, const char* text) {
    termView.popups.push_back({caption, text});
    termView.changed = true;
}

int OpenReceivedPopupCount() { return static_cast<int>(termView.popups.size()); }
