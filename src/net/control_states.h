#pragma once
// Which toolbar buttons and menu items are enabled in each state of the
// connection: the one place that decides it. Every transition of the
// connection manager, and the greeting, applies the whole row of the state
// it reaches; start-up applies the idle row; a toolbar created while the
// program runs takes its buttons from the row's column for that case.
#include "net/connection_state.h"

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
    // The first two items of the Connection menu, each of which shows one
    // of two commands, and whether it is enabled.
    int connectItem;  // IDM_CONNECT or IDM_DISCONNECT
    bool connectItemEnabled;
    int serverItem;   // IDM_START_SERVER or IDM_STOP_SERVER
    bool serverItemEnabled;
    // Send Popup in the main menu and in the tray menu.
    bool sendPopupItems;
};

ControlState ControlStateOf(const ConnectionState& state);
const ControlRow& ControlRowOf(ControlState state);

// Sets every button and item to the row of the connection's state now.
void ApplyControlStates();
// Sets the buttons of a toolbar just created.
void ApplyCreatedToolbarStates();
