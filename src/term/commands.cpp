// The terminal's own commands: it has no menus, so typed words stand for
// them, and the windows those commands open are the screen's boxes.
#include <string>

#include "seams/front_end_commands.h"
#include "seams/shell.h"
#include "term/screen.h"
#include "term/state.h"

namespace {

const struct {
    const char* word;
    Command command;
} WORDS[] = {
    {"/disconnect", Command::Disconnect}, {"/server", Command::StartServer}, {"/stop", Command::StopServer},
    {"/send", Command::OpenSendWindow},   {"/exit", Command::Exit},         {"/save", Command::SaveNickname},
};

const char* const CONNECT_WORD = "/connect";

}  // namespace

const char* const FRONT_END_HELP[] = {
    "/popup message\t\tSends a popup message\r\n",
    "/send\t\t\tOpens a box to write a popup message\r\n",
    "/connect HOST\t\tConnects to HOST\r\n",
    "/disconnect\t\tDisconnects from the server\r\n",
    "/server\t\t\tStarts the server\r\n",
    "/stop\t\t\tStops the server\r\n",
    "/quit reason\t\tQuits the conversation\r\n",
    "/save\t\t\tKeeps your nickname in the settings\r\n",
    "/exit\t\t\tLeaves Norrik\r\n",
    // The keys that are no typed text, after the commands.
    "Tab\t\t\tGoes to the popups (r replies, Esc closes) and back\r\n",
    "Ctrl+X\t\t\tCloses every popup\r\n",
    "Esc\t\t\tCloses an error box\r\n",
    "PgUp, PgDn\t\tScroll the history\r\n",
    "Ctrl+C\t\t\tLeaves Norrik\r\n",
    nullptr,
};

Command FrontEndCommandFor(const char* line, const char** argument) {
    const std::string text(line);
    const size_t word = std::char_traits<char>::length(CONNECT_WORD);
    if (text.compare(0, word, CONNECT_WORD) == 0 && (text.size() == word || text[word] == ' ')) {
        *argument = text.size() > word + 1 ? line + word + 1 : "";
        return Command::Connect;
    }
    for (const auto& entry : WORDS) {
        if (text == entry.word) return entry.command;
    }
    return Command::None;
}

// The user gives the host with the command: there is nothing to ask with.
bool AskForHost() { return false; }

void OpenSendWindow(const char* caption) {
    term.compose = {true, caption, L""};
    term.changed = true;
}

void CloseProgram() { LeaveScreen(); }

// Windows of the Windows program only: no input of the terminal maps to them.
void OpenHelpFile() {}
void ShowAbout() {}
void ShowOptions() {}
void HideMainWindow() {}
void ShowMainWindow() {}
void ShowAlwaysOnTop(bool) {}
void ShowToolbar(bool) {}
