#include "net/connection.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "common/text.h"
#include "console/history.h"
#include "net/connection_parts.h"
#include "net/control_states.h"
#include "net/protocol.h"
#include "net/secure.h"
#include "net/transfer.h"
#include "seams/message_box.h"
#include "seams/sockets.h"
#include "seams/timer.h"
#include "settings/settings.h"

namespace {

constexpr uint16_t WINSOCK_VERSION_1_1 = 0x0101;
constexpr size_t LINE_BUFFER_SIZE = 200;
constexpr size_t ERROR_LINE_SIZE = 100;

// A peer that closes may leave more unread than any honest peer would (a
// quit message and a few lines before it). The close is not held up for
// longer than this many reads; the rest goes with the socket.
constexpr int CLOSE_DRAIN_READS = 4096;

ConnectionState InitialConnectionState() {
    ConnectionState state;
    std::memset(&state, 0, sizeof state);
    state.role = ROLE_NONE;
    state.listenSocket = NO_SOCKET;
    state.connSocket = NO_SOCKET;
    state.resolveResult = nullptr;
    return state;
}

ConnectionState& cs = connectionState;

// Windows may report the close while the peer's last bytes are unread (Wine
// reports it only after they were read). They are read here through the
// normal receive path, so that a quit message sent just before the close is
// shown with its reason.
void ReadWhatThePeerLeft(SocketHandle socket) {
    for (int reads = 0; reads < CLOSE_DRAIN_READS && IsCurrentConnection(socket) && PendingBytes(socket) > 0;
         ++reads) {
        ReceiveBlock(socket);
    }
}

void OnConnectionClosed(SocketHandle socket) {
    if (!IsCurrentConnection(socket)) return;
    ReadWhatThePeerLeft(socket);
    // What it left may have ended the connection already.
    if (!IsCurrentConnection(socket)) return;
    if (cs.peerQuitReceived == 1) {
        AppendHistory({"*** ", cs.peerName, " has quit(Quit: ", cs.peerQuitReason, ")\r\n"});
    } else {
        AppendHistory({"***", cs.peerName, " has quit(Connection reset)\r\n"});
    }
    cs.peerQuitReceived = 0;
    DropConnection();
}

}  // namespace

ConnectionState connectionState = InitialConnectionState();

void ResetConnectionState() {
    ForgetLookups();
    ForgetPrivacy();
    connectionState = InitialConnectionState();
}

// ------------------------------------------------------------ start, stop

bool InitNetwork() {
    std::unique_ptr<char[]> lines(new (std::nothrow) char[LINE_BUFFER_SIZE]);
    cs.role = ROLE_NONE;
    cs.serverListening = 0;
    cs.serverHasPeer = 0;
    cs.clientConnected = 0;
    if (!lines) {
        ShowPlainBox("Could not allocate buffer memory for error messages, returning");
        return false;
    }
    EmptyTransferBuffers();

    AppendHistory("Trying to initialize WinSock 1.1...\r\n");
    WinSockInfo info;
    std::memset(&info, 0, sizeof info);
    int started = StartWinSock(WINSOCK_VERSION_1_1, &info);
    if (started != 0) {
        std::snprintf(lines.get(), LINE_BUFFER_SIZE, "Could not start WinSock, WinSock returned error #: %d\r\n",
                      started);
        AppendHistory(lines.get());
        return false;
    }
    AppendHistory("Confirming that WinSock supports 1.1\r\n");
    const unsigned major = info.version & 0xFF;
    const unsigned minor = (info.version >> 8) & 0xFF;
    if (major != 1 || minor != major) {
        AppendHistory("WinSock does not support version 1.1! returning\r\n");
        CleanupWinSock();
        return false;
    }
    AppendHistory("WinSock 1.1 started successfully\r\n");
    // WinSock's own texts, terminated here whatever it filled in.
    info.description[sizeof info.description - 1] = '\0';
    info.systemStatus[sizeof info.systemStatus - 1] = '\0';
    AppendHistory({info.description, "  ", info.systemStatus, "\r\n"});

    cs.winsockStarted = 1;
    CopyText(cs.peerName, "Peer");
    CopyText(cs.myName, "You");
    return true;
}

void CloseWhateverIsOpen() {
    if (cs.serverHasPeer == 1 || cs.serverListening == 1) StopServer();
    if (cs.clientConnected == 1) Disconnect();
}

