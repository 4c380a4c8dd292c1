#include "popup/popup_rules.h"

#include "common/text.h"

void SendPopupCaption(char* caption, size_t size, const char* peerName) {
    CopyText(caption, size, "Send popup message to ");
    AppendText(caption, size, peerName);
}

void ReceivedPopupCaption(char* caption, size_t size, const char* peerName) {
    CopyText(caption, size, "Popup message from ");
    AppendText(caption, size, peerName);
}

namespace {

bool popupSoundStarted = false;
uint32_t lastPopupSound = 0;

}  // namespace

bool PopupSoundDue(uint32_t now) {
    // Unsigned: the difference is right across the counter's wrap.
    if (popupSoundStarted && now - lastPopupSound < POPUP_SOUND_QUIET_MS) return false;
    popupSoundStarted = true;
    lastPopupSound = now;
    return true;
}

void ResetPopupSound() { popupSoundStarted = false; }
