// Received popups of the terminal: framed boxes over the history, which the
// screen draws and the user closes.
#include "seams/popups.h"
#include "term/state.h"

void ShowReceivedPopup(const char* caption, const char* text) {
    term.popups.push_back({caption, text});
    term.changed = true;
}

int OpenReceivedPopupCount() { return static_cast<int>(term.popups.size()); }
