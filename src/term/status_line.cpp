#include "term/status_line.h"

#include "net/protocol.h"
#include "term/history_lines.h"

std::string StatusLine(const ConnectionSummary& connection) {
    const std::string host = Printable(connection.host);
    const std::string peer = Printable(connection.peer);
    const std::string address = connection.serverAddress;
    switch (connection.state) {
    case ControlState::Idle: return "idle: /connect HOST or /server";
    case ControlState::Resolving: return "looking up " + host;
    case ControlState::Connecting: return "connecting to " + host;
    case ControlState::ClientConnected: return "connected to " + host;
    case ControlState::ClientGreeted: return "connected to " + peer;
    case ControlState::Listening:
        return "listening on " + (address.empty() ? std::string("port ") : address + ":") + std::to_string(CHAT_PORT);
    case ControlState::ServingPeer: return "a peer connected";
    case ControlState::ServingGreeted: return "connected to " + peer;
    }
    return "";
}

std::string StatusNote(size_t popupsOpen, Focus focus) {
    if (popupsOpen == 0) return "";
    if (focus == Focus::Popups) return "Tab: back to typing";
    return "Tab: " + std::to_string(popupsOpen) + (popupsOpen == 1 ? " popup" : " popups");
}
