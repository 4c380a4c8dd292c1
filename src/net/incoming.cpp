#include "net/incoming.h"

#include <string>

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
// No byte of it can start a line, or move the caret back over one: the
// history must show nothing the peer could pass off as the program's own
// lines ("*** You are connected to ...").

void (*PopupDropped)(const char* peerName) = nullptr;

namespace {

constexpr unsigned BEEP_FREQUENCY = 500;
constexpr unsigned BEEP_DURATION = 1000;
// Before each further line of a popup that goes to the history.
constexpr char POPUP_CONTINUATION[] = "\r\n    ";

// Control bytes, which a peer's text shows as '?': line breaks, carriage
// returns, escapes and DEL. TAB is a blank.
bool IsControlByte(unsigned char byte) { return (byte < 0x20 && byte != '\t') || byte == 0x7F; }

// A field that is one line: chat, action, name, greeting, quit reason.
struct OneLine {
    explicit OneLine(const char* text) {
        const size_t length = CopyText(line, text);
        for (size_t i = 0; i < length; ++i) {
            if (IsControlByte(static_cast<unsigned char>(line[i]))) line[i] = '?';
        }
    }
    char line[MESSAGE_BUFFER_SIZE];
};

// A popup in the history: its line breaks (CR LF, or a CR or LF alone)
// start lines indented by four blanks, which no line of the program's is.
std::string PopupLines(const char* text) {
    std::string lines;
    for (const char* at = text; *at != '\0'; ++at) {
        const unsigned char byte = static_cast<unsigned char>(*at);
        if (byte == '\r' || byte == '\n') {
            if (byte == '\r' && at[1] == '\n') ++at;
            lines += POPUP_CONTINUATION;
        } else {
            lines += IsControlByte(byte) ? '?' : static_cast<char>(byte);
        }
    }
    return lines;
}

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
    AppendHistory({"***Popup message from ", connectionState.peerName, ": ", PopupLines(text).c_str(), "\r\n"});
}

void Greet(const char* text) {
    CopyText(connectionState.peerName, text);
    // A /nick of an earlier connection is undone: the peer has just been
    // greeted with the configured name.
    CopyText(connectionState.myName, chatSettings.Nickname);
    AppendHistory({"*** You are connected to ", connectionState.peerName, ".\r\n"});
    connectionState.peerGreeted = 1;
    StopGreetingTimer();
    ApplyControlStates();
}

void KeepQuitReason(const char* text) {
    // Shown when the connection closes; a quit without a close shows nothing.
    CopyText(connectionState.peerQuitReason, text);
    connectionState.peerQuitReceived = 1;
}

void DispatchControl(uint8_t code, const char* text) {
    // A popup keeps its lines: its window shows them.
    if (code == CTRL_POPUP) return OpenPopup(text);
    const OneLine field(text);
    switch (code) {
    case CTRL_NICK: ShowNicknameChange(field.line); break;
    case CTRL_ACTION: ShowAction(field.line); break;
    case CTRL_HELLO: Greet(field.line); break;
    case CTRL_QUIT: KeepQuitReason(field.line); break;
    default: break;  // a code of a later version, or noise: dropped silently
    }
}

}  // namespace

void DispatchIncoming(const char* message) {
    if (!message) return;
    const uint8_t kind = static_cast<uint8_t>(message[0]);
    if (kind == KIND_TEXT) {
        ShowChatText(OneLine(message + 1).line);
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
