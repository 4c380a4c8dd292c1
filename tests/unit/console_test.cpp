// The history pane and the interpreter of typed lines: what each line leaves
// in the history, in message boxes and on the wire.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/commands.h"
#include "console/history.h"
#include "fakes/fakes.h"
#include "net/connection.h"
#include "net/protocol.h"
#include "settings/settings.h"

namespace {

const std::string NOT_CONNECTED = "***Not connected\r\n";
const std::string BUSY = "Error: Previous send not finished, send ignored\n\r";
const std::string UNKNOWN = "Error: Unknown Command.  Type /help for a list of available commands.\r\n";
const std::string HELP =
    "***Available Commands:\r\n/nick NewNickname\t\tChanges your nickname\r\n/me message goes here\tAction\r\n"
    "/clear\t\t\tClears the history window\r\n/verify\t\t\tShows the safety code of an encrypted conversation\r\n"
    "***End Available Commands\r\n";
const std::string DISCONNECTED = "Disconnected from server...\r\n";

TEST(HistoryTest, AppendsLandAtTheEndAsGivenAndPartsAsOneText) {
    ResetFakes();
    AppendHistory("Server closed...");
    AppendHistory({"<", "Bob %s", "> ", "", "next\n\r"});
    EXPECT_EQ(fake.history, "Server closed...<Bob %s> next\n\r");
    ClearHistory();
    EXPECT_EQ(fake.history, "");
}

// Lines of 100 characters, numbered from first.
std::string Lines(size_t first, size_t count) {
    std::string text;
    for (size_t n = first; n < first + count; ++n) {
        std::string number = std::to_string(n);
        text += "line " + number + std::string(93 - number.size(), '.') + "\r\n";
    }
    return text;
}

TEST(HistoryTest, AFullHistoryDropsItsOldestWholeLinesDownToThreeQuarters) {
    const struct { const char* name; std::string before, appended, after; } rows[] = {
        {"full to the last character", Lines(0, 9999), Lines(9999, 1), Lines(0, 10000)},
        {"one past", Lines(0, 10000), "x", Lines(2501, 7499) + "x"},
        {"a longer text past", Lines(0, 9990), Lines(9990, 11), Lines(2502, 7499)},
        {"the cut point on a line's last character", Lines(0, 9999) + std::string(99, 'y'), "zz",
         Lines(2501, 7498) + std::string(99, 'y') + "zz"},
        {"no line end near the cut point: all of it goes", std::string(HISTORY_CAPACITY, 'w'), "new\r\n", "new\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ResetFakes();
        fake.history = row.before;
        AppendHistory(row.appended.c_str());
        EXPECT_EQ(fake.history.size(), row.after.size());
        EXPECT_TRUE(fake.history == row.after) << fake.history.substr(0, 20);
        EXPECT_LE(fake.history.size(), HISTORY_CAPACITY);
    }
}

struct LineRow {
    const char* name;
    bool connected;
    std::vector<int> answers;  // what each send call takes, as for the engine's tests
    std::vector<std::string> typed;
    std::string seen;  // the history, then each message box
    std::string wire;
    bool focused;
};

const LineRow LINES[] = {
    {"chat is echoed, then sent", true, {}, {"hello there"}, "<You> hello there\r\n", Chat("hello there"), true},
    {"a refusal stands below the echo", true, {-1}, {"first", "second"}, "<You> first\r\n<You> second\r\n" + BUSY, "",
     true},
    {"without a peer", false, {}, {"hello", "", "/nick Bob", "/me waves", "/quit", "/popup hi"},
     NOT_CONNECTED + NOT_CONNECTED + NOT_CONNECTED + NOT_CONNECTED + NOT_CONNECTED + NOT_CONNECTED, "", false},
    {"an empty line is chat", true, {}, {""}, "<You> \r\n", Chat(""), true},
    {"a blank before the slash makes chat", true, {}, {" /nick Bob"}, "<You>  /nick Bob\r\n", Chat(" /nick Bob"),
     true},
    {"/nick", true, {}, {"/nick Bob", "x"}, "***Your are now known as Bob.\r\n<Bob> x\r\n",
     Control(CTRL_NICK, "Bob") + Chat("x"), true},
    {"/nick of 20", true, {}, {"/nick " + std::string(20, 'n')},
     "***Your are now known as " + std::string(20, 'n') + ".\r\n", Control(CTRL_NICK, std::string(20, 'n')), true},
    {"/nick of 25", true, {}, {"/nick " + std::string(25, 'n')},
     "***Nickname is longer than 20 characters, truncated\r\n***Your are now known as " + std::string(20, 'n') +
         ".\r\n",
     Control(CTRL_NICK, std::string(20, 'n')), true},
    {"/nick refused still renames", true, {-1}, {"hi", "/nick Zed %s", "x"},
     "<You> hi\r\n" + BUSY + "***Your are now known as Zed %s.\r\n<Zed %s> x\r\n" + BUSY, "", true},
    {"/me", true, {}, {"/me waves"}, "*You waves\r\n", Control(CTRL_ACTION, "waves"), true},
    {"/me refused: the refusal above the echo", true, {-1}, {"/me one", "/me two"},
     "*You one\r\n" + BUSY + "*You two\r\n", "", true},
    {"near misses", true, {}, {"/nick", "/nickBob", "/me", "/mewaves", "/", "/NICK Bob", "/HELP", "//nick"},
     UNKNOWN + UNKNOWN + UNKNOWN + UNKNOWN + UNKNOWN + UNKNOWN + UNKNOWN + UNKNOWN, "", true},
    {"/help and /clear by prefix, without a peer", false, {}, {"/what", "/helpme", "/clearly", "/help"}, HELP, "",
     true},
    {"/popup", true, {}, {"/popup Lunch?"}, "", Control(CTRL_POPUP, "Lunch?"), true},
    {"/popup without text", true, {}, {"/popup", "/popup "},
     "[box icon: Unable to comply(empty message)][box icon: Unable to comply(empty message)]", "", true},
    {"/quit", true, {}, {"/quit"}, DISCONNECTED, Control(CTRL_QUIT, "Leaving"), true},
    {"/quit and one letter", true, {}, {"/quitx"}, DISCONNECTED, Control(CTRL_QUIT, "Leaving"), true},
    {"/quit and letters: from the seventh character", true, {}, {"/quitxyz"}, DISCONNECTED,
     Control(CTRL_QUIT, "yz"), true},
};

TEST(InterpreterTest, WhatEachTypedLineDoes) {
    for (const LineRow& row : LINES) {
        SCOPED_TRACE(row.name);
        row.connected ? Connected() : ResetFakes();
        fake.sendAnswers = row.answers;
        for (const std::string& line : row.typed) {
            Type(line);
            EXPECT_EQ(fake.input, "") << "the typed line leaves the input line";
        }
        std::string seen = fake.history;
        for (const std::string& box : fake.boxes) seen += "[box " + box + "]";
        EXPECT_EQ(seen, row.seen);
        EXPECT_EQ(fake.wire, row.wire);
        EXPECT_EQ(fake.inputFocused, row.focused);
    }
}

// Which commands each state of the connection offers: the same table as the
// menu items and buttons, and a peer for what talks to one.
TEST(CommandTest, WhatEachStateOffers) {
    const struct { const char* name; void (*reach)(); const char* available, *host; } rows[] = {
        // D: Disconnect, S: Start Server, X: Stop Server, W: send window, N: /nick, C: Connect, E: Exit
        {"idle", [] { ResetFakes(), InitNetwork(); }, "-S---CE", ""},
        {"looking up; a second connect is refused and leaves the first its name",
         [] { ResetFakes(), InitNetwork(), ConnectTo("officepc"), ConnectTo("hostb"); }, "D----CE", "officepc"},
        {"connected, not greeted", [] { Connected(); }, "D---NCE", "127.0.0.1"},
        {"greeted", [] { Connected(), PeerSends(Control(CTRL_HELLO, "Ann")); }, "D--WNCE", "127.0.0.1"},
        {"listening", [] { ResetFakes(), InitNetwork(), StartServer(); }, "--X--CE", ""},
    };
    const Command commands[] = {Command::Disconnect, Command::StartServer, Command::StopServer,
                                Command::OpenSendWindow, Command::Nick, Command::Connect, Command::Exit};
    for (const auto& row : rows) {
        row.reach();
        std::string available;
        for (size_t i = 0; i < 7; ++i) available += CommandAvailable(commands[i]) ? "DSXWNCE"[i] : '-';
        EXPECT_EQ(available, row.available) << row.name;
        EXPECT_STREQ(CurrentConnection().host, row.host) << row.name;
    }
}

TEST(CommandTest, WhatEachCommandShowsAndKeeps) {
    const struct { const char* name; Command command; int times; std::string seen; } rows[] = {
        {"connect without a host asks for one", Command::Connect, 1, "[Connect to]"},
        {"the send window names the peer", Command::OpenSendWindow, 1, "[Send popup message to Peer]"},
        {"always on top, and back", Command::ToggleAlwaysOnTop, 2, "[on top][not on top]"},
        {"the toolbar, and back", Command::ToggleToolbar, 2, "[no toolbar][toolbar]"},
        {"a popup typed without text", Command::SendPopup, 1, "[box icon: Unable to comply(empty message)]"},
        {"exit", Command::Exit, 1, "[closed]"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ResetFakes(), InitNetwork();
        fake.history.clear();
        const int32_t onTop = chatSettings.AlwaysOnTop, toolbar = chatSettings.Toolbar;
        for (int i = 0; i < row.times; ++i) RunCommand(row.command, "");
        std::string seen;
        for (const std::string& shown : fake.shell) seen += "[" + shown + "]";
        for (const std::string& box : fake.boxes) seen += "[box " + box + "]";
        EXPECT_EQ(seen + fake.history, row.seen);
        EXPECT_EQ(fake.wire, "");
        // Toggled twice is as before, and each toggle kept its new value.
        EXPECT_EQ(chatSettings.AlwaysOnTop, onTop);
        EXPECT_EQ(chatSettings.Toolbar, toolbar);
    }
}

// The terminal's /save keeps the nickname in use with a greeted peer,
// /nick's among them; without one, the settings' own.
TEST(CommandTest, SaveKeepsTheNicknameInUse) {
    const struct { const char* name; void (*reach)(); const char* stored; } rows[] = {
        {"idle", [] { ResetFakes(), InitNetwork(); }, "YourNickName"},
        {"not greeted, after /nick", [] { Connected(), RunCommand(Command::Nick, "Bobby"); }, "YourNickName"},
        {"greeted", [] { Connected(), PeerSends(Control(CTRL_HELLO, "Ann")); }, "YourNickName"},
        {"greeted, after /nick",
         [] { Connected(), PeerSends(Control(CTRL_HELLO, "Ann")), RunCommand(Command::Nick, "Bobby"); }, "Bobby"},
    };
    for (const auto& row : rows) {
        row.reach();
        RunCommand(Command::SaveNickname, "");
        EXPECT_EQ(fake.values["Nickname"].second, row.stored + std::string(1, '\0')) << row.name;
        EXPECT_STREQ(CurrentSettings().Nickname, row.stored) << row.name;
    }
}

TEST(CommandTest, ATypedCommandRefusedSaysWhy) {
    const struct { Command command; const char* typed; const char* line; bool focus; } rows[] = {
        {Command::StopServer, "/stop", "***/stop is not available now\r\n", true},
        {Command::Nick, "/nick Bob", "***Not connected\r\n", false},
    };
    for (const auto& row : rows) {
        ResetFakes();
        EXPECT_EQ(RefuseCommand(row.command, row.typed), row.focus);
        EXPECT_EQ(fake.history, row.line);
    }
}

}  // namespace
