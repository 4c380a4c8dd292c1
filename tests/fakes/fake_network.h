#pragma once
// WinSock as the connection manager sees it, and the main window's message
// queue, for the native tests. Socket numbers are handed out lowest free
// first, so a closed number comes back at once, as on Windows and under
// Wine. Notifications and the manager's own posts share one FIFO queue that
// the tests dispatch the way the message loop would. Every call is logged in
// order; failures are scripted. The connection socket's bytes themselves go
// through fakeSocket (fake_socket.h).
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "net/connection_state.h"

enum class QueuedMessage { Listen, Connection, Resolve };

struct QueuedNotification {
    QueuedMessage message;
    uintptr_t wParam;
    uint32_t lParam;
};

struct FakeLookup {
    uintptr_t handle;
    std::string name;  // as WinSock saw it when the look-up started
    char* buffer;
    size_t size;
};

struct FakeNetwork {
    // WSAStartup
    int startResult = 0;
    uint16_t version = 0x0101;
    std::string description = "WinSock 2.0";
    std::string systemStatus = "Running";

    // Sockets: numbers from firstSocket in steps of 4, lowest free first.
    SocketHandle firstSocket = 100;
    std::set<SocketHandle> open;
    bool refuseSocket = false;
    bool refuseBind = false;
    // connect: 0 succeeds at once; any other value fails with that error
    // (the default, would-block, is how a non-blocking connect starts).
    int connectError = 10035;
    // accept takes one of the clients waiting; with none it fails with
    // would-block. A non-zero acceptError makes it fail with that error.
    int waitingClients = 0;
    int acceptError = 0;

    // Look-ups: handles counted up from 0x2000; refuseLookup answers 0.
    uintptr_t nextLookup = 0x2000;
    bool refuseLookup = false;
    std::vector<FakeLookup> lookups;

    // gethostname and gethostbyname for the local address.
    bool refuseHostName = false;
    std::string hostName = "testhost";
    bool refuseHostAddress = false;
    uint32_t hostAddress = 0x0B01A8C0;  // 192.168.1.11 in network order

    // The main window's queue of posted messages.
    std::deque<QueuedNotification> queue;
    bool refusePosts = false;

    std::vector<std::string> calls;  // every call, in order, with its arguments
    // fakeSocket.wire's length at each close, by socket: what had been sent
    // before it.
    std::vector<std::pair<SocketHandle, size_t>> closes;
};

extern FakeNetwork fakeNetwork;

void ResetFakeNetwork();

// "a.b.c.d" in network order, and back.
uint32_t Address(const char* dotted);
std::string Dotted(uint32_t address);

// What WinSock would post: appended to the queue behind everything there.
void QueueListenEvent(SocketHandle socket, uint32_t event, uint32_t error = 0);
void QueueConnectionEvent(SocketHandle socket, uint32_t event, uint32_t error = 0);
void QueueResolveDone(uintptr_t handle, uint32_t error = 0);

// Writes a finished look-up's answer into its buffer, as WinSock does
// before it posts WM_RESOLVE_DONE (also for a look-up that was cancelled).
void WriteLookupResult(uintptr_t handle, uint32_t address);

// Hands queued messages to the manager's handlers in order, including those
// queued meanwhile, until the queue is empty (at most limit messages).
// Returns how many were handed on.
int DispatchQueue(int limit = 1000);
