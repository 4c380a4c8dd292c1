// What the terminal makes of text: the command line, the history as rows,
// the input line under the keys, the status line, and the texts norrik send
// refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <string>
#include <tuple>
#include <vector>

#include "settings/settings.h"
#include "term/alerts.h"
#include "term/arguments.h"
#include "term/code_page.h"
#include "term/send_mode.h"
#include "term/status_line.h"
#include "term/state.h"
#include "common/text.h"
#include "term/history_lines.h"
#include "term/history_view.h"
#include "term/input_editor.h"
#include "term/socket_errors.h"
#include "net/connection_state.h"
#include "seams/front_end_commands.h"

namespace {

std::string Describe(const Arguments& a) {
    const char* const modes[] = {"screen", "send", "help", "version", "refused"};
    return modes[static_cast<int>(a.mode)] + std::string(a.startServer ? " server" : "") +
           (a.host.empty() ? "" : " host=" + a.host) + (a.popup ? " popup" : "") +
           (a.nickGiven ? " nick=" + a.nick : "") +
           (a.timeout != DEFAULT_SEND_TIMEOUT ? " timeout=" + std::to_string(a.timeout) : "") +
           (a.textGiven ? " text=" + a.text : "") + (a.refusal.empty() ? "" : ": " + a.refusal);
}

// Each row: the arguments, and what they were parsed as.
using A = std::pair<std::vector<std::string>, std::string>;
class TermArguments : public ::testing::TestWithParam<A> {};

TEST_P(TermArguments, Parse) { EXPECT_EQ(Describe(ParseArguments(GetParam().first)), GetParam().second); }

INSTANTIATE_TEST_SUITE_P(
    Rows, TermArguments,
    ::testing::Values(A{{}, "screen"}, A{{"--server"}, "screen server"}, A{{"buildpc"}, "screen host=buildpc"},
                      A{{"buildpc", "x"}, "refused: too many arguments"}, A{{"-x"}, "refused: unknown option -x"},
                      A{{"buildpc", "--help"}, "help"}, A{{"--version"}, "version"},
                      A{{"send", "pc", "Build", "green"}, "send host=pc text=Build green"}, A{{"send", "pc"}, "send host=pc"},
                      A{{"send", "--popup", "--nick", "anna", "--timeout", "3", "pc", "hi"},
                        "send host=pc popup nick=anna timeout=3 text=hi"},
                      A{{"send", "--timeout", "86400", "pc"}, "send host=pc timeout=86400"},
                      A{{"send", "--timeout", "0", "pc"}, "refused: --timeout takes whole seconds from 1 to 86400, not 0"},
                      A{{"send", "--timeout", "86401", "pc"}, "refused: --timeout takes whole seconds from 1 to 86400, not 86401"},
                      A{{"send", "--nick"}, "refused: --nick needs a value"}, A{{"send", "--popup"}, "refused: send needs a HOST"},
                      A{{"send", "--bogus", "pc"}, "refused: unknown option --bogus"},
                      A{{"send", "--", "-pc", "-x"}, "send host=-pc text=-x"},
                      A{{"send", "pc", "--", "-x", "--"}, "send host=pc text=-x --"},
                      A{{"send", "--nick", "", "pc"}, "refused: --nick needs a name"}));

// The terminal runs in its user's locale; these tests in one of UTF-8.
const bool IN_UTF8 = std::setlocale(LC_ALL, "C.UTF-8") != nullptr;

std::string Utf8(const std::wstring& text) { return ToLocale(text); }
std::string Repeated(const std::string& text, size_t times) {
    std::string repeated;
    while (times-- > 0) repeated += text;
    return repeated;
}

// Each row: the code page, text in the locale (UTF-8), the same on the
// wire, and what comes back from the wire.
using W = std::tuple<uint32_t, std::string, std::string, std::string>;
class TermCodePage : public ::testing::TestWithParam<W> {};

TEST_P(TermCodePage, ConvertsBothWays) {
    ASSERT_TRUE(IN_UTF8);
    const auto& [codePage, text, wire, back] = GetParam();
    ASSERT_TRUE(UseCodePage(codePage));
    EXPECT_EQ(ToWire(FromLocale(text)), wire);
    EXPECT_EQ(Utf8(FromWire(wire)), back);
    UseCodePage(DEFAULT_CODE_PAGE);
}

INSTANTIATE_TEST_SUITE_P(Rows, TermCodePage,
                         ::testing::Values(W{1252, "héllo €", "h\xe9llo \x80", "héllo €"}, W{1252, "日本", "??", "??"},
                                           W{1252, "a\xff" "b", "a?b", "a?b"}, W{1252, "", "", ""},
                                           W{1252, "\x81", "?", "?"}, W{1251, "Привет", "\xcf\xf0\xe8\xe2\xe5\xf2", "Привет"},
                                           W{932, "日本", "\x93\xfa\x96\x7b", "日本"}, W{932, "é", "?", "?"},
                                           W{65001, "héllo 日本", "héllo 日本", "héllo 日本"}));

TEST(TermCodePage, AnUnknownOneIsWindows1252) {
    EXPECT_FALSE(UseCodePage(4242));
    EXPECT_EQ(ToWire(L"\u00e9"), "\xe9");
}

// Each row: the code page, the history on the wire, the width, and each row
// of the screen in brackets.
using H = std::tuple<uint32_t, std::string, int, std::string>;
class TermHistoryRows : public ::testing::TestWithParam<H> {};

TEST_P(TermHistoryRows, Split) {
    ASSERT_TRUE(IN_UTF8);
    const auto& [codePage, history, width, expected] = GetParam();
    UseCodePage(codePage);
    std::string rows;
    for (const std::wstring& row : HistoryRows(history, width)) rows += "[" + Utf8(row) + "]";
    EXPECT_EQ(rows, expected);
    UseCodePage(DEFAULT_CODE_PAGE);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TermHistoryRows,
    ::testing::Values(H{1252, "", 10, ""}, H{1252, "a\r\nb\r\n", 10, "[a][b]"}, H{1252, "\r\n\r\n", 10, "[][]"},
                      H{1252, "partial", 10, "[partial]"}, H{1252, "abcdef\r\n", 4, "[abcd][ef]"},
                      H{1252, "abcd\r\n", 4, "[abcd]"}, H{1252, "ab", 0, "[a][b]"}, H{1252, "\tx\r\n", 20, "[        x]"},
                      H{1252, "ab\tc\r\n", 20, "[ab      c]"}, H{1252, "abcdef\tx\r\n", 8, "[abcdef  ][x]"},
                      H{1252, "a\x01\x1b\x7f" "b\r\n", 10, "[a???b]"}, H{1252, "a\rb\r\n", 10, "[ab]"},
                      H{1252, "h\xe9llo w\xf6rld\r\n", 5, "[héllo][wörld]"}, H{1252, "one two three\r\n", 9, "[one two ][three]"},
                      H{1252, "a bcdefghij k\r\n", 4, "[a ][bcde][fghi][j k]"}, H{1252, "ab  cd", 3, "[ab ][cd]"}, H{1252, "a\x81\x9d" "b", 10, "[a??b]"},
                      H{65001, "a\xc2\x9b" "b", 10, "[a?b]"}, H{65001, "日本語です\r\n", 5, "[日本][語で][す]"},
                      H{65001, "a日本\r\n", 4, "[a日][本]"}, H{65001, "e\xcc\x81" "tat", 2, "[e\xcc\x81t][at]"},
                      H{932, "\x93\xfa\x96\x7b" "x\r\n", 3, "[日][本x]"}));

// Each row: the keys (lower case typed; L R H E B D U N: the edit keys; #:
// Enter), and the input line after them with '|' at the caret.
using E = std::pair<std::string, std::string>;
class TermInputEditor : public ::testing::TestWithParam<E> {};

TEST_P(TermInputEditor, Keys) {
    ASSERT_TRUE(IN_UTF8);
    term.input.clear(), term.caret = 0, term.recall = InputRecall();
    const std::wstring keys = L"LRHEBDUN";
    const EditKey edits[] = {EditKey::Left, EditKey::Right,  EditKey::Home, EditKey::End,
                             EditKey::Backspace, EditKey::Delete, EditKey::Up, EditKey::Down};
    for (wchar_t key : FromLocale(GetParam().first)) {
        if (key == L'#') {
            EnterInputLine();
        } else if (keys.find(key) != std::wstring::npos) {
            EditInputLine(edits[keys.find(key)]);
        } else {
            TypeCharacter(key);
        }
    }
    EXPECT_EQ(Utf8(term.input.substr(0, term.caret)) + "|" + Utf8(term.input.substr(term.caret)), GetParam().second);
}

// The lines entered earlier stay for the rows after, in one process: a
// row that recalls goes back only as far as its own lines.
INSTANTIATE_TEST_SUITE_P(
    Rows, TermInputEditor,
    ::testing::Values(E{"abc", "abc|"}, E{"abcLLx", "ax|bc"}, E{"abcHx", "x|abc"}, E{"abcHE", "abc|"}, E{"abcLB", "a|c"},
                      E{"abcLD", "ab|"}, E{"abcHB", "|abc"}, E{"abcED", "abc|"}, E{"LRab", "ab|"}, E{"one#", "|"},
                      E{std::string(301, 'a'), std::string(300, 'a') + "|"},
                      E{std::string(300, 'a') + "Hx", "|" + std::string(300, 'a')}, E{"one#two#U", "two|"},
                      E{"one#two#UU", "one|"}, E{"one#two#UUN", "two|"}, E{"one#draftUN", "draft|"},
                      E{"x#one#one#UU", "x|"}, E{"héllo 日本B", "héllo 日|"}, E{"héllo 日本LLB", "héllo|日本"},
                      E{"日本HD", "|本"}, E{Repeated("é", 301), Repeated("é", 300) + "|"},
                      E{Repeated("日", 301), Repeated("日", 300) + "|"}));

// The input line takes what fits in 300 bytes of the code page: a
// character of two bytes counts twice.
TEST(TermInputEditor, CountsTheWire) {
    const struct { uint32_t codePage; const char* character; size_t taken; } rows[] = {
        {1252, "é", 300}, {932, "日", 150}, {932, "a", 300}, {65001, "é", 150}, {65001, "日", 100},
    };
    for (const auto& row : rows) {
        UseCodePage(row.codePage);
        term.input.clear(), term.caret = 0;
        for (int i = 0; i < 400; ++i) TypeCharacter(FromLocale(row.character)[0]);
        EXPECT_EQ(term.input.size(), row.taken) << row.codePage << " " << row.character;
    }
    UseCodePage(DEFAULT_CODE_PAGE);
}

// Each row: the state of the connection, the local address, whether it is
// private, and the status line.
struct S {
    ControlState state;
    std::string address, line;
    Privacy privacy = Privacy::Settling;
};
class TermStatusLine : public ::testing::TestWithParam<S> {};

TEST_P(TermStatusLine, Says) {
    const S& row = GetParam();
    const ConnectionSummary connection = {row.state, "buildpc", "An\x1bna", row.address.c_str(), row.privacy};
    EXPECT_EQ(Utf8(StatusLine(connection)), row.line);
}

INSTANTIATE_TEST_SUITE_P(Rows, TermStatusLine,
                         ::testing::Values(S{ControlState::Idle, "", "idle: /connect HOST or /server"},
                                           S{ControlState::Resolving, "", "looking up buildpc"},
                                           S{ControlState::Connecting, "", "connecting to buildpc"},
                                           S{ControlState::ClientConnected, "", "connected to buildpc"},
                                           S{ControlState::ClientGreeted, "", "connected to An?na"},
                                           S{ControlState::Listening, "10.0.0.2", "listening on 10.0.0.2:6374"},
                                           S{ControlState::Listening, "", "listening on port 6374"},
                                           S{ControlState::ServingPeer, "", "a peer connected"},
                                           S{ControlState::ServingGreeted, "", "connected to An?na"},
                                           S{ControlState::ClientGreeted, "", "connected to An?na (encrypted)",
                                             Privacy::Encrypted},
                                           S{ControlState::ServingPeer, "", "a peer connected (NOT encrypted)",
                                             Privacy::NotEncrypted}));

// The right end of the status line: the lines that arrived below a history
// scrolled back, the popups open, and where the keys are.
TEST(TermStatusNote, NamesNewLinesAndTheKeyToThePopups) {
    const HistoryView atEnd, back = {false, 0, 0, 0}, newBelow = {false, 0, 0, 3};
    const struct { size_t open; Focus focus; HistoryView view; const char* note; } rows[] = {
        {0, Focus::InputLine, atEnd, ""}, {1, Focus::InputLine, atEnd, "Tab: 1 popup"},
        {3, Focus::InputLine, atEnd, "Tab: 3 popups"}, {2, Focus::Popups, atEnd, "Tab: back to typing"},
        {0, Focus::InputLine, back, ""}, {0, Focus::InputLine, newBelow, "3 new"},
        {2, Focus::InputLine, newBelow, "3 new  Tab: 2 popups"},
    };
    for (const auto& row : rows) EXPECT_EQ(StatusNote(row.open, row.focus, row.view), row.note) << row.note;
}

// A history of lines of many lengths, wide characters among them, in UTF-8
// on the wire.
std::string History(size_t lines) {
    std::string history;
    for (size_t i = 0; i < lines; ++i) history += "line " + std::to_string(i) + " " + Repeated("x日", i % 23) + "\r\n";
    return history;
}

// The screen shows the rows the whole history wrapped would show, at every
// width and height, at the end and scrolled anywhere; back at the end it
// follows the end again.
TEST(TermHistoryView, ShowsWhatTheWholeHistoryWrappedShows) {
    ASSERT_TRUE(IN_UTF8);
    UseCodePage(65001);
    const std::string history = History(60);
    for (int width : {2, 7, 80}) {
        for (int height : {1, 5, 22}) {
            const std::vector<std::wstring> all = HistoryRows(history, width);
            const int last = static_cast<int>(all.size()) - height;
            HistoryView view;
            int first = last;
            for (int step : {-1, -height, -3, 2, -1000, 1, height, 7, 1000, -2}) {
                ScrollHistory(history, view, step, width, height);
                first = std::max(0, std::min(last, first + step));
                const auto from = all.begin() + first;
                EXPECT_EQ(ShownRows(history, view, width, height), std::vector<std::wstring>(from, from + height))
                    << width << "x" << height << " after " << step;
                EXPECT_EQ(view.atEnd, first == last) << width << "x" << height << " after " << step;
            }
        }
    }
    UseCodePage(DEFAULT_CODE_PAGE);
}

// Scrolled back, arriving lines do not move the view, and are counted; the
// oldest lines dropped do not move it either.
TEST(TermHistoryView, StaysWhileLinesArriveAndGo) {
    std::string history = History(40);
    HistoryView view;
    ScrollHistory(history, view, -5, 80, 10);
    const std::vector<std::wstring> shown = ShownRows(history, view, 80, 10);
    for (const std::string line : {"<Anna> one\r\n", "<Anna> two\r\n"}) {
        history += line;
        ViewAppended(view, line);
    }
    EXPECT_EQ(ShownRows(history, view, 80, 10), shown);
    EXPECT_EQ(view.newLines, 2u);
    const size_t oldest = history.find('\n') + 1;
    history.erase(0, oldest);
    ViewDropped(view, oldest);
    EXPECT_EQ(ShownRows(history, view, 80, 10), shown);
    ScrollHistory(history, view, 1000, 80, 10);
    EXPECT_TRUE(view.atEnd && view.newLines == 0);
}

// A frame costs the same at any length of the history: only what is shown
// is wrapped, even 2 columns wide.
TEST(TermHistoryView, AFrameCostsTheSameAtAnyLength) {
    using Clock = std::chrono::steady_clock;
    auto fastest = [](const std::string& history) {
        auto best = std::chrono::microseconds::max();
        for (int i = 0; i < 5; ++i) {
            HistoryView view;
            const auto start = Clock::now();
            ShownRows(history, view, 2, 22);
            best = std::min(best, std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start));
        }
        return best;
    };
    std::string full = History(30);
    while (full.size() < 1000000) full += full;
    const auto small = fastest(History(30)), large = fastest(full);
    EXPECT_LT(large.count(), small.count() * 20 + 100) << "microseconds a frame of " << full.size() << " characters";
}

