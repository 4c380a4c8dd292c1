// What the terminal makes of text: the command line, the history as rows,
// the input line under the keys, the status line, and the texts norrik send
// refuses.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "term/arguments.h"
#include "term/send_mode.h"
#include "term/status_line.h"
#include "term/state.h"
#include "common/text.h"
#include "term/history_lines.h"
#include "term/input_editor.h"
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
                      A{{"send", "--", "-pc", "-x"}, "send host=-pc text=-x"}));

// Each row: the history, the width, and each row of the screen in brackets.
using H = std::tuple<std::string, int, std::string>;
class TermHistoryRows : public ::testing::TestWithParam<H> {};

TEST_P(TermHistoryRows, Split) {
    std::string rows;
    for (const std::string& row : HistoryRows(std::get<0>(GetParam()), std::get<1>(GetParam()))) rows += "[" + row + "]";
    EXPECT_EQ(rows, std::get<2>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Rows, TermHistoryRows,
                         ::testing::Values(H{"", 10, ""}, H{"a\r\nb\r\n", 10, "[a][b]"}, H{"\r\n\r\n", 10, "[][]"},
                                           H{"partial", 10, "[partial]"}, H{"abcdef\r\n", 4, "[abcd][ef]"},
                                           H{"abcd\r\n", 4, "[abcd]"}, H{"ab", 0, "[a][b]"}, H{"\tx\r\n", 20, "[        x]"},
                                           H{"ab\tc\r\n", 20, "[ab      c]"}, H{"abcdef\tx\r\n", 8, "[abcdef  ][x]"},
                                           H{"a\x01\x1b\x7f" "b\r\n", 10, "[a???b]"}, H{"a\rb\r\n", 10, "[ab]"}));

// Each row: the keys (lower case typed; L R H E B D U N: the edit keys; #:
// Enter), and the input line after them with '|' at the caret.
using E = std::pair<std::string, std::string>;
class TermInputEditor : public ::testing::TestWithParam<E> {};

TEST_P(TermInputEditor, Keys) {
    term.input.clear(), term.caret = 0, term.recall = InputRecall();
    const std::string keys = "LRHEBDUN";
    const EditKey edits[] = {EditKey::Left, EditKey::Right,  EditKey::Home, EditKey::End,
                             EditKey::Backspace, EditKey::Delete, EditKey::Up, EditKey::Down};
    for (char key : GetParam().first) {
        if (key == '#') {
            EnterInputLine();
        } else if (keys.find(key) != std::string::npos) {
            EditInputLine(edits[keys.find(key)]);
        } else {
            TypeCharacter(key);
        }
    }
    EXPECT_EQ(term.input.substr(0, term.caret) + "|" + term.input.substr(term.caret),
              GetParam().second);
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
                      E{"x#one#one#UU", "x|"}));

// Each row: the state of the connection, the local address, and the status line.
using S = std::tuple<ControlState, std::string, std::string>;
class TermStatusLine : public ::testing::TestWithParam<S> {};

TEST_P(TermStatusLine, Says) {
    const ConnectionSummary connection = {std::get<0>(GetParam()), "buildpc", "An\x1bna",
                                          std::get<1>(GetParam()).c_str()};
    EXPECT_EQ(StatusLine(connection), std::get<2>(GetParam()));
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
                                           S{ControlState::ServingGreeted, "", "connected to An?na"}));

// The right end of the status line: the popups open, and where the keys are.
TEST(TermStatusNote, NamesTheKeyToThePopups) {
    const struct { size_t open; Focus focus; const char* note; } rows[] = {
        {0, Focus::InputLine, ""}, {1, Focus::InputLine, "Tab: 1 popup"}, {3, Focus::InputLine, "Tab: 3 popups"},
        {2, Focus::Popups, "Tab: back to typing"},
    };
    for (const auto& row : rows) EXPECT_EQ(StatusNote(row.open, row.focus), row.note) << row.open;
}

// Each row: a popup or not, the nickname given, the text, and the refusal.
using R = std::tuple<bool, std::string, std::string, std::string>;
class TermSendRefusal : public ::testing::TestWithParam<R> {};

TEST_P(TermSendRefusal, Limits) {
    Arguments arguments;
    std::tie(arguments.popup, arguments.nick, std::ignore, std::ignore) = GetParam();
    arguments.nickGiven = !arguments.nick.empty();
    EXPECT_EQ(SendTextRefusal(arguments, std::get<2>(GetParam())), std::get<3>(GetParam()));
}

const std::string A300(300, 'a'), A301(301, 'a'), A500(500, 'a'), A501(501, 'a');
INSTANTIATE_TEST_SUITE_P(
    Rows, TermSendRefusal,
    ::testing::Values(R{false, "", A300, ""}, R{false, "", "", ""}, R{true, "", A500, ""}, R{true, "", "a\r\nb", ""},
                      R{false, "", A301, "the chat line is 301 characters; it takes at most 300"},
                      R{false, "", "a\nb", "a chat line cannot hold a line break"},
                      R{false, "", "a\rb", "a chat line cannot hold a line break"},
                      R{false, "", std::string("a\0b", 3), "the text holds a zero byte, which no message can carry"},
                      R{true, "", "", "a popup message cannot be empty"},
                      R{true, "", A501, "the popup message is 501 characters; it takes at most 500"},
                      R{true, "", A300 + "\r\n" + std::string(198, 'a'), ""},
                      R{true, "", A300 + "\n" + std::string(198, 'a'), ""},
                      R{true, "", A300 + "\n" + std::string(199, 'a'), "the popup message is 501 characters; it takes at most 500"},
                      R{true, "", "page\f\nnext", "the popup message holds a form feed before a line break, which ends a message"},
                      R{false, std::string(29, 'n'), "hi", ""},
                      R{false, std::string(30, 'n'), "hi", "the nickname is 30 characters; it takes at most 29"}));

// The words the terminal types for its menu items, and what follows them.
TEST(TermWords, MapToCommands) {
    const struct { const char* line; Command command; const char* argument; } rows[] = {
        {"/connect buildpc", Command::Connect, "buildpc"}, {"/connect", Command::Connect, ""},
        {"/connect ", Command::Connect, ""},               {"/connectx", Command::None, ""},
        {"/disconnect", Command::Disconnect, ""},         {"/server", Command::StartServer, ""},
        {"/server now", Command::None, ""},                {"/stop", Command::StopServer, ""},
        {"/send", Command::OpenSendWindow, ""},            {"/exit", Command::Exit, ""},
        {"/EXIT", Command::None, ""},
    };
    for (const auto& row : rows) {
        const char* argument = "";
        EXPECT_EQ(FrontEndCommandFor(row.line, &argument), row.command) << row.line;
        EXPECT_STREQ(argument, row.argument) << row.line;
    }
}

}  // namespace
