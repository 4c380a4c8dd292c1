#include "net/connection.h"

#include <cstring>

#include "net/protocol.h"
#include "net/transfer.h"

namespace {

ConnectionState InitialConnectionState() {
    ConnectionState state;
    std::memset(&state, 0, sizeof state);
    state.role = ROLE_NONE;
    state.listenSocket = NO_SOCKET;
    state.connSocket = NO_SOCKET;
    return state;
}

}  // namespace

ConnectionState connectionState = InitialConnectionState();

void ResetConnectionState() { connectionState = InitialConnectionState(); }

// Networking is not wired up yet: the program starts idle and stays so.
bool InitNetwork() {
    connectionState.role = ROLE_NONE;
    connectionState.serverListening = 0;
    connectionState.serverHasPeer = 0;
    connectionState.clientConnected = 0;
    return false;
}

void ShutdownNetwork() {}

// Until the connection manager exists there is nothing to start or end;
// a /quit must still not leave its mark behind.
bool StartServer() { return false; }
void StopServer() { connectionState.quitting = 0; }
void Disconnect() { connectionState.quitting = 0; }

intptr_t OnListenEvent(SocketHandle, uint32_t) { return 0; }
intptr_t OnConnectionEvent(SocketHandle socket, uint32_t eventWord) {
    // The low word is the event; the error in the high word is not examined
    // for reads and writes.
    switch (eventWord & 0xFFFF) {
    case SOCKET_EVENT_READ: ReceiveBlock(socket); return 0;
    case SOCKET_EVENT_WRITE: SendNextBlock(); return 0;
    default: return 0;
    }
}
intptr_t OnResolveDone(uintptr_t, uint32_t) { return 1; }