// Each row: a popup or not, the nickname given, the text, and the refusal.
using R = std::tuple<bool, std::string, std::string, std::string>;
class TermSendRefusal : public ::testing::TestWithParam<R> {};

TEST_P(TermSendRefusal, Limits) {
    ASSERT_TRUE(IN_UTF8);
    Arguments arguments;
    std::tie(arguments.popup, arguments.nick, std::ignore, std::ignore) = GetParam();
    arguments.nickGiven = !arguments.nick.empty();
    EXPECT_EQ(SendTextRefusal(arguments, std::get<2>(GetParam())), std::get<3>(GetParam()));
}

const std::string A300(300, 'a'), A301(301, 'a'), A500(500, 'a'), A501(501, 'a');
INSTANTIATE_TEST_SUITE_P(
    Rows, TermSendRefusal,
    ::testing::Values(R{false, "", A300, ""}, R{true, "", A500, ""}, R{true, "", "a\r\nb", ""},
                      R{false, "", A301, "the chat line is 301 characters; it takes at most 300"},
                      R{false, "", "a\nb", "a chat line cannot hold a line break"},
                      R{false, "", "a\rb", "a chat line cannot hold a line break"},
                      R{false, "", std::string("a\0b", 3), "the text holds a zero byte, which no message can carry"},
                      R{true, "", A501, "the popup message is 501 characters; it takes at most 500"},
                      R{true, "", A300 + "\r\n" + std::string(198, 'a'), ""},
                      R{true, "", A300 + "\n" + std::string(198, 'a'), ""},
                      R{true, "", A300 + "\n" + std::string(199, 'a'), "the popup message is 501 characters; it takes at most 500"},
                      R{true, "", "page\f\nnext", "the popup message holds a form feed before a line break, which ends a message"},
                      R{false, std::string(29, 'n'), "hi", ""},
                      R{false, std::string(30, 'n'), "hi", "the nickname is 30 characters; it takes at most 29"},
                      R{false, Repeated("ö", 29), Repeated("é", 300), ""},
                      R{false, "", Repeated("é", 301), "the chat line is 301 characters; it takes at most 300"},
                      R{false, Repeated("ö", 30), "hi", "the nickname is 30 characters; it takes at most 29"}));

