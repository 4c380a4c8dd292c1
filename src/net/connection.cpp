#include "net/connection.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "app/controls.h"
#include "app/message_box.h"
#include "common/text.h"
#include "console/history.h"
#include "net/protocol.h"
#include "net/socket_api.h"
#include "net/transfer.h"
#include "net/winsock_api.h"
#include "res/resource.h"
#include "settings/settings.h"

namespace {

constexpr uint16_t WINSOCK_VERSION_1_1 = 0x0101;
constexpr size_t LINE_BUFFER_SIZE = 200;
constexpr size_t ADDRESS_LINE_SIZE = 100;
constexpr size_t ERROR_LINE_SIZE = 100;
constexpr int LISTEN_BACKLOG = 1;

// A peer that closes may leave more unread than any honest peer would (a
// quit message and a few lines before it). The close is not held up for
// longer than this many reads; the rest goes with the socket.
constexpr int CLOSE_DRAIN_READS = 4096;

// One host look-up: the name handed to WinSock and the buffer it writes the
// host entry into. Both must stay put until WinSock has posted its answer.
struct HostLookup {
    uintptr_t handle = 0;
    char name[CONNECT_HOST_SIZE] = {};
    alignas(alignof(std::max_align_t)) char result[RESOLVE_RESULT_SIZE] = {};
};

std::unique_ptr<HostLookup> currentLookup;
// Look-ups given up by Disconnect. WSACancelAsyncRequest cancels nothing
// under Wine: the look-up still writes its buffer and posts its answer, so
// its record is kept until that answer arrives. One that WinSock did cancel
// never answers and keeps its record for the rest of the run, which costs
// about a kilobyte per cancelled look-up and never lets a late write land
// in a buffer that someone reads.
std::vector<std::unique_ptr<HostLookup>> abandonedLookups;

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

// ---------------------------------------------------------------- controls

void SetConnectingControls() {
    SetButtonEnabled(IDT_CONNECT, false);
    SetButtonEnabled(IDT_DISCONNECT, true);
    SwapMenuItem(MenuOwner::Main, IDM_CONNECT, IDM_DISCONNECT, "&Disconnect");
    SetButtonEnabled(IDT_START_SERVER, false);
    SetButtonEnabled(IDT_STOP_SERVER, false);
    SetMenuItemEnabled(MenuOwner::Main, IDM_START_SERVER, false);
}

void ResetClientControls() {
    SetButtonEnabled(IDT_CONNECT, true);
    SetButtonEnabled(IDT_DISCONNECT, false);
    SetButtonEnabled(IDT_START_SERVER, true);
    SetButtonEnabled(IDT_STOP_SERVER, false);
    SwapMenuItem(MenuOwner::Main, IDM_DISCONNECT, IDM_CONNECT, "&Connect to...");
    SetMenuItemEnabled(MenuOwner::Main, IDM_START_SERVER, true);
}

void DisablePopupControls() {
    SetMenuItemEnabled(MenuOwner::Main, IDM_SEND_POPUP, false);
    SetMenuItemEnabled(MenuOwner::Tray, IDM_TRAY_SEND_POPUP, false);
    SetButtonEnabled(IDT_SEND_POPUP, false);
}

void SetServerControls() {
    SwapMenuItem(MenuOwner::Main, IDM_START_SERVER, IDM_STOP_SERVER, "&Stop Server");
    SetMenuItemEnabled(MenuOwner::Main, IDM_CONNECT, false);
    SetButtonEnabled(IDT_START_SERVER, false);
    SetButtonEnabled(IDT_STOP_SERVER, true);
    SetButtonEnabled(IDT_CONNECT, false);
}

void ResetServerControls() {
    SwapMenuItem(MenuOwner::Main, IDM_STOP_SERVER, IDM_START_SERVER, "&Start Server");
    SetButtonEnabled(IDT_START_SERVER, true);
    SetButtonEnabled(IDT_STOP_SERVER, false);
    SetMenuItemEnabled(MenuOwner::Main, IDM_CONNECT, true);
    SetButtonEnabled(IDT_CONNECT, true);
    DisablePopupControls();
}

// ----------------------------------------------------------------- sockets

// Every end of the connection socket goes through here.
void CloseConnectionSocket() {
    SocketHandle closing = cs.connSocket;
    CloseSocket(closing);
    cs.connSocket = NO_SOCKET;
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

// A WinSock notification for the connection socket that still belongs to
// it. One queued before the last close is stale even when it carries the
// number of the socket opened since, which the same number may well be.
bool IsCurrentConnection(SocketHandle socket) {
    return cs.connMarkersPending == 0 && cs.connSocket != NO_SOCKET && socket == cs.connSocket;
}

void ReleaseAbandonedLookup(uintptr_t handle) {
    if (handle == 0) return;
    for (auto it = abandonedLookups.begin(); it != abandonedLookups.end(); ++it) {
        if ((*it)->handle == handle) {
            abandonedLookups.erase(it);
            return;
        }
    }
}

void AbandonCurrentLookup() {
    cs.resolveResult = nullptr;
    if (!currentLookup) return;
    // A look-up that never started writes nothing and answers nothing.
    if (currentLookup->handle != 0) abandonedLookups.push_back(std::move(currentLookup));
    currentLookup.reset();
}

// ------------------------------------------------------------ server side

intptr_t AcceptClient(SocketHandle listening, bool fetchingWaitingClient) {
    SocketHandle accepted = AcceptOnSocket(listening);
    if (accepted == NO_SOCKET) {
        // The client that knocked while we were busy may have given up;
        // nobody asked for this accept, so nobody is told it found no one.
        if (fetchingWaitingClient && LastSocketError() == SOCKET_ERROR_WOULD_BLOCK) return 0;
        AppendHistory("Unable to accept connection from client!!\r\n");
        return -1;
    }
    // Before the greeting, which is the first message sent on it.
    SendBlocksAtOnce(accepted);
    cs.connSocket = accepted;
    cs.serverHasPeer = 1;
    cs.peerQuitReceived = 0;
    cs.acceptWaiting = 0;
    SelectConnectionEvents(accepted);
    SendControl(CTRL_HELLO, chatSettings.Nickname);
    return 0;
}

// --------------------------------------------------------- connection end

// Windows may report the close while the peer's last bytes are unread (Wine
// reports it only after they were read). They are read here through the
// normal receive path, so that a quit message sent just before the close is
// shown with its reason.
void ReadWhatThePeerLeft(SocketHandle socket) {
    for (int reads = 0; reads < CLOSE_DRAIN_READS && PendingBytes(socket) > 0; ++reads) {
        ReceiveBlock(socket);
    }
}

void OnConnectionClosed(SocketHandle socket) {
    if (!IsCurrentConnection(socket)) return;
    ReadWhatThePeerLeft(socket);

    bool serverSide = cs.serverHasPeer == 1;
    if (serverSide) {
        // The server stays a server while it listens: role keeps ROLE_SERVER,
        // so the close of every later peer is handled the same way and a
        // rebuilt toolbar shows Stop Server.
        cs.serverHasPeer = 0;
    } else if (cs.role == ROLE_CLIENT) {
        cs.clientConnected = 0;
        cs.role = ROLE_NONE;
        ResetClientControls();
    }
    CloseConnectionSocket();
    if (cs.peerQuitReceived == 1) {
        AppendHistory("*** ");
        AppendHistory(cs.peerName);
        AppendHistory(" has quit(Quit: ");
        AppendHistory(cs.peerQuitReason);
        AppendHistory(")\r\n");
    } else {
        AppendHistory("***");
        AppendHistory(cs.peerName);
        AppendHistory(" has quit(Connection reset)\r\n");
    }
    cs.peerQuitReceived = 0;
    DisablePopupControls();

    if (serverSide && cs.serverListening == 1 && cs.acceptWaiting == 1) {
        AcceptClient(cs.listenSocket, true);
    }
}

void OnConnectDone(SocketHandle socket, uint32_t error) {
    // Only a connect under way on this very socket can complete.
    if (!IsCurrentConnection(socket) || cs.clientConnecting != 1 || cs.clientConnected == 1) return;
    if (error == 0) {
        cs.clientConnecting = 0;
        cs.clientConnected = 1;
        cs.role = ROLE_CLIENT;
        cs.peerQuitReceived = 0;
        SendControl(CTRL_HELLO, chatSettings.Nickname);
        return;
    }
    AppendHistory("***Error: Unable to connect\r\n");
    ResetClientControls();
    CloseConnectionSocket();
    // The notification carries why the connection failed; the thread's own
    // last error belongs to whatever call failed last, often none (0).
    PrintSocketError(static_cast<int>(error));
}

}  // namespace

ConnectionState connectionState = InitialConnectionState();

void ResetConnectionState() {
    // Only tests start over; the running program never drops a look-up
    // record that WinSock may still write to.
    currentLookup.reset();
    abandonedLookups.clear();
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
    AppendHistory(info.description);
    std::snprintf(lines.get(), LINE_BUFFER_SIZE, "  %s\r\n", info.systemStatus);
    AppendHistory(lines.get());

    cs.winsockStarted = 1;
    CopyText(cs.peerName, "Peer");
    CopyText(cs.myName, "You");
    return true;
}

void ShutdownNetwork() {
    if (cs.serverHasPeer == 1 || cs.serverListening == 1) StopServer();
    if (cs.clientConnected == 1) Disconnect();
    if (cs.listenSocket != NO_SOCKET) CloseListeningSocket();
    // A connect still under way.
    if (cs.connSocket != NO_SOCKET) CloseConnectionSocket();
    if (cs.winsockStarted == 1) {
        CleanupWinSock();
        cs.winsockStarted = 0;
    }
}

// ------------------------------------------------------------ server side

bool StartServer() {
    if (cs.winsockStarted == 0) {
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
    if (!BindSocket(listening, ANY_ADDRESS, CHAT_PORT)) {
        AppendHistory("Could not bind listening socket!\r\n");
        CloseListeningSocket();
        return false;
    }
    ListenOnSocket(listening, LISTEN_BACKLOG);
    SelectListenEvents(listening);
    cs.role = ROLE_SERVER;
    cs.serverListening = 1;
    cs.acceptWaiting = 0;
    AppendHistory("Server started...\r\n\r\n");
    SetServerControls();
    PrintLocalAddress();
    return true;
}

void PrintLocalAddress() {
    char name[LOCAL_HOST_NAME_SIZE] = "";
    if (!LocalHostName(name, sizeof name)) {
        AppendHistory("***Error: Unable to get local host name!(This should not happen)\r\n");
        return;
    }
    name[sizeof name - 1] = '\0';
    uint32_t address = 0;
    if (!FirstHostAddress(name, &address)) {
        AppendHistory("***Error: Unable to resolve local host name!\r\n");
        return;
    }
    // Network byte order: the first byte in memory is the first number.
    unsigned char bytes[4];
    std::memcpy(bytes, &address, sizeof bytes);
    char line[ADDRESS_LINE_SIZE];
    std::snprintf(line, sizeof line, "***Your IP number is: %u.%u.%u.%u\r\n", bytes[0], bytes[1], bytes[2],
                  bytes[3]);
    AppendHistory(line);
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
    ResetServerControls();
    cs.quitting = 0;
}

intptr_t OnListenEvent(SocketHandle socket, uint32_t eventWord) {
    const uint32_t event = eventWord & 0xFFFF;
    if (event == CONNECTION_MARKER_EVENT) {
        if (cs.listenMarkersPending > 0) --cs.listenMarkersPending;
        return 0;
    }
    if (event != SOCKET_EVENT_ACCEPT) return 0;
    // A notification queued for a listening socket that has been closed.
    if (cs.listenMarkersPending > 0 || cs.serverListening != 1 || socket != cs.listenSocket) return 0;
    // One connection socket at a time: the client waits, unaccepted and
    // without a line, until the socket is free again.
    if (cs.serverHasPeer == 1 || cs.connSocket != NO_SOCKET) {
        cs.acceptWaiting = 1;
        return 0;
    }
    return AcceptClient(socket, false);
}

// ------------------------------------------------------------ client side

bool ConnectTo(const char* host) {
    if (!host) host = "";
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
    uint32_t address = ParseDottedAddress(host);
    if (address != NOT_AN_ADDRESS) {
        SetConnectingControls();
        OpenConnection(address);
        return true;
    }
    cs.resolving = 1;
    // A fresh record for every look-up: an abandoned one may still be
    // writing into its own.
    currentLookup.reset(new (std::nothrow) HostLookup);
    if (currentLookup) {
        CopyText(currentLookup->name, host);
        currentLookup->handle = StartHostLookup(currentLookup->name, currentLookup->result, RESOLVE_RESULT_SIZE);
        cs.resolveResult = currentLookup->result;
        cs.resolveHandle = currentLookup->handle;
    } else {
        // As a look-up that WinSock could not start: resolving until the
        // user disconnects.
        cs.resolveResult = nullptr;
        cs.resolveHandle = 0;
    }
    SetConnectingControls();
    return true;
}

intptr_t OnResolveDone(uintptr_t taskHandle, uint32_t eventWord) {
    if (cs.resolving != 1 || taskHandle == 0 || taskHandle != cs.resolveHandle || !currentLookup) {
        // The answer of a look-up given up earlier: WinSock is done with
        // its record now.
        ReleaseAbandonedLookup(taskHandle);
        return 1;
    }
    std::unique_ptr<HostLookup> done = std::move(currentLookup);
    cs.resolveResult = nullptr;
    const uint32_t error = eventWord >> 16;
    uint32_t address = 0;
    if (error == 0 && FirstLookupAddress(done->result, &address)) {
        OpenConnection(address);
    } else {
        // A host entry without an address is as good as no entry.
        AppendHistory("***Error: Unable to resolve address!\r\n");
        ResetClientControls();
    }
    cs.resolving = 0;
    cs.resolveHandle = 0;
    return 1;
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
        ResetClientControls();
        CloseConnectionSocket();
        return false;
    }
    SelectConnectionEvents(connection);
    if (ConnectSocket(connection, address, CHAT_PORT) || LastSocketError() == SOCKET_ERROR_WOULD_BLOCK) {
        cs.clientConnecting = 1;
        return true;
    }
    AppendHistory("Could not connect to server...\r\n");
    ResetClientControls();
    CloseConnectionSocket();
    PrintLastSocketError();
    return false;
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
    if (cs.resolving == 1) {
        if (cs.resolveHandle != 0) CancelHostLookup(cs.resolveHandle);
        AbandonCurrentLookup();
        cs.resolving = 0;
        cs.resolveHandle = 0;
    }
    ResetClientControls();
    DisablePopupControls();
    cs.quitting = 0;
}

// ----------------------------------------------------------- notifications

intptr_t OnConnectionEvent(SocketHandle socket, uint32_t eventWord) {
    const uint32_t event = eventWord & 0xFFFF;
    switch (event) {
    case SOCKET_EVENT_READ:
        // Reads come from the socket the notification names. One queued for
        // a closed socket finds nothing to read, or, when the number has
        // been reused, reads the new peer's bytes in their order.
        ReceiveBlock(socket);
        return 0;
    case SOCKET_EVENT_WRITE:
        // The engine's own deliveries always name connSocket; a WinSock
        // FD_WRITE of another socket belongs to one that has been closed.
        // One queued for a reused number only lets the engine offer its next
        // block early, which WinSock answers with would-block at worst.
        if (cs.connSocket == NO_SOCKET || socket != cs.connSocket) return 0;
        SendNextBlock();
        return 0;
    case SOCKET_EVENT_CONNECT: OnConnectDone(socket, eventWord >> 16); return 0;
    case SOCKET_EVENT_CLOSE: OnConnectionClosed(socket); return 0;
    case CONNECTION_MARKER_EVENT:
        if (cs.connMarkersPending > 0) --cs.connMarkersPending;
        return 0;
    default: return 0;
    }
}

void PrintLastSocketError() { PrintSocketError(LastSocketError()); }

void PrintSocketError(int error) {
    char line[ERROR_LINE_SIZE];
    std::snprintf(line, sizeof line, "***Last error number is: %d", error);
    AppendHistory(line);
}
