#include "term/status_line.h"

#include "net/protocol.h"
#include "term/history_lines.h"

namespace {

// Said once the conversation is settled; nothing while it is not.
std::wstring PrivacyNote(Privacy privacy) {
    if (privacy == Privacy::Encrypted) return L" (encrypted)";
    if (privacy == Privacy::NotEncrypted) return L" (NOT encrypted)";
    return L"";
}

std::wstring Connection(const ConnectionSummary& connection) {
    const std::wstring host = Printable(std::string(connection.host));
    const std::wstring peer = Printable(std::string(connection.peer));
    const std::string address = connection.serverAddress;
    const std::wstring port = std::to_wstring(CHAT_PORT);
    switch (connection.state) {
    case ControlState::Idle: return L"idle: /connect HOST or /server";
    case ControlState::Resolving: return L"looking up " + host;
    case ControlState::Connecting: return L"connecting to " + host;
    case ControlState::ClientConnected: return L"connected to " + host;
    case ControlState::ClientGreeted: return L"connected to " + peer;
    case ControlState::Listening:
        return L"listening on " + (address.empty() ? L"port " : std::wstring(address.begin(), address.end()) + L":") +
               port;
    case ControlState::ServingPeer: return L"a peer connected";
    case ControlState::ServingGreeted: return L"connected to " + peer;
    }
    return L"";
}

}  // namespace

std::wstring StatusLine(const ConnectionSummary& connection) {
    return Connection(connection) + PrivacyNote(connection.privacy);
}

std::string StatusNote(size_t popupsOpen, Focus focus, const HistoryView& view) {
    std::string note;
    if (!view.atEnd && view.newLines > 0) note = std::to_string(view.newLines) + " new";
    if (popupsOpen == 0) return note;
    note += note.empty() ? "" : "  ";
    if (focus == Focus::Popups) return note + "Tab: back to typing";
    return note + "Tab: " + std::to_string(popupsOpen) + (popupsOpen == 1 ? " popup" : " popups");
}