// Where a character takes two bytes of the code page, the refusal says so.
TEST(TermSendRefusal, CountsTheWire) {
    UseCodePage(932);
    EXPECT_EQ(SendTextRefusal(Arguments(), Repeated("日", 151)),
              "the chat line is 151 characters, 302 on the wire, it takes at most 300");
    EXPECT_EQ(SendTextRefusal(Arguments(), Repeated("日", 150)), "");
    UseCodePage(DEFAULT_CODE_PAGE);
}

// A time stamp before each line, wherever the core's texts begin and end.
TEST(TermTimestamps, BeginEachLine) {
    const struct { const char* text; bool beginsLine; const char* stamped; } rows[] = {
        {"a\r\nb\r\n", true, "[T] a\r\n[T] b\r\n"}, {"***Last error number is: 1", true, "[T] ***Last error number is: 1"},
        {"rest\r\nnext", false, "rest\r\n[T] next"}, {"", true, ""}, {"\r\n", true, "[T] \r\n"},
    };
    for (const auto& row : rows) EXPECT_EQ(Stamped(row.text, row.beginsLine, "[T] "), row.stamped) << row.text;
}

// What a line is, for its colour: by how it begins after its stamp.
TEST(TermColours, ByTheKindOfLine) {
    const struct { const char* line; LineKind kind; } rows[] = {
        {"[09:41] <Anna> hi\r\n", LineKind::Peer}, {"<Anna> hi", LineKind::Peer}, {"[09:41] <Ben> hi", LineKind::Own},
        {"<Annabel> hi", LineKind::Own}, {"[09:41] ***Server started", LineKind::System},
        {"*** You are connected to Anna.", LineKind::System}, {"[09:41] ***Error: Unable to connect", LineKind::Error},
        {"Error: Unknown Command.", LineKind::Error}, {"***Not connected", LineKind::Error},
        {"*Anna waves.", LineKind::Plain}, {"[9:41] <Anna> hi", LineKind::Plain}, {"<Anna>", LineKind::Plain},
    };
    for (const auto& row : rows) EXPECT_EQ(KindOf(row.line, "Anna"), row.kind) << row.line;
    EXPECT_TRUE(ColoursWanted(true, nullptr));
    EXPECT_TRUE(ColoursWanted(true, ""));
    EXPECT_FALSE(ColoursWanted(true, "1"));
    EXPECT_FALSE(ColoursWanted(false, nullptr));
}

