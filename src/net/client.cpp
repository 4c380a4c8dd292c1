// The client side of the connection manager: connecting to a server by
// address or by name, and disconnecting.
#include <cstring>

#include "common/text.h"
#include "console/history.h"
#include "net/connection.h"
#include "net/connection_parts.h"
#include "net/control_states.h"
#include "net/protocol.h"
#include "net/transfer.h"
#include "seams/socket_io.h"
#include "seams/sockets.h"
#include "settings/settings.h"

namespace {

ConnectionState& cs = connectionState;

}  // namespace

bool ConnectTo(const char* host) {
    if (!host) host = "";
    static_assert(CONNECT_HOST_SIZE == 50, "the line names the longest host name");
    if (strnlen(host, CONNECT_HOST_SIZE) == CONNECT_HOST_SIZE) {
        AppendHistory("***Error: Host name longer than 49 characters\r\n");
        return false;
    }
    if (cs.serverListening == 1 || cs.serverHasPeer == 1) {
        AppendHistory("***Error: Already in Server mode\r\n");
        return false;
    }
    if (cs.clientConnected == 1) {
        AppendHistory("***Error: Already connected\r\n");
        return false;
    }
    if (cs.resolving == 1) {
        AppendHistory("***Error: Resolving address, click cancel to continue\r\n");
        return false;
    }
    // The host outlives the look-up: the dialog's text and a typed line do
    // not. A refused connect leaves the one under way its name.
    if (host != cs.hostText) CopyText(cs.hostText, host);
    host = cs.hostText;
    uint32_t address = ParseDottedAddress(host);
    if (address != NOT_AN_ADDRESS) {
        OpenConnection(address);
    } else {
        StartLookup(host);
    }
    ApplyControlStates();
    return true;
}

bool OpenConnection(uint32_t address) {
    if (cs.winsockStarted == 0) {
        AppendHistory("WinSock not started, command ignored!\r\n");
        return false;
    }
    if (cs.connSocket != NO_SOCKET) {
        AppendHistory("Connection socket handle is valid, already connected?\r\n");
        return false;
    }
    SocketHandle connection = OpenStreamSocket();
    if (connection == NO_SOCKET) {
        AppendHistory("***Error:  Could not create connection socket\r\n");
        return false;
    }
    cs.connSocket = connection;
    SendBlocksAtOnce(connection);
    if (!BindSocket(connection, ANY_ADDRESS, 0)) {
        AppendHistory("***Error: Could not bind connection socket\r\n");
        CloseConnectionSocket();
        return false;
    }
    SelectConnectionEvents(connection);
    if (ConnectSocket(connection, address, CHAT_PORT) || LastSocketError() == SOCKET_ERROR_WOULD_BLOCK) {
        cs.clientConnecting = 1;
        return true;
    }
    AppendHistory("Could not connect to server...\r\n");
    CloseConnectionSocket();
    PrintSocketError(LastSocketError());
    return false;
}

void OnConnectDone(SocketHandle socket, int error) {
    // Only a connect under way on this very socket can complete.
    if (!IsCurrentConnection(socket) || cs.clientConnecting != 1 || cs.clientConnected == 1) return;
    if (error == 0) {
        cs.clientConnecting = 0;
        cs.clientConnected = 1;
        cs.role = ROLE_CLIENT;
        BeginConnection(socket, true);
        SendControl(CTRL_HELLO, chatSettings.Nickname);
        return;
    }
    AppendHistory("***Error: Unable to connect\r\n");
    cs.clientConnecting = 0;
    CloseConnectionSocket();
    // The notification carries why the connection failed; the thread's own
    // last error belongs to whatever call failed last, often none (0).
    PrintSocketError(error);
}

void Disconnect() {
    if (cs.clientConnected == 1 && cs.quitting == 0) SendControl(CTRL_QUIT, chatSettings.QuitMessage);
    if (cs.connSocket != NO_SOCKET) {
        CloseConnectionSocket();
        AppendHistory("Disconnected from server...\r\n");
    }
    cs.role = ROLE_NONE;
    cs.clientConnected = 0;
    cs.clientConnecting = 0;
    GiveUpLookup();
    ApplyControlStates();
    cs.quitting = 0;
}
