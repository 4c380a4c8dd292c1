#include "term/send_mode.h"

#include <chrono>
#include <cstring>

#include "common/text.h"
#include "net/connection.h"
#include "net/protocol.h"
#include "term/event_loop.h"
#include "net/transfer.h"
#include "popup/popup_rules.h"
#include "seams/input_line.h"
#include "settings/settings.h"
#include "term/code_page.h"

namespace {

// After the quit message the peer is given this long to close its end, so
// that the connection ends the way a copy of the program ends it.
constexpr int PEER_CLOSE_WAIT_MS = 2000;

using Clock = std::chrono::steady_clock;

int MillisecondsUntil(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Runs the loop until done() holds or the deadline passes; false on the
// deadline. Every wait is bounded by it.
template <typename Done>
bool RunUntil(Done done, Clock::time_point deadline) {
    while (!done()) {
        const int left = MillisecondsUntil(deadline);
        if (left == 0) return false;
        RunEventLoopOnce(left);
    }
    return true;
}

enum class HandOver { Done, PeerClosed, TimedOut };

bool Connected() {
    const ControlState state = CurrentConnection().state;
    return state == ControlState::ClientConnected || state == ControlState::ClientGreeted;
}

// Waits until the message in the engine has been handed whole to the
// socket. A close of the peer empties the engine, so it is looked at first.
HandOver HandOverMessage(Clock::time_point deadline) {
    for (;;) {
        if (!Connected()) return HandOver::PeerClosed;
        if (!MessageInTransit()) return HandOver::Done;
        const int left = MillisecondsUntil(deadline);
        if (left == 0) return HandOver::TimedOut;
        RunEventLoopOnce(left);
    }
}

// A popup's line breaks as the send window makes them, "\r\n", whatever
// line ends the script gave: the receiving window breaks lines only there,
// and counts both bytes against the limit.
std::string PopupText(const std::string& text) {
    std::string popup;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) popup += '\r';
        popup += text[i];
    }
    return popup;
}

// What is too long, in characters; the limits count what goes on the
// wire, which is more where a character takes two bytes of the code page.
std::string TooLong(const std::string& what, const std::wstring& text, size_t limit) {
    const size_t wire = WireLength(text);
    return what + " is " + std::to_string(text.size()) + " characters" +
           (wire != text.size() ? ", " + std::to_string(wire) + " on the wire," : ";") + " it takes at most " +
           std::to_string(limit);
}

}  // namespace

std::string SendTextRefusal(const Arguments& arguments, const std::string& text) {
    if (arguments.nickGiven) {
        const std::wstring nick = FromLocale(arguments.nick);
        if (WireLength(nick) > NICKNAME_READ_SIZE - 1) return TooLong("the nickname", nick, NICKNAME_READ_SIZE - 1);
    }
    if (text.find('\0') != std::string::npos) return "the text holds a zero byte, which no message can carry";
    const std::wstring wide = FromLocale(text);
    if (arguments.popup) {
        if (text.empty()) return "a popup message cannot be empty";
        const std::wstring popup = FromLocale(PopupText(text));
        // The terminator inside the text would end the message there, and
        // the peer would take the rest for a message of its own.
        if (ToWire(popup).find(MSG_TERMINATOR) != std::string::npos) {
            return "the popup message holds a form feed before a line break, which ends a message";
        }
        if (WireLength(popup) > static_cast<size_t>(POPUP_EDIT_LIMIT)) {
            return TooLong("the popup message", popup, POPUP_EDIT_LIMIT);
        }
        return "";
    }
    if (text.find_first_of("\r\n") != std::string::npos) return "a chat line cannot hold a line break";
    if (WireLength(wide) > INPUT_LINE_LIMIT) return TooLong("the chat line", wide, INPUT_LINE_LIMIT);
    return "";
}

int RunSend(const Arguments& arguments, const std::string& text, std::string* failure) {
    const std::string peer = arguments.host + ":" + std::to_string(CHAT_PORT);
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(arguments.timeout);
    if (arguments.nickGiven) SetCurrentNickname(ToWire(FromLocale(arguments.nick)).c_str());
    const std::string wire = ToWire(FromLocale(arguments.popup ? PopupText(text) : text));
    if (!InitNetwork()) return *failure = "cannot start the network", 1;

    bool connectStarted = false;
    ConnectTo(arguments.host.c_str());
    bool settled = RunUntil(
        [&] {
            const ControlState state = CurrentConnection().state;
            connectStarted = connectStarted || state == ControlState::Connecting;
            return state != ControlState::Resolving && state != ControlState::Connecting;
        },
        deadline);
    if (!settled) {
        *failure = "no answer from " + peer + " within " + std::to_string(arguments.timeout) + " s";
        return 1;
    }
    if (!Connected()) {
        if (!connectStarted) {
            *failure = "cannot resolve " + arguments.host;
        } else {
            *failure = "cannot connect to " + peer + ": " + std::strerror(LastConnectErrno());
        }
        return 1;
    }

    // The greeting went out on connect; each message is handed over whole
    // before the next, as the engine takes one at a time.
    HandOver outcome = HandOverMessage(deadline);
    if (outcome == HandOver::Done) {
        if (arguments.popup) {
            SendControl(CTRL_POPUP, wire.c_str());
        } else {
            SendChatText(wire.c_str());
        }
        outcome = HandOverMessage(deadline);
    }
    if (outcome == HandOver::Done) {
        SendQuitMessage("");
        outcome = HandOverMessage(deadline);
    }
    if (outcome == HandOver::PeerClosed) {
        *failure = peer + " closed the connection before the message was delivered";
        return 1;
    }
    if (outcome == HandOver::TimedOut) {
        *failure = peer + " did not take the message within " + std::to_string(arguments.timeout) + " s";
        ShutdownNetwork();
        return 1;
    }
    // Our end is done: the peer reads the rest, sees the end and closes its
    // own, and then ours closes without discarding anything it sent. A peer
    // that closed with our bytes unread has reset the connection, before our
    // end is shut (which then fails) or after: the message did not reach it.
    const bool shut = FinishSending();
    const Clock::time_point closeWait = Clock::now() + std::chrono::milliseconds(PEER_CLOSE_WAIT_MS);
    RunUntil([&] { return !Connected(); }, closeWait < deadline ? closeWait : deadline);
    const bool reset = !shut || (!Connected() && LastCloseErrno() != 0);
    ShutdownNetwork();
    if (reset) {
        *failure = peer + " closed the connection before the message was delivered";
        return 1;
    }
    return 0;
}
