// Received popups of the terminal: framed boxes over the history, which the
// screen draws and the user closes. Every popup, received, sent or dropped,
// also leaves a line in the history, so that nothing is gone once a box is
// closed.
#include "term/popups.h"

#include "console/history.h"
#include "net/connection.h"
#include "seams/popups.h"
#include "term/state.h"

namespace {

void SayPopupDropped(const char* peerName) {
    AppendHistory({"***Popup from ", peerName, " dropped: IgnorePopup is set\r\n"});
}

}  // namespace

void ShowReceivedPopup(const char* caption, const char* text) {
    term.popups.push_back({caption, text});
    AppendHistory({"***Popup from ", CurrentConnection().peer, ": ", text, "\r\n"});
    term.changed = true;
}

int OpenReceivedPopupCount() { return static_cast<int>(term.popups.size()); }

void TellDroppedPopups() { PopupDropped = SayPopupDropped; }

void SendPopupAndTrace(const std::string& text, const std::function<bool()>& send) {
    const size_t appends = term.historyAppends, boxes = term.boxes.size();
    if (!send()) return;
    // The core tells every refusal in a line or a box of its own.
    if (term.historyAppends != appends || term.boxes.size() != boxes) return;
    AppendHistory({"***Popup sent to ", CurrentConnection().peer, ": ", text.c_str(), "\r\n"});
}
