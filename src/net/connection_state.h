#pragma once
// The connection manager's program-wide record: flags, role, sockets, the
// pending look-up and the two display names.
#include <cstddef>
#include <cstdint>

using SocketHandle = intptr_t;
constexpr SocketHandle NO_SOCKET = -1;

enum : int32_t { ROLE_SERVER = 0, ROLE_CLIENT = 1, ROLE_NONE = 2 };

constexpr size_t RESOLVE_RESULT_SIZE = 1024;  // WinSock's MAXGETHOSTSTRUCT
constexpr size_t CONNECT_HOST_SIZE = 50;
constexpr size_t MY_NAME_SIZE = 28;
constexpr size_t PEER_NAME_SIZE = 24;
constexpr size_t PEER_QUIT_REASON_SIZE = 104;

struct ConnectionState {
    int32_t winsockStarted;
    int32_t role;
    int32_t serverListening;
    int32_t serverHasPeer;
    int32_t clientConnected;
    int32_t clientConnecting;
    int32_t resolving;
    uintptr_t resolveHandle;
    alignas(8) char resolveResult[RESOLVE_RESULT_SIZE];
    char hostText[CONNECT_HOST_SIZE];
    int32_t quitting;
    int32_t peerQuitReceived;
    char peerQuitReason[PEER_QUIT_REASON_SIZE];
    SocketHandle listenSocket;
    SocketHandle connSocket;
    char myName[MY_NAME_SIZE];
    char peerName[PEER_NAME_SIZE];
};

extern ConnectionState connectionState;

// The one test for "a peer is connected" used everywhere.
inline bool PeerConnected(const ConnectionState& state) {
    return state.serverHasPeer == 1 || state.clientConnected == 1;
}

void ResetConnectionState();
