#include "app/commands.h"

#include <cstring>

#include "common/text.h"
#include "console/history.h"
#include "net/connection.h"
#include "net/control_states.h"
#include "net/protocol.h"
#include "net/secure.h"
#include "net/transfer.h"
#include "popup/popup_rules.h"
#include "res/resource.h"
#include "seams/front_end_commands.h"
#include "seams/message_box.h"
#include "seams/shell.h"
#include "settings/settings.h"

namespace {

constexpr size_t NICKNAME_MAX = 20;

bool NeedsPeer(Command command) {
    return command == Command::Nick || command == Command::Act || command == Command::Quit ||
           command == Command::SendPopup;
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
    AppendHistory({"***Your are now known as ", name, ".\r\n"});
}

void Act(const char* argument) {
    // Sent first, so that a refusal stands above the echo.
    SendControl(CTRL_ACTION, argument);
    AppendHistory({"*", connectionState.myName, " ", argument, "\r\n"});
}

void ListCommands() {
    AppendHistory("***Available Commands:\r\n");
    AppendHistory("/nick NewNickname\t\tChanges your nickname\r\n");
    AppendHistory("/me message goes here\tAction\r\n");
    AppendHistory("/clear\t\t\tClears the history window\r\n");
    AppendHistory("/verify\t\t\tShows the safety code of an encrypted conversation\r\n");
    for (const char* const* line = FRONT_END_HELP; *line; ++line) AppendHistory(*line);
    AppendHistory("***End Available Commands\r\n");
}

void Quit(const char* argument) {
    SendQuitMessage(argument);
    CloseWhateverIsOpen();
}

void Connect(const char* host) {
    if (host[0] != '\0') {
        ConnectTo(host);
    } else if (!AskForHost()) {
        AppendHistory("***Usage: /connect HOST\r\n");
    }
}

void OpenSendWindowForPeer() {
    char caption[POPUP_CAPTION_SIZE];
    SendPopupCaption(caption, sizeof caption, connectionState.peerName);
    OpenSendWindow(caption);
}

// The nickname in use with a greeted peer, /nick's among them, becomes the
// settings' own; without one the settings' own stays. Then all are stored.
void SaveNickname() {
    if (connectionState.peerGreeted == 1) CopyText(chatSettings.Nickname, NICKNAME_READ_SIZE, connectionState.myName);
    SaveSettings(chatSettings);
}

void ToggleAlwaysOnTop() {
    const bool on = chatSettings.AlwaysOnTop != 1;
    chatSettings.AlwaysOnTop = on ? 1 : 0;
    ShowAlwaysOnTop(on);
}

void ToggleToolbar() {
    const bool on = chatSettings.Toolbar != 1;
    // Set first: the layout the toolbar's change asks for reads it.
    chatSettings.Toolbar = on ? 1 : 0;
    ShowToolbar(on);
}

}  // namespace

bool CommandAvailable(Command command) {
    const ControlRow& row = ControlRowOf(ControlStateOf(connectionState));
    switch (command) {
    case Command::Disconnect: return row.connectItem == IDM_DISCONNECT && row.connectItemEnabled;
    case Command::StartServer: return row.serverItem == IDM_START_SERVER && row.serverItemEnabled;
    case Command::StopServer: return row.serverItem == IDM_STOP_SERVER && row.serverItemEnabled;
    case Command::OpenSendWindow: return row.sendPopupItems;
    default: return !NeedsPeer(command) || PeerConnected(connectionState);
    }
}

bool RequireConnection() {
    if (PeerConnected(connectionState)) return true;
    AppendHistory("***Not connected\r\n");
    return false;
}

bool RefuseCommand(Command command, const char* typed) {
    if (NeedsPeer(command)) return RequireConnection();
    AppendHistory({"***", typed, " is not available now\r\n"});
    return true;
}

void RunCommand(Command command, const char* argument) {
    if (!argument) argument = "";
    switch (command) {
    case Command::Connect: Connect(argument); break;
    case Command::Disconnect: Disconnect(); break;
    case Command::StartServer: StartServer(); break;
    case Command::StopServer: StopServer(); break;
    case Command::OpenSendWindow: OpenSendWindowForPeer(); break;
    case Command::SendPopup: SendPopupText(argument); break;
    case Command::Nick: ChangeNickname(argument); break;
    case Command::Act: Act(argument); break;
    case Command::ClearHistory: ClearHistory(); break;
    case Command::ListCommands: ListCommands(); break;
    case Command::Quit: Quit(argument); break;
    case Command::OpenHelpFile: OpenHelpFile(); break;
    case Command::About: ShowAbout(); break;
    case Command::HideWindow: HideMainWindow(); break;
    case Command::ShowWindow: ShowMainWindow(); break;
    case Command::Options: ShowOptions(); break;
    case Command::ToggleAlwaysOnTop: ToggleAlwaysOnTop(); break;
    case Command::ToggleToolbar: ToggleToolbar(); break;
    case Command::Exit: CloseProgram(); break;
    case Command::SaveNickname: SaveNickname(); break;
    case Command::Verify: ShowSafetyCode(); break;
    case Command::None: break;
    }
}

bool SendPopupText(const char* text) {
    if (text[0] == '\0') {
        ShowErrorBox("Unable to comply(empty message)");
        return false;
    }
    SendControl(CTRL_POPUP, text);
    return true;
}
