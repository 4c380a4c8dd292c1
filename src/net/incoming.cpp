#include "net/incoming.h"

#include "common/text.h"
#include "console/history.h"
#include "net/alerts.h"
#include "net/connection_state.h"
#include "net/control_states.h"
#include "net/protocol.h"
#include "popup/popup_rules.h"
#include "seams/alerts.h"
#include "seams/popups.h"
#include "seams/timer.h"
#include "settings/settings.h"

// Everything a peer sends is text handed to AppendHistory or copied with
// CopyText into a field it is cut to: never a format, never past a field.

void (*PopupDropped)(const char* peerName) = nullptr;

namespace {

constexpr unsigned BEEP_FREQUENCY = 500;
constexpr unsigned BEEP_DURATION = 1000;

void ShowChatText(const char* text) {
    AppendHistory({"<", connectionState.peerName, "> ", text, "\r\n"});
    if (chatSettings.FlashTitle == 1 && windowActive == 0) StartTitleFlash(FLASH_INTERVAL);
    if (chatSettings.Beep == 1) SoundTone(BEEP_FREQUENCY, BEEP_DURATION);
}

void ShowNicknameChange(const char* text) {
    AppendHistory({"***", connectionState.peerName, " is now known as ", text, ".\r\n"});
    CopyText(connectionState.peerName, text);
}

void ShowAction(const char* text) {
    AppendHistory({"*", connectionState.peerName, " ", text, ".\r\n"});
}

void OpenPopup(const char* text) {
    if (chatSettings.IgnorePopup != 0) {
        if (PopupDropped) PopupDropped(connectionState.peerName);
        return;
    }
    if (chatSettings.PlaySound == 1 && PopupSoundDue(MillisecondsNow())) PlayWaveFile(chatSettings.SoundPath);
    if (OpenReceivedPopupCount() < MAX_OPEN_RECEIVED_POPUPS) {
        char caption[POPUP_CAPTION_SIZE];
        ReceivedPopupCaption(caption, sizeof caption, connectionState.peerName);
        ShowReceivedPopup(caption, text);
        return;
    }
    // Nothing is lost when no more windows open: the line names the sender
    // and holds the whole text.
    AppendHistory({"***Popup message from ", connectionState.peerName, ": ", text, "\r\n"});
}

void Greet(const char* text) {
    CopyText(connectionState.peerName, text);
    // A /nick of an earlier connection is undone: the peer has just been
    // greeted with the configured name.
    CopyText(connectionState.myName, chatSettings.Nickname);
    AppendHistory({"*** You are connected to ", connectionState.peerName, ".\r\n"});
    connectionState.peerGreeted = 1;
    ApplyControlStates();
}

void KeepQuitReason(const char* text) {
    // Shown when the connection closes; a quit without a close shows nothing.
    CopyText(connectionState.peerQuitReason, text);
    connectionState.peerQuitReceived = 1;
}

void DispatchControl(uint8_t code, const char* text) {
    switch (code) {
    case CTRL_NICK: ShowNicknameChange(text); break;
    case CTRL_ACTION: ShowAction(text); break;
    case CTRL_POPUP: OpenPopup(text); break;
    case CTRL_HELLO: Greet(text); break;
    case CTRL_QUIT: KeepQuitReason(text); break;
    default: break;  // a code of a later version, or noise: dropped silently
    }
}

}  // namespace

void DispatchIncoming(const char* message) {
    if (!message) return;
    const uint8_t kind = static_cast<uint8_t>(message[0]);
    if (kind == KIND_TEXT) {
        ShowChatText(message + 1);
        return;
    }
    if (kind == KIND_CONTROL) {
        const uint8_t code = static_cast<uint8_t>(message[1]);
        // A message of the kind byte alone ends where its code would be;
        // its text would lie past the end.
        if (code == 0) return;
        DispatchControl(code, message + 2);
        return;
    }
    AppendHistory("***Error: Unrecognized command.  (This should never happen.  Close this program)\r\n");
}
