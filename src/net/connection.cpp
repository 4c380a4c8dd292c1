#include "net/connection.h"

#include <cstring>


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

intptr_t OnListenEvent(SocketHandle, uint32_t) { return 0; }
intptr_t OnConnectionEvent(SocketHandle, uint32_t) { return 0; }
intptr_t OnResolveDone(uintptr_t, uint32_t) { return 1; }
