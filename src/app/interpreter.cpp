#include "app/interpreter.h"

#include <cstring>

#include "app/commands.h"
#include "console/history.h"
#include "net/connection.h"
#include "net/transfer.h"
#include "seams/front_end_commands.h"
#include "seams/input_line.h"

namespace {

struct TypedCommand {
    const char* keyword;
    size_t compared;      // characters compared after the slash: a prefix match
    size_t argumentFrom;  // position in the line where the argument starts
    Command command;
};

// In this order; the first match decides. What follows the compared
// characters is not examined.
const TypedCommand TYPED_COMMANDS[] = {
    {"nick ", 5, 6, Command::Nick},          {"me ", 3, 4, Command::Act},
    {"clear", 5, 0, Command::ClearHistory},  {"help", 4, 0, Command::ListCommands},
    {"quit", 4, 6, Command::Quit},           {"popup", 5, 7, Command::SendPopup},
    {"verify", 6, 0, Command::Verify},
};

// The rest of the line from a fixed position on; empty when the line ends
// before it, so "/quit" followed by one letter has no argument.
const char* ArgumentFrom(const char* line, size_t position) {
    return std::strlen(line) >= position ? line + position : "";
}

// The interpreter's own commands first, then the front end's; false when
// the command needed a peer and there was none.
bool RunTypedCommand(const char* line) {
    Command command = Command::None;
    const char* argument = "";
    for (const TypedCommand& entry : TYPED_COMMANDS) {
        if (std::strncmp(line + 1, entry.keyword, entry.compared) != 0) continue;
        command = entry.command;
        argument = ArgumentFrom(line, entry.argumentFrom);
        break;
    }
    if (command == Command::None) command = FrontEndCommandFor(line, &argument);
    if (command == Command::None) {
        AppendHistory("Error: Unknown Command.  Type /help for a list of available commands.\r\n");
        return true;
    }
    if (!CommandAvailable(command)) return RefuseCommand(command, line);
    RunCommand(command, argument);
    return true;
}

bool Chat(const char* line) {
    if (!RequireConnection()) return false;
    // The echo comes first, so a refusal is written below it.
    AppendHistory({"<", connectionState.myName, "> ", line, "\r\n"});
    SendChatText(line);
    return true;
}

}  // namespace

void HandleInputLine() {
    char line[INPUT_LINE_LIMIT + 1];
    ReadInputLine(line, sizeof line);
    // The typed line leaves the input line whatever then happens to it.
    ClearInputLine();
    bool handled = line[0] == '/' ? RunTypedCommand(line) : Chat(line);
    if (handled) FocusInputLine();
}
