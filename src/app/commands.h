#pragma once
// What each command identifier of the menus, the toolbar and the tray menu
// does. Menu items and buttons of the same function share one operation;
// the items that swap identifiers at run time are routed under both.

enum class Command {
    None,
    ConnectDialog,
    Disconnect,
    StartServer,
    StopServer,
    SendPopup,
    Help,
    Exit,
    ClearHistory,
    About,
    HideWindow,
    ShowWindow,
    Options,
    ToggleAlwaysOnTop,
    ToggleToolbar,
};

// Command::None for every identifier nothing handles (the edit controls'
// own notifications carry identifier 0, for one).
Command CommandFor(int id);
