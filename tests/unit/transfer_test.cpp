// The transfer engine and what arriving messages do: exact bytes on the wire
// for what is sent, exact history and alerts for what is received.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fakes.h"
#include "net/alerts.h"
#include "net/connection.h"
#include "net/protocol.h"
#include "net/transfer.h"
#include "seams/popups.h"
#include "settings/settings.h"

namespace {

const std::string TOO_LARGE = "***Error: Data too large, ignore\r\n";
const std::string BUSY = "Error: Previous send not finished, send ignored\n\r";
const std::string SEND_FAILED = "Error: Unexpected error in sending! Sending cancelled!\r\n";
const std::string OVERFLOW_LINE = "***Error: Received message longer than 510 bytes, discarded\r\n";
const std::string UNRECOGNIZED = "***Error: Unrecognized command.  (This should never happen.  Close this program)\r\n";
const std::string LONGEST(500, 'x'), TOO_LONG = LONGEST + "y";
const char* const T16 = "0123456789abcdef";  // a 19-byte message, two blocks
// 0x1F down to 0x01 (0x0D before 0x0C: no terminator), DEL, and two bytes that are text.
const std::string CONTROL_BYTES = [] {
    std::string bytes;
    for (char c = 0x1F; c > 0; --c) bytes += c;
    return bytes + "\x7F\x80\xFF";
}();

// WinSock's own FD_WRITE, once the socket takes data again.
void Writable() { OnConnectionEvent(connectionState.connSocket, SOCKET_EVENT_WRITE, 0); }

struct SendRow {
    const char* name;
    std::vector<int> answers;  // what each send call takes: n bytes, -1 would-block, -2 fails
    void (*steps)();
    std::string wire, history;
};

const SendRow SENDS[] = {
    {"chat hi", {}, [] { SendChatText("hi"); }, Hex("01 68 69 0C 0D 00 00 00 00 00"), ""},
    {"empty chat", {}, [] { SendChatText(""); }, Hex("01 0C 0D 00 00 00 00 00 00 00"), ""},
    {"seven letters fill a block", {}, [] { SendChatText("abcdefg"); }, Hex("01 61 62 63 64 65 66 67 0C 0D"), ""},
    {"the terminator across two blocks", {}, [] { SendChatText("abcdefgh"); },
     Hex("01 61 62 63 64 65 66 67 68 0C 0D 00 00 00 00 00 00 00 00 00"), ""},
    {"nick", {}, [] { SendControl(CTRL_NICK, "Bob"); }, Hex("02 04 42 6F 62 0C 0D 00 00 00"), ""},
    {"action", {}, [] { SendControl(CTRL_ACTION, "waves"); }, Hex("02 08 77 61 76 65 73 0C 0D 00"), ""},
    {"popup", {}, [] { SendControl(CTRL_POPUP, "Lunch?"); }, Hex("02 10 4C 75 6E 63 68 3F 0C 0D"), ""},
    {"greeting", {}, [] { SendControl(CTRL_HELLO, "YourNickName"); },
     Hex("02 20 59 6F 75 72 4E 69 63 6B 4E 61 6D 65 0C 0D 00 00 00 00"), ""},
    {"quit", {}, [] { SendControl(CTRL_QUIT, "Leaving"); },
     Hex("02 40 4C 65 61 76 69 6E 67 0C 0D 00 00 00 00 00 00 00 00 00"), ""},
    {"eight-bit text unchanged", {}, [] { SendChatText("caf\xE9 \x80\xFF%s"); }, Chat("caf\xE9 \x80\xFF%s"), ""},
    {"500 text bytes in 510", {}, [] { SendChatText(LONGEST.c_str()), SendControl(CTRL_POPUP, LONGEST.c_str()); },
     Chat(LONGEST) + Control(CTRL_POPUP, LONGEST), ""},
    {"501 text bytes refused", {}, [] { SendChatText(TOO_LONG.c_str()), SendControl(CTRL_POPUP, TOO_LONG.c_str()); },
     "", TOO_LARGE + TOO_LARGE},
    {"3 of 10 twice: six bytes of a five-byte message", {3, 3}, [] { SendChatText("hi"); }, Hex("01 68 69 0C 0D 00"),
     ""},
    {"3 of 10, then whole blocks past the storage", {3}, [] { SendControl(CTRL_QUIT, LONGEST.c_str()); },
     Control(CTRL_QUIT, LONGEST) + std::string(3, '\0'), ""},
    {"one byte at a time", std::vector<int>(504, 1), [] { SendControl(CTRL_POPUP, LONGEST.c_str()); },
     Control(CTRL_POPUP, LONGEST).substr(0, 504), ""},
    {"a transport claiming 12 of 10 moves one block", {12}, [] { SendChatText(T16); }, Chat(T16), ""},
    {"would-block waits for WinSock: too large, then busy meanwhile", {10, -1},
     [] { SendChatText(T16), SendChatText(TOO_LONG.c_str()), SendChatText("no"), Writable(), SendChatText("next"); },
     Chat(T16) + Chat("next"), TOO_LARGE + BUSY},
    {"FD_WRITE with nothing queued sends nothing", {}, [] { Writable(), SendChatText("hi"), Writable(); }, Chat("hi"),
     ""},
    {"a failing send cancels; the next message starts clean", {10, -2},
     [] { SendChatText(T16), Writable(), SendChatText("ok"); }, Chat(T16).substr(0, 10) + Chat("ok"), SEND_FAILED},
    {"a send taking nothing cancels", {0}, [] { SendChatText("hi"), SendChatText("ok"); }, Chat("ok"), SEND_FAILED},
    {"not connected, whatever the text", {},
     [] { ResetFakes(), SendChatText("hi"), SendControl(CTRL_HELLO, TOO_LONG.c_str()); }, "",
     "***Not connected\r\n***Not connected\r\n"},
};

TEST(TransferTest, WhatThePeerReceives) {
    for (const SendRow& row : SENDS) {
        SCOPED_TRACE(row.name);
        Connected();
        fake.sendAnswers = row.answers;
        row.steps();
        EXPECT_EQ(fake.wire, row.wire);
        EXPECT_EQ(fake.history, row.history);
    }
}

TEST(TransferTest, AStreamCutAnywhereGivesTheSameLines) {
    const std::string wire = Chat("hello") + Control(CTRL_NICK, "Bob") + Chat(std::string(300, 'm')) + Chat("") +
                             Control(CTRL_ACTION, LONGEST) + Chat("end");
    const std::string lines = "<Peer> hello\r\n***Peer is now known as Bob.\r\n<Bob> " + std::string(300, 'm') +
                              "\r\n<Bob> \r\n*Bob " + LONGEST + ".\r\n<Bob> end\r\n";
    for (size_t piece = 1; piece <= WIRE_BLOCK; ++piece) {
        Connected();
        for (size_t at = 0; at < wire.size(); at += piece) PeerSends(wire.substr(at, piece));
        EXPECT_EQ(fake.history, lines) << "reads of " << piece;
    }
}

struct ArrivalRow {
    const char* name;
    const char* settings;            // FlashTitle, Beep, PlaySound, IgnorePopup; 1 while the window is active
    std::vector<std::string> reads;  // each arrives alone; longer than a block, it takes several reads
    std::string history, alerts;
};

const char* const QUIET = "00001";

const ArrivalRow ARRIVALS[] = {
    {"three messages in whole blocks", QUIET, {Chat("hi") + Chat("abcdefgh") + Control(CTRL_NICK, "Bob")},
     "<Peer> hi\r\n<Peer> abcdefgh\r\n***Peer is now known as Bob.\r\n", ""},
    {"two messages in one read", QUIET, {Hex("01 61 0C 0D 01 62 0C 0D 00 00")}, "<Peer> a\r\n<Peer> b\r\n", ""},
    {"0x0D without 0x0C before it is text, shown as ?", QUIET, {Hex("01 61 0D 62 0C 0D")}, "<Peer> a?b\r\n", ""},
    {"every control byte but TAB shows as ?, in every one-line field", QUIET,
     {Chat(CONTROL_BYTES) + Control(CTRL_HELLO, "An\r\nna") + Control(CTRL_ACTION, "wa\nves\x1b[2J") +
      Control(CTRL_NICK, "B\ro\x7f\tb")},
     "<Peer> " + std::string(22, '?') + "\t" + std::string(9, '?') + "\x80\xFF\r\n*** You are connected to An??na.\r\n"
     "*An??na wa?ves?[2J.\r\n***An??na is now known as B?o?\tb.\r\n", ""},
    {"a popup keeps its lines in its window; its caption names the peer in one line", "11001",
     {Control(CTRL_NICK, "B\no") + Control(CTRL_POPUP, "one\r\ntwo\x1b")}, "***Peer is now known as B?o.\r\n",
     " popup Popup message from B?o: one\r\ntwo\x1b;"},
    {"0x0D as the first byte held", QUIET, {Hex("0D"), Hex("01 78 0C 0D")}, UNRECOGNIZED, ""},
    {"padding left by a short read", QUIET, {Hex("01 68 69 0C 0D"), Hex("00 00 00 00 00 02 04 42 6F 62"), Hex("0C 0D")},
     "<Peer> hi\r\n***Peer is now known as Bob.\r\n", ""},
    {"the next message starts right after a terminator", QUIET,
     {Hex("01 68 69"), Hex("0C 0D 00 00 00 00 00 02 04 42"), Hex("6F 62 0C 0D 00 00 00")},
     "<Peer> hi\r\n***Peer is now known as Bob.\r\n", ""},
    {"a read of nothing keeps what was collected", QUIET, {Hex("01 61 62"), "", Hex("0C 0D")}, "<Peer> ab\r\n", ""},
    {"509 bytes and the terminator fit", QUIET, {"\x01" + std::string(508, 'a') + "\x0C\x0D"},
     "<Peer> " + std::string(508, 'a') + "\r\n", ""},
    {"510 bytes and the terminator overflow", QUIET, {"\x01" + std::string(509, 'a'), Hex("0C 0D"), Chat("ok")},
     OVERFLOW_LINE + "<Peer> ok\r\n", ""},
    {"the 511th byte overflows", QUIET, {"\x01" + std::string(509, 'a'), "b", Chat("ok")},
     OVERFLOW_LINE + "<Peer> ok\r\n", ""},
    {"the rest of the overflowing read is dropped", QUIET,
     {std::string(510, 'A') + Hex("0C 0D 01 68 69 0C 0D 00 00 00"), Chat("ok")}, OVERFLOW_LINE + "<Peer> ok\r\n", ""},
    {"the longest message after leftover padding", QUIET,
     {Hex("01 61 62 63 64 65 66 67 68 0C"), Hex("0D"), std::string(9, '\0') + Control(CTRL_ACTION, LONGEST)},
     "<Peer> abcdefgh\r\n*Peer " + LONGEST + ".\r\n", ""},
    {"chat while active beeps", "11101", {Chat("hi")}, "<Peer> hi\r\n", " tone 500 1000;"},
    {"chat while inactive flashes too", "11100", {Chat("hi")}, "<Peer> hi\r\n",
     "timer 100 every 500 ms; tone 500 1000;"},
    {"only 1 counts for flash and beep", "20100", {Chat("")}, "<Peer> \r\n", ""},
    {"peer text is never a format", QUIET, {Chat("100% %s%n")}, "<Peer> 100% %s%n\r\n", ""},
    {"a name is cut to its field, not in its line", QUIET, {Control(CTRL_NICK, std::string(300, 'b')) + Chat("hi")},
     "***Peer is now known as " + std::string(300, 'b') + ".\r\n<" + std::string(23, 'b') + "> hi\r\n", ""},
    {"an action ends with a full stop and never alerts", "11100", {Control(CTRL_ACTION, "waves")}, "*Peer waves.\r\n",
     ""},
    {"a popup plays the sound, then opens", "11100", {Control(CTRL_POPUP, "Lunch?")}, "",
     " wave beep.wav; popup Popup message from Peer: Lunch?;"},
    {"a popup without sound", "11001", {Control(CTRL_POPUP, "Lunch?")}, "", " popup Popup message from Peer: Lunch?;"},
    {"an ignored popup leaves no trace", "11170", {Control(CTRL_POPUP, "Lunch?")}, "", ""},
    {"a quit reason waits for the close", "11100", {Control(CTRL_QUIT, "bye")}, "", ""},
    {"an unknown code is dropped silently", "11100", {Control(0x05, "x") + Hex("02 0C 0D")}, "", ""},
};

std::string Alerts() {
    std::string text = fake.timer.empty() ? "" : "timer " + fake.timer + ";";
    for (const std::string& sound : fake.sounds) text += " " + sound + ";";
    for (const std::string& popup : fake.popups) text += " popup " + popup + ";";
    return text;
}

TEST(IncomingTest, WhatTheUserSeesAndHearsOfReceivedBytes) {
    for (const ArrivalRow& row : ARRIVALS) {
        SCOPED_TRACE(row.name);
        Connected();
        chatSettings.FlashTitle = row.settings[0] - '0';
        chatSettings.Beep = row.settings[1] - '0';
        chatSettings.PlaySound = row.settings[2] - '0';
        chatSettings.IgnorePopup = row.settings[3] - '0';
        windowActive = row.settings[4] - '0';
        for (const std::string& read : row.reads) PeerSends(read);
        EXPECT_EQ(fake.history, row.history);
        EXPECT_EQ(Alerts(), row.alerts);
    }
}

// A front end that asks is told of a popup that IgnorePopup drops, and only
// of that; nothing else shows.
TEST(IncomingTest, AFrontEndThatAsksIsToldOfADroppedPopup) {
    static std::string told;
    PopupDropped = [](const char* peer) { told += std::string(peer) + ";"; };
    for (int32_t ignore : {1, 0, 7}) {
        Connected();
        chatSettings.IgnorePopup = ignore;
        PeerSends(Control(CTRL_POPUP, "Lunch?"));
    }
    PopupDropped = nullptr;
    EXPECT_EQ(told, "Peer;Peer;");
    EXPECT_TRUE(fake.popups.empty() && fake.history.empty() && fake.sounds.empty()) << "the last connection's";
}

TEST(IncomingTest, APopupFloodOpensTwentyWindowsTheRestAsLinesAndSoundsOncePerSecond) {
    Connected();
    std::string lines;
    for (int n = 1; n <= 25; ++n) {  // within a second
        fake.now = 5000 + 40 * n;
        PeerSends(Control(CTRL_POPUP, "popup " + std::to_string(n)));
        if (n > 20) lines += "***Popup message from Peer: popup " + std::to_string(n) + "\r\n";
    }
    EXPECT_EQ(fake.popups.size(), 20u);
    EXPECT_EQ(fake.popups.back(), "Popup message from Peer: popup 20");
    EXPECT_EQ(fake.history, lines);
    EXPECT_EQ(Alerts().substr(0, 15), " wave beep.wav;");
    EXPECT_EQ(fake.sounds.size(), 1u);
    // One popup at a time: when it comes, how many windows the user closed just before.
    const struct { uint32_t at; size_t closing; std::string seen; } rows[] = {
        {6039, 0, "line"}, {6040, 0, "sound line"}, {6041, 1, "window"}, {6042, 0, "line"},
        {0xFFFFFF00, 20, "sound window"}, {0x100, 0, "window"},  // the clock wraps
    };
    for (const auto& row : rows) {
        const size_t sounds = fake.sounds.size(), windows = fake.popups.size(), length = fake.history.size();
        fake.now = row.at, fake.closedPopups += row.closing;
        PeerSends(Control(CTRL_POPUP, "late"));
        std::string seen = fake.sounds.size() > sounds ? "sound " : "";
        if (fake.popups.size() > windows) seen += "window";
        if (fake.history.substr(length) == "***Popup message from Peer: late\r\n") seen += "line";
        EXPECT_EQ(seen, row.seen) << row.at;
    }
    // Past the cap, a popup's further lines are indented, so that none passes for a line of its own.
    fake.history.clear(), fake.closedPopups = fake.popups.size() - 20;
    PeerSends(Control(CTRL_POPUP, "one\r\n*** You are connected to Bob.\ntwo\rthree\x1b[2J"));
    EXPECT_EQ(fake.history, "***Popup message from Peer: one\r\n    *** You are connected to Bob.\r\n    two\r\n"
                            "    three?[2J\r\n");
}

TEST(IncomingTest, TitleFlashRunsOnceAndActivationRestoresTheTitle) {
    Connected();
    SetWindowActive(false);
    PeerSends(Chat("one")), FlashTick(), PeerSends(Chat("two"));
    EXPECT_EQ(fake.timer + (fake.titleInverted ? " inverted" : ""), "100 every 500 ms inverted");
    SetWindowActive(true);
    PeerSends(Chat("three"));  // seen at once: no flash
    EXPECT_EQ(fake.timer + (fake.titleInverted ? " inverted" : ""), "");
}

}  // namespace
