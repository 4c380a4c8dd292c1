#pragma once
// The connection manager's program-wide record: flags, role, sockets, the
// pending look-up and the two display names.
#include <cstddef>
#include <cstdint>

#include "seams/sockets.h"

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
    // 1 once the peer of the connection socket has sent its greeting.
    int32_t peerGreeted;
    // When the server accepted the peer that has not greeted yet
    // (MillisecondsNow), for the end of the wait for its greeting.
    uint32_t greetingWaitStart;
    int32_t clientConnecting;
    int32_t resolving;
    uintptr_t resolveHandle;
    // The pending look-up's own result buffer of RESOLVE_RESULT_SIZE bytes,
    // or null. Each look-up gets a buffer of its own that outlives it until
    // WinSock has answered, because a cancelled look-up may still write its
    // result (WSACancelAsyncRequest cancels nothing under Wine).
    char* resolveResult;
    char hostText[CONNECT_HOST_SIZE];
    int32_t quitting;
    int32_t peerQuitReceived;
    char peerQuitReason[PEER_QUIT_REASON_SIZE];
    SocketHandle listenSocket;
    SocketHandle connSocket;
    char myName[MY_NAME_SIZE];
    char peerName[PEER_NAME_SIZE];

    // Socket numbers come back at once after a close, while WinSock's
    // notifications for the closed socket stay queued. After each close the
    // manager posts itself a marker behind them; until the marker comes back
    // every queued notification of that kind is known to be stale.
    int32_t connMarkersPending;
    int32_t listenMarkersPending;
    // 1 when a client knocked while the one connection socket was taken.
    // WinSock posts FD_ACCEPT again only after an accept, so the server
    // fetches that client itself once its peer has left.
    int32_t acceptWaiting;
};

extern ConnectionState connectionState;

// The one test for "a peer is connected" used everywhere.
inline bool PeerConnected(const ConnectionState& state) {
    return state.serverHasPeer == 1 || state.clientConnected == 1;
}

void ResetConnectionState();
