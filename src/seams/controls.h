#pragma once
// The toolbar buttons and menu items that follow the connection. The core
// decides their states, one row of its table per state of the connection
// (net/control_states.h), and hands the front end the whole row: the Win32
// front end sets its toolbar and menus from it, the terminal shows no
// controls, the native tests keep what was shown.

constexpr int TOOLBAR_BUTTON_COUNT = 6;  // IDT_CONNECT .. IDT_HELP, in that order

enum class ControlState {
    Idle,
    Resolving,
    Connecting,
    ClientConnected,  // the connect succeeded; the peer has not greeted yet
    ClientGreeted,
    Listening,
    ServingPeer,      // a client was accepted; it has not greeted yet
    ServingGreeted,
};

struct ControlRow {
    ControlState state;
    // Enabled per button, indexed by identifier minus IDT_CONNECT.
    bool buttons[TOOLBAR_BUTTON_COUNT];
    // A toolbar created in this state. Its buttons follow the role alone:
    // a client that still connects has none (the idle buttons), and a
    // server offers Send Popup whether or not a peer has greeted.
    bool createdToolbarButtons[TOOLBAR_BUTTON_COUNT];
    // The first two places of the Connection menu, each of which shows one
    // of two commands, and whether it is enabled.
    int connectItem;  // IDM_CONNECT or IDM_DISCONNECT
    bool connectItemEnabled;
    int serverItem;   // IDM_START_SERVER or IDM_STOP_SERVER
    bool serverItemEnabled;
    // Send Popup in the main menu and in the tray menu.
    bool sendPopupItems;
};

// Sets every toolbar button (TB_ENABLEBUTTON; nothing while there is no
// toolbar) to row.buttons; makes the place of IDM_CONNECT / IDM_DISCONNECT
// show row.connectItem with connectItemText, and the place of
// IDM_START_SERVER / IDM_STOP_SERVER show row.serverItem with
// serverItemText, each enabled or grayed as the row says; enables or grays
// Send Popup in the main and the tray menu.
void ShowControls(const ControlRow& row, const char* connectItemText, const char* serverItemText);
