#include "term/status_line.h"

#include "term/history_lines.h"
#include "net/control_states.h"
#include "net/protocol.h"

std::string StatusLine(const ConnectionState& state, const std::string& localAddress) {
    const std::string host = Printable(state.hostText);
    const std::string peer = Printable(state.peerName);
    switch (ControlStateOf(state)) {
    case ControlState::Idle: return "idle: /connect HOST or /server";
    case ControlState::Resolving: return "looking up " + host;
    case ControlState::Connecting: return "connecting to " + host;
    case ControlState::ClientConnected: return "connected to " + host;
    case ControlState::ClientGreeted: return "connected to " + peer;
    case ControlState::Listening:
        return "listening on " + (localAddress.empty() ? std::string("port ") : localAddress + ":") +
               std::to_string(CHAT_PORT);
    case ControlState::ServingPeer: return "a peer connected";
    case ControlState::ServingGreeted: return "connected to " + peer;
    }
    return "";
}
