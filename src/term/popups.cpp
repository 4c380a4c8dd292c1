// Received popups of the terminal: framed boxes over the history, which the
// screen draws and the user closes.
#include "term/view.h"
#include "net/connection_state.h"
#include "popup/popup_rules.h"
#include "seams/popups.h"

void ShowReceivedPopup(const char* text) {
    char caption[POPUP_CAPTION_SIZE];
    ReceivedPopupCaption(caption, sizeof caption, connectionState.peerName);
    termView.popups.push_back({caption, text});
    termView.changed = true;
}

int OpenReceivedPopupCount() { return static_cast<int>(termView.popups.size()); }
