#include "term/send_mode.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
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

// More than any message takes: enough to say how much too long a text is.
constexpr size_t MOST_READ_FROM_INPUT = 1 << 20;

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

    // Our greeting went out on connect; each message is handed over whole
    // before the next, as the engine takes one at a time. The text waits
    // for the peer's greeting: a Norrik that already has a peer leaves the
    // connection unaccepted in its backlog, and would show the text long
    // after, out of any context; a program that is no Norrik never greets.
    HandOver outcome = HandOverMessage(deadline);
    if (outcome == HandOver::Done) {
        const bool greeted = RunUntil(
            [] { return !Connected() || CurrentConnection().state == ControlState::ClientGreeted; }, deadline);
        if (!greeted) {
            ShutdownNetwork();
            *failure = peer + " did not answer: busy, or not Norrik";
            return 1;
        }
        outcome = Connected() ? HandOver::Done : HandOver::PeerClosed;
    }
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
    const std::string seconds = std::to_string(arguments.timeout) + " s";
    if (outcome == HandOver::TimedOut) {
        *failure = peer + " did not take the message within " + seconds;
        ShutdownNetwork();
        return 1;
    }
    // Our end is done: the peer reads the rest, sees the end and closes its
    // own, and then ours closes without discarding anything it sent. A peer
    // that closed with our bytes unread has reset the connection, before our
    // end is shut (which then fails) or after: the message did not reach it.
    // One that never closes may never have read them.
    const bool shut = FinishSending();
    const bool closed = RunUntil([&] { return !Connected(); }, deadline);
    const bool reset = !shut || (closed && LastCloseErrno() != 0);
    ShutdownNetwork();
    if (reset) {
        *failure = peer + " closed the connection before the message was delivered";
        return 1;
    }
    if (!closed) {
        *failure = peer + " did not close the connection within " + seconds + ": delivery not confirmed";
        return 1;
    }
    return 0;
}

bool ReadInput(int input, std::string* text, std::string* failure) {
    char block[4096];
    while (text->size() < MOST_READ_FROM_INPUT) {
        const ssize_t count = read(input, block, sizeof block);
        if (count > 0) {
            text->append(block, static_cast<size_t>(count));
        } else if (count == 0) {
            break;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // Input that does not block: wait until it has more, or ends.
            pollfd ready = {input, POLLIN, 0};
            poll(&ready, 1, -1);
        } else if (errno != EINTR) {
            *failure = std::string("cannot read standard input: ") + std::strerror(errno);
            return false;
        }
    }
    // The line end that ends what echo or a here-document gives.
    if (!text->empty() && text->back() == '\n') text->pop_back();
    if (!text->empty() && text->back() == '\r') text->pop_back();
    return true;
}

int SendCommand(const Arguments& arguments, int input, std::string* failure) {
    std::string text = arguments.text;
    if (!arguments.textGiven && !ReadInput(input, &text, failure)) return 1;
    if (text.empty()) return *failure = "nothing to send", 2;
    // A settings file that cannot be written does not stop a send, and the
    // send's one line on standard error stays its outcome's. Its code page
    // is what the limits count in.
    LoadCurrentSettings();
    UseCodePage(static_cast<uint32_t>(CurrentSettings().CodePage));
    *failure = SendTextRefusal(arguments, text);
    if (!failure->empty()) return 1;
    return RunSend(arguments, text, failure);
}
