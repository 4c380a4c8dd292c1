// The server side of the connection manager: listening, accepting one
// client at a time, and stopping.
#include <cstdio>
#include <cstring>

#include "common/text.h"
#include "console/history.h"
#include "net/connection.h"
#include "net/connection_parts.h"
#include "net/control_states.h"
#include "net/protocol.h"
#include "net/secure.h"
#include "net/transfer.h"
#include "seams/socket_io.h"
#include "seams/sockets.h"
#include "seams/timer.h"
#include "settings/settings.h"

namespace {

constexpr size_t ADDRESS_LINE_SIZE = 100;
constexpr int LISTEN_BACKLOG = 1;

ConnectionState& cs = connectionState;

// The address the server last found, for the status of the connection.
char serverAddress[LOCAL_ADDRESS_SIZE] = "";

void PrintLocalAddress() {
    serverAddress[0] = '\0';
    char dotted[LOCAL_ADDRESS_SIZE];
    if (const char* failure = FindLocalAddress(dotted, sizeof dotted)) {
        AppendHistory(failure);
        return;
    }
    CopyText(serverAddress, dotted);
    char line[ADDRESS_LINE_SIZE];
    std::snprintf(line, sizeof line, "***Your IP number is: %s\r\n", dotted);
    AppendHistory(line);
}

// The listening socket could not be set up, or failed later: closed, and
// the server listens no more. A peer it serves stays until it leaves.
void ListeningFailed() {
    AppendHistory("Could not bind listening socket!\r\n");
    CloseListeningSocket();
    cs.serverListening = 0;
    cs.acceptWaiting = 0;
    if (cs.serverHasPeer == 0 && cs.role == ROLE_SERVER) cs.role = ROLE_NONE;
}

}  // namespace

const char* ServerAddress() { return serverAddress; }

const char* FindLocalAddress(char* dotted, size_t size) {
    char name[LOCAL_HOST_NAME_SIZE] = "";
    if (!LocalHostName(name, sizeof name)) {
        return "***Error: Unable to get local host name!(This should not happen)\r\n";
    }
    name[sizeof name - 1] = '\0';
    uint32_t address = 0;
    if (!FirstHostAddress(name, &address)) return "***Error: Unable to resolve local host name!\r\n";
    // Network byte order: the first byte in memory is the first number.
    unsigned char bytes[4];
    std::memcpy(bytes, &address, sizeof bytes);
    std::snprintf(dotted, size, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    return nullptr;
}

bool StartServer() {
    if (cs.winsockStarted == 0) {
        // "ingnored" is the program's own spelling of this line: kept.
        AppendHistory("WinSock not started, command ingnored!\r\n");
        return false;
    }
    if (cs.serverListening == 1 || cs.serverHasPeer == 1) {
        AppendHistory("Server already started\r\n");
        return false;
    }
    if (cs.listenSocket != NO_SOCKET) {
        AppendHistory("Listening socket handle is valid, server already started?\r\n");
        return false;
    }
    SocketHandle listening = OpenStreamSocket();
    if (listening == NO_SOCKET) {
        AppendHistory("Could not create listening socket!\r\n");
        return false;
    }
    cs.listenSocket = listening;
    // A socket that is bound but does not listen would say "Server
    // started..." and take no one.
    if (!BindSocket(listening, ANY_ADDRESS, CHAT_PORT) || !ListenOnSocket(listening, LISTEN_BACKLOG)) {
        ListeningFailed();
        return false;
    }
    SelectListenEvents(listening);
    cs.role = ROLE_SERVER;
    cs.serverListening = 1;
    cs.acceptWaiting = 0;
    AppendHistory("Server started...\r\n\r\n");
    ApplyControlStates();
    PrintLocalAddress();
    return true;
}

void StopServer() {
    if (cs.serverHasPeer == 1 && cs.quitting == 0) SendControl(CTRL_QUIT, chatSettings.QuitMessage);
    if (cs.listenSocket != NO_SOCKET) {
        CloseListeningSocket();
        AppendHistory("Server closed...");
    }
    cs.role = ROLE_NONE;
    cs.serverListening = 0;
    cs.acceptWaiting = 0;
    if (cs.serverHasPeer == 1) {
        CloseConnectionSocket();
        cs.serverHasPeer = 0;
    }
    ApplyControlStates();
    cs.quitting = 0;
}

void AcceptClient(SocketHandle listening, bool fetchingWaitingClient) {
    SocketHandle accepted = AcceptOnSocket(listening);
    if (accepted == NO_SOCKET) {
        // The client that knocked while we were busy may have given up;
        // nobody asked for this accept, so nobody is told it found no one.
        if (fetchingWaitingClient && LastSocketError() == SOCKET_ERROR_WOULD_BLOCK) return;
        AppendHistory("Unable to accept connection from client!!\r\n");
        return;
    }
    // Before the greeting, which is the first message sent on it.
    SendBlocksAtOnce(accepted);
    cs.connSocket = accepted;
    cs.serverHasPeer = 1;
    BeginConnection(accepted, false);
    cs.acceptWaiting = 0;
    cs.greetingWaitStart = MillisecondsNow();
    StartGreetingTimer(GREETING_WAIT_MS);
    SelectConnectionEvents(accepted);
    SendControl(CTRL_HELLO, chatSettings.Nickname);
}

void OnGreetingTimer() {
    StopGreetingTimer();
    // One timer serves both waits, which never overlap.
    if (OnNegotiationTimer()) return;
    if (cs.serverHasPeer != 1 || cs.peerGreeted == 1) return;
    const uint32_t waited = MillisecondsNow() - cs.greetingWaitStart;
    if (waited < GREETING_WAIT_MS) {
        // A tick of an earlier peer's wait, or one a little early: this
        // peer has the rest of its time.
        StartGreetingTimer(GREETING_WAIT_MS - waited);
        return;
    }
    AppendHistory("***No greeting within 20 seconds; connection closed\r\n");
    DropConnection();
}

void OnListenEvent(SocketHandle socket, uint32_t event, int error) {
    if (event == CONNECTION_MARKER_EVENT) {
        if (cs.listenMarkersPending > 0) --cs.listenMarkersPending;
        return;
    }
    if (event != SOCKET_EVENT_ACCEPT && event != SOCKET_EVENT_CLOSE) return;
    // A notification queued for a listening socket that has been closed.
    if (cs.listenMarkersPending > 0 || cs.serverListening != 1 || socket != cs.listenSocket) return;
    if (event == SOCKET_EVENT_CLOSE || error != 0) {
        // Polled again, a broken listening socket would report again at once.
        ListeningFailed();
        ApplyControlStates();
        return;
    }
    // One connection socket at a time: the client waits, unaccepted and
    // without a line, until the socket is free again.
    if (cs.serverHasPeer == 1 || cs.connSocket != NO_SOCKET) {
        cs.acceptWaiting = 1;
        return;
    }
    AcceptClient(socket, false);
    ApplyControlStates();
}