void SendQuitMessage(const char* reason) {
    SendControl(CTRL_QUIT, reason[0] != '\0' ? reason : chatSettings.QuitMessage);
    cs.quitting = 1;
}

bool FinishSending() { return cs.connSocket != NO_SOCKET && ShutdownSends(cs.connSocket); }

ConnectionSummary CurrentConnection() {
    return {ControlStateOf(cs), cs.hostText, cs.peerName, ServerAddress(), CurrentPrivacy()};
}

void ShutdownNetwork() {
    CloseWhateverIsOpen();
    if (cs.listenSocket != NO_SOCKET) CloseListeningSocket();
    // A connect still under way.
    if (cs.connSocket != NO_SOCKET) CloseConnectionSocket();
    if (cs.winsockStarted == 1) {
        CleanupWinSock();
        cs.winsockStarted = 0;
    }
}

// ----------------------------------------------------------------- sockets

void BeginConnection(SocketHandle socket, bool connecting) {
    CopyText(cs.peerName, "Peer");
    cs.peerQuitReceived = 0;
    KeepConnectionAlive(socket);
    BeginPrivacy(connecting);
}

void DropConnection() {
    const bool serverSide = cs.serverHasPeer == 1;
    if (serverSide) {
        // The server stays a server while it listens: role keeps ROLE_SERVER,
        // so the close of every later peer is handled the same way and a
        // toolbar created meanwhile shows Stop Server.
        cs.serverHasPeer = 0;
        if (cs.serverListening == 0) cs.role = ROLE_NONE;
    } else if (cs.role == ROLE_CLIENT) {
        cs.clientConnected = 0;
        cs.role = ROLE_NONE;
    }
    CloseConnectionSocket();
    if (serverSide && cs.serverListening == 1 && cs.acceptWaiting == 1) AcceptClient(cs.listenSocket, true);
    ApplyControlStates();
}

void CloseConnectionSocket() {
    SocketHandle closing = cs.connSocket;
    CloseSocket(closing);
    cs.connSocket = NO_SOCKET;
    StopGreetingTimer();
    cs.peerGreeted = 0;
    EndPrivacy();
    if (PostConnectionEvent(closing, CONNECTION_MARKER_EVENT)) ++cs.connMarkersPending;
    // A message still waiting for FD_WRITE, or half a message received, must
    // not greet the next peer with stale bytes or refuse its greeting.
    EmptyTransferBuffers();
}

void CloseListeningSocket() {
    SocketHandle closing = cs.listenSocket;
    CloseSocket(closing);
    cs.listenSocket = NO_SOCKET;
    if (PostListenEvent(closing, CONNECTION_MARKER_EVENT)) ++cs.listenMarkersPending;
}

// One queued before the last close is stale even when it carries the number
// of the socket opened since, which the same number may well be.
bool IsCurrentConnection(SocketHandle socket) {
    return cs.connMarkersPending == 0 && cs.connSocket != NO_SOCKET && socket == cs.connSocket;
}

void PrintSocketError(int error) {
    char line[ERROR_LINE_SIZE];
    std::snprintf(line, sizeof line, "***Last error number is: %d", error);
    AppendHistory(line);
}

// ----------------------------------------------------------- notifications

void OnConnectionEvent(SocketHandle socket, uint32_t event, int error) {
    switch (event) {
    case SOCKET_EVENT_READ:
        // Reads come from the socket the notification names. One queued for
        // a closed socket finds nothing to read, or, when the number has
        // been reused, reads the new peer's bytes in their order.
        ReceiveBlock(socket);
        return;
    case SOCKET_EVENT_WRITE:
        // The engine's own deliveries always name connSocket; a WinSock
        // FD_WRITE of another socket belongs to one that has been closed.
        // One queued for a reused number only lets the engine offer its next
        // block early, which WinSock answers with would-block at worst.
        if (cs.connSocket == NO_SOCKET || socket != cs.connSocket) return;
        SendNextBlock();
        return;
    case SOCKET_EVENT_CONNECT: OnConnectDone(socket, error); break;
    case SOCKET_EVENT_CLOSE: OnConnectionClosed(socket); break;
    case CONNECTION_MARKER_EVENT:
        if (cs.connMarkersPending > 0) --cs.connMarkersPending;
        return;
    default: return;
    }
    ApplyControlStates();
}
