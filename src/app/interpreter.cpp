#include "app/interpreter.h"

#include <cstring>

#include "common/text.h"
#include "console/history.h"
#include "net/connection.h"
#include "net/protocol.h"
#include "net/transfer.h"
#include "seams/front_end_commands.h"
#include "seams/input_line.h"
#include "seams/message_box.h"
#include "settings/settings.h"

namespace {

constexpr size_t NICKNAME_MAX = 20;

// The rest of the line from a fixed position on; empty when the line ends
// before it, so "/quit" followed by one letter has no argument.
const char* ArgumentFrom(const char* line, size_t position) {
    return std::strlen(line) >= position ? line + position : "";
}

void ChangeNickname(const char* argument) {
    char name[NICKNAME_MAX + 1];
    if (std::strlen(argument) > NICKNAME_MAX) {
        AppendHistory("***Nickname is longer than 20 characters, truncated\r\n");
    }
    CopyText(name, argument);
    CopyText(connectionState.myName, name);
    SendControl(CTRL_NICK, name);
    // "Your are" is how the program has always put it: kept.
    AppendHistory("***Your are now known as ");
    AppendHistory(name);
    AppendHistory(".\r\n");
}

void Act(const char* argument) {
    // Sent first, so that a refusal stands above the echo.
    SendControl(CTRL_ACTION, argument);
    AppendHistory("*");
    AppendHistory(connectionState.myName);
    AppendHistory(" ");
    AppendHistory(argument);
    AppendHistory("\r\n");
}

void ShowHelp(const char*) {
    AppendHistory("***Available Commands:\r\n");
    AppendHistory("/nick NewNickname\t\tChanges your nickname\r\n");
    AppendHistory("/me message goes here\tAction\r\n");
    AppendHistory("/clear\t\t\tClears the history window\r\n");
    for (const char* const* line = FRONT_END_HELP; *line; ++line) AppendHistory(*line);
    AppendHistory("***End Available Commands\r\n");
}

void Quit(const char* argument) {
    SendControl(CTRL_QUIT, argument[0] != '\0' ? argument : chatSettings.QuitMessage);
    // The close below sends no quit message of its own.
    connectionState.quitting = 1;
    if (connectionState.serverHasPeer == 1 || connectionState.serverListening == 1) StopServer();
    if (connectionState.clientConnected == 1) Disconnect();
}

void SendPopup(const char* argument) {
    if (argument[0] == '\0') {
        ShowErrorBox("Unable to comply(empty message)");
        return;
    }
    SendControl(CTRL_POPUP, argument);
}

void Clear(const char*) { ClearHistory(); }

struct CommandEntry {
    const char* keyword;
    size_t compared;      // characters compared after the slash: a prefix match
    bool needsPeer;
    size_t argumentFrom;  // position in the line where the argument starts
    void (*run)(const char* argument);
};

// In this order; the first match decides. What follows the compared
// characters is not examined.
const CommandEntry COMMANDS[] = {
    {"nick ", 5, true, 6, ChangeNickname}, {"me ", 3, true, 4, Act},
    {"clear", 5, false, 0, Clear},         {"help", 4, false, 0, ShowHelp},
    {"quit", 4, true, 6, Quit},            {"popup", 5, true, 7, SendPopup},
};

// False when the command needed a peer and there was none.
bool RunCommand(const char* line) {
    for (const CommandEntry& entry : COMMANDS) {
        if (std::strncmp(line + 1, entry.keyword, entry.compared) != 0) continue;
        if (entry.needsPeer && !RequireConnection()) return false;
        entry.run(ArgumentFrom(line, entry.argumentFrom));
        return true;
    }
    if (RunFrontEndCommand(line)) return true;
    AppendHistory("Error: Unknown Command.  Type /help for a list of available commands.\r\n");
    return true;
}

bool Chat(const char* line) {
    if (!RequireConnection()) return false;
    // The echo comes first, so a refusal is written below it.
    AppendHistory("<");
    AppendHistory(connectionState.myName);
    AppendHistory("> ");
    AppendHistory(line);
    AppendHistory("\r\n");
    SendChatText(line);
    return true;
}

}  // namespace

bool RequireConnection() {
    if (PeerConnected(connectionState)) return true;
    AppendHistory("***Not connected\r\n");
    return false;
}

void HandleInputLine() {
    char line[INPUT_LINE_LIMIT + 1];
    ReadInputLine(line, sizeof line);
    // The typed line leaves the input line whatever then happens to it.
    ClearInputLine();
    bool handled = line[0] == '/' ? RunCommand(line) : Chat(line);
    if (handled) FocusInputLine();
}
