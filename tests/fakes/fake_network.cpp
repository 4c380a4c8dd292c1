#include "fakes/fake_network.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

#include "fakes/fake_socket.h"
#include "net/connection.h"
#include "net/protocol.h"
#include "net/socket_api.h"
#include "net/winsock_api.h"

FakeNetwork fakeNetwork;

void ResetFakeNetwork() { fakeNetwork = FakeNetwork{}; }

namespace {

// What the fake writes into a look-up's buffer: a tag and the address. Only
// FirstLookupAddress below reads it.
constexpr char LOOKUP_TAG[] = "fake-hostent";

void Log(const std::string& call) { fakeNetwork.calls.push_back(call); }

std::string Number(long long value) { return std::to_string(value); }

SocketHandle NextFreeSocket() {
    SocketHandle socket = fakeNetwork.firstSocket;
    while (fakeNetwork.open.count(socket)) socket += 4;
    return socket;
}

void Fail(int error) { fakeSocket.lastError = error; }

}  // namespace

uint32_t Address(const char* dotted) { return inet_addr(dotted); }

std::string Dotted(uint32_t address) {
    unsigned char bytes[4];
    std::memcpy(bytes, &address, 4);
    char text[20];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

void QueueListenEvent(SocketHandle socket, uint32_t event, uint32_t error) {
    fakeNetwork.queue.push_back({QueuedMessage::Listen, static_cast<uintptr_t>(socket), event | (error << 16)});
}

void QueueConnectionEvent(SocketHandle socket, uint32_t event, uint32_t error) {
    fakeNetwork.queue.push_back({QueuedMessage::Connection, static_cast<uintptr_t>(socket), event | (error << 16)});
}

void QueueResolveDone(uintptr_t handle, uint32_t error) {
    fakeNetwork.queue.push_back({QueuedMessage::Resolve, handle, error << 16});
}

void WriteLookupResult(uintptr_t handle, uint32_t address) {
    for (FakeLookup& lookup : fakeNetwork.lookups) {
        if (lookup.handle != handle) continue;
        // The whole buffer is written, as WinSock fills in a host entry with
        // its lists and names: a buffer freed too early shows at once under
        // the address sanitizer.
        std::memset(lookup.buffer, 0x5A, lookup.size);
        std::memcpy(lookup.buffer, LOOKUP_TAG, sizeof LOOKUP_TAG);
        std::memcpy(lookup.buffer + sizeof LOOKUP_TAG, &address, sizeof address);
        return;
    }
}

int DispatchQueue(int limit) {
    int handed = 0;
    while (!fakeNetwork.queue.empty() && handed < limit) {
        QueuedNotification next = fakeNetwork.queue.front();
        fakeNetwork.queue.pop_front();
        ++handed;
        switch (next.message) {
        case QueuedMessage::Listen: OnListenEvent(static_cast<SocketHandle>(next.wParam), next.lParam); break;
        case QueuedMessage::Connection:
            OnConnectionEvent(static_cast<SocketHandle>(next.wParam), next.lParam);
            break;
        case QueuedMessage::Resolve: OnResolveDone(next.wParam, next.lParam); break;
        }
    }
    return handed;
}

// ---- the seam ----

int StartWinSock(uint16_t requestedVersion, WinSockInfo* info) {
    char version[8];
    std::snprintf(version, sizeof version, "%04X", requestedVersion);
    Log(std::string("startup ") + version);
    if (fakeNetwork.startResult != 0) return fakeNetwork.startResult;
    info->version = fakeNetwork.version;
    std::snprintf(info->description, sizeof info->description, "%s", fakeNetwork.description.c_str());
    std::snprintf(info->systemStatus, sizeof info->systemStatus, "%s", fakeNetwork.systemStatus.c_str());
    return 0;
}

void CleanupWinSock() { Log("cleanup"); }

SocketHandle OpenStreamSocket() {
    if (fakeNetwork.refuseSocket) {
        Log("socket -> failed");
        Fail(10024);
        return NO_SOCKET;
    }
    SocketHandle socket = NextFreeSocket();
    fakeNetwork.open.insert(socket);
    Log("socket -> " + Number(socket));
    return socket;
}

bool BindSocket(SocketHandle socket, uint32_t address, uint16_t port) {
    Log("bind " + Number(socket) + " " + Dotted(address) + ":" + Number(port));
    if (fakeNetwork.refuseBind) {
        Fail(10048);
        return false;
    }
    return true;
}

void ListenOnSocket(SocketHandle socket, int backlog) { Log("listen " + Number(socket) + " " + Number(backlog)); }

void SelectListenEvents(SocketHandle socket) { Log("select listen " + Number(socket)); }

void SelectConnectionEvents(SocketHandle socket) { Log("select connection " + Number(socket)); }

SocketHandle AcceptOnSocket(SocketHandle listening) {
    if (fakeNetwork.acceptError != 0) {
        Log("accept " + Number(listening) + " -> failed");
        Fail(fakeNetwork.acceptError);
        return NO_SOCKET;
    }
    if (fakeNetwork.waitingClients == 0) {
        Log("accept " + Number(listening) + " -> would block");
        Fail(SOCKET_ERROR_WOULD_BLOCK);
        return NO_SOCKET;
    }
    --fakeNetwork.waitingClients;
    SocketHandle socket = NextFreeSocket();
    fakeNetwork.open.insert(socket);
    Log("accept " + Number(listening) + " -> " + Number(socket));
    return socket;
}

void SendBlocksAtOnce(SocketHandle socket) { Log("nodelay " + Number(socket)); }

bool ConnectSocket(SocketHandle socket, uint32_t address, uint16_t port) {
    Log("connect " + Number(socket) + " " + Dotted(address) + ":" + Number(port));
    if (fakeNetwork.connectError == 0) return true;
    Fail(fakeNetwork.connectError);
    return false;
}

void CloseSocket(SocketHandle socket) {
    Log("close " + Number(socket));
    fakeNetwork.closes.emplace_back(socket, fakeSocket.wire.size());
    fakeNetwork.open.erase(socket);
}

size_t PendingBytes(SocketHandle socket) {
    (void)socket;
    // What the scripted reads still hold before the first close or failure.
    size_t pending = 0;
    for (size_t i = fakeSocket.recvNext; i < fakeSocket.recvScript.size(); ++i) {
        const FakeRecvStep& step = fakeSocket.recvScript[i];
        if (step.kind != FakeRecvStep::Data) break;
        pending += step.bytes.size() - (i == fakeSocket.recvNext ? fakeSocket.recvTaken : 0);
    }
    return pending;
}

uint32_t ParseDottedAddress(const char* text) { return inet_addr(text); }

uintptr_t StartHostLookup(const char* name, char* buffer, size_t size) {
    if (fakeNetwork.refuseLookup) {
        Log(std::string("lookup ") + name + " -> failed");
        return 0;
    }
    uintptr_t handle = fakeNetwork.nextLookup++;
    fakeNetwork.lookups.push_back({handle, name, buffer, size});
    Log(std::string("lookup ") + name + " -> " + Number(static_cast<long long>(handle)));
    return handle;
}

void CancelHostLookup(uintptr_t handle) { Log("cancel " + Number(static_cast<long long>(handle))); }

bool FirstLookupAddress(const char* buffer, uint32_t* address) {
    if (std::memcmp(buffer, LOOKUP_TAG, sizeof LOOKUP_TAG) != 0) return false;
    std::memcpy(address, buffer + sizeof LOOKUP_TAG, sizeof *address);
    return true;
}

bool LocalHostName(char* name, size_t size) {
    Log("gethostname");
    if (fakeNetwork.refuseHostName) return false;
    std::snprintf(name, size, "%s", fakeNetwork.hostName.c_str());
    return true;
}

bool FirstHostAddress(const char* name, uint32_t* address) {
    Log(std::string("gethostbyname ") + name);
    if (fakeNetwork.refuseHostAddress) return false;
    *address = fakeNetwork.hostAddress;
    return true;
}

bool PostConnectionEvent(SocketHandle socket, uint32_t event) {
    Log("post connection " + Number(socket) + " " + Number(event));
    if (fakeNetwork.refusePosts) return false;
    QueueConnectionEvent(socket, event);
    return true;
}

bool PostListenEvent(SocketHandle socket, uint32_t event) {
    Log("post listen " + Number(socket) + " " + Number(event));
    if (fakeNetwork.refusePosts) return false;
    QueueListenEvent(socket, event);
    return true;
}
