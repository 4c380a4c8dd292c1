#include "popup/popup_rules.h"

#include "common/text.h"
#include "net/protocol.h"
#include "net/transfer.h"

void SendPopupCaption(char* caption, size_t size, const char* peerName) {
    CopyText(caption, size, "Send popup message to ");
    AppendText(caption, size, peerName);
}

void ReceivedPopupCaption(char* caption, size_t size, const char* peerName) {
    CopyText(caption, size, "Popup message from ");
    AppendText(caption, size, peerName);
}

bool SendPopupText(const char* text) {
    if (text[0] == '\0') return false;
    SendControl(CTRL_POPUP, text);
    return true;
}