// The core's lines about WinSock, in the terminal's own words.
TEST(TermOwnWords, ForTheCoresSocketLines) {
    const char* const rows[][2] = {
        {"Trying to initialize WinSock 1.1...\r\n", ""},
        {"Confirming that WinSock supports 1.1\r\n", ""},
        {"WinSock 1.1 started successfully\r\n", ""},
        {"POSIX sockets  Running\r\n", "Using POSIX sockets\r\n"},
        {"***Last error number is: 10061", "***Connection refused"},
        {"***Last error number is: 10051", "***Network is unreachable"},
        {"***Last error number is: 10054", "***Connection reset by peer"},
        {"***Last error number is: 10098", "***Address already in use"},
        {"***Last error number is: 11001", "***Name or service not known"},
        {"***Last error number is: ", "***Last error number is: "},
        {"***Last error number is: 1x", "***Last error number is: 1x"},
        {"<Anna> ***Last error number is: 10061\r\n", "<Anna> ***Last error number is: 10061\r\n"},
    };
    for (const auto& row : rows) EXPECT_EQ(InOwnWords(row[0]), row[1]) << row[0];
}

// The bell rings at most once a second, whatever asks for it; the first at
// once, at any time.
TEST(TermBell, RingsAtMostOnceASecond) {
    BellRecord bell;
    const struct { uint32_t now; bool rings; } rows[] = {
        {0, true}, {30, false}, {999, false}, {1000, true}, {1500, false}, {2001, true}, {5, true},
    };
    for (const auto& row : rows) EXPECT_EQ(BellDue(row.now, bell), row.rings) << row.now;
}

// The words the terminal types for its menu items, and what follows them.
TEST(TermWords, MapToCommands) {
    const struct { const char* line; Command command; const char* argument; } rows[] = {
        {"/connect buildpc", Command::Connect, "buildpc"}, {"/connect", Command::Connect, ""},
        {"/connect ", Command::Connect, ""},               {"/connectx", Command::None, ""},
        {"/disconnect", Command::Disconnect, ""},         {"/server", Command::StartServer, ""},
        {"/server now", Command::None, ""},                {"/stop", Command::StopServer, ""},
        {"/send", Command::OpenSendWindow, ""},            {"/exit", Command::Exit, ""},
        {"/save", Command::SaveNickname, ""},
        {"/EXIT", Command::None, ""},
    };
    for (const auto& row : rows) {
        const char* argument = "";
        EXPECT_EQ(FrontEndCommandFor(row.line, &argument), row.command) << row.line;
        EXPECT_STREQ(argument, row.argument) << row.line;
    }
}

}  // namespace
