#pragma once
// What a user can ask of the program, whichever front end it came from: a
// menu item, a toolbar button, a key, a typed slash command. A front end
// only maps its own input to a Command; the core decides whether it is
// available now (app/commands.h) and what it does.

enum class Command {
    None,
    // The connection. Connect takes the host; without one, the user is
    // asked for it (the Connect to dialog).
    Connect,
    Disconnect,
    StartServer,
    StopServer,
    // Popups: the send window, and a popup typed whole (/popup text).
    OpenSendWindow,
    SendPopup,
    // The conversation: /nick, /me, /clear, /help, /quit.
    Nick,
    Act,
    ClearHistory,
    ListCommands,
    Quit,
    // The program and its window.
    OpenHelpFile,
    About,
    HideWindow,
    ShowWindow,
    Options,
    ToggleAlwaysOnTop,
    ToggleToolbar,
    Exit,
    // The terminal's /save: the nickname in use kept in the settings.
    SaveNickname,
    // /verify: the safety code of an encrypted conversation.
    Verify,
};
