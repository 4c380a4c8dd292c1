#include "net/control_states.h"

#include <algorithm>
#include <iterator>

#include "res/resource.h"
#include "seams/controls.h"

namespace {

// Enabled, and grayed.
constexpr bool X = true;
constexpr bool o = false;

// clang-format off
const ControlRow CONTROL_ROWS[] = {
    //                             buttons             created toolbar     Connection menu items                              Send
    //                             C D S X P H         C D S X P H         first                 second                       Popup
    {ControlState::Idle,            {X,o,X,o,o,X},     {X,o,X,o,o,X},     IDM_CONNECT,    true,  IDM_START_SERVER, true,      false},
    {ControlState::Resolving,       {o,X,o,o,o,X},     {X,o,X,o,o,X},     IDM_DISCONNECT, true,  IDM_START_SERVER, false,     false},
    {ControlState::Connecting,      {o,X,o,o,o,X},     {X,o,X,o,o,X},     IDM_DISCONNECT, true,  IDM_START_SERVER, false,     false},
    {ControlState::ClientConnected, {o,X,o,o,o,X},     {o,X,o,o,X,X},     IDM_DISCONNECT, true,  IDM_START_SERVER, false,     false},
    {ControlState::ClientGreeted,   {o,X,o,o,X,X},     {o,X,o,o,X,X},     IDM_DISCONNECT, true,  IDM_START_SERVER, false,     true},
    {ControlState::Listening,       {o,o,o,X,o,X},     {o,o,o,X,X,X},     IDM_CONNECT,    false, IDM_STOP_SERVER,  true,      false},
    {ControlState::ServingPeer,     {o,o,o,X,o,X},     {o,o,o,X,X,X},     IDM_CONNECT,    false, IDM_STOP_SERVER,  true,      false},
    {ControlState::ServingGreeted,  {o,o,o,X,X,X},     {o,o,o,X,X,X},     IDM_CONNECT,    false, IDM_STOP_SERVER,  true,      true},
};
// clang-format on

const char* MenuTextOf(int item) {
    switch (item) {
    case IDM_CONNECT: return "&Connect to...";
    case IDM_DISCONNECT: return "&Disconnect";
    case IDM_START_SERVER: return "&Start Server";
    default: return "&Stop Server";
    }
}

void Show(const ControlRow& row) { ShowControls(row, MenuTextOf(row.connectItem), MenuTextOf(row.serverItem)); }

}  // namespace

ControlState ControlStateOf(const ConnectionState& state) {
    const bool greeted = state.peerGreeted == 1;
    if (state.serverHasPeer == 1) return greeted ? ControlState::ServingGreeted : ControlState::ServingPeer;
    if (state.serverListening == 1) return ControlState::Listening;
    if (state.clientConnected == 1) return greeted ? ControlState::ClientGreeted : ControlState::ClientConnected;
    if (state.clientConnecting == 1) return ControlState::Connecting;
    if (state.resolving == 1) return ControlState::Resolving;
    return ControlState::Idle;
}

const ControlRow& ControlRowOf(ControlState state) {
    for (const ControlRow& row : CONTROL_ROWS) {
        if (row.state == state) return row;
    }
    return CONTROL_ROWS[0];
}

void ApplyControlStates() { Show(ControlRowOf(ControlStateOf(connectionState))); }

void ApplyCreatedToolbarStates() {
    // The menu items are shown as they already are.
    ControlRow row = ControlRowOf(ControlStateOf(connectionState));
    std::copy(std::begin(row.createdToolbarButtons), std::end(row.createdToolbarButtons), std::begin(row.buttons));
    Show(row);
}
