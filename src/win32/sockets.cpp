// The connection manager's WinSock calls and its posts to the main window,
// forwarded as they are.
#include <winsock2.h>
#include <windows.h>

#include <cstring>

#include "win32/private_messages.h"
#include "win32/main_window.h"
#include "common/text.h"
#include "seams/sockets.h"

namespace {

SOCKET AsSocket(SocketHandle socket) { return static_cast<SOCKET>(socket); }

SocketHandle AsHandle(SOCKET socket) {
    return socket == INVALID_SOCKET ? NO_SOCKET : static_cast<SocketHandle>(socket);
}

sockaddr_in InetAddress(uint32_t address, uint16_t port) {
    sockaddr_in where;
    std::memset(&where, 0, sizeof where);
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = address;
    where.sin_port = htons(port);
    return where;
}

bool FirstAddressOf(const hostent* entry, uint32_t* address) {
    if (!entry || entry->h_addrtype != AF_INET || entry->h_length != 4 || !entry->h_addr_list ||
        !entry->h_addr_list[0]) {
        return false;
    }
    std::memcpy(address, entry->h_addr_list[0], 4);
    return true;
}

}  // namespace

int StartWinSock(uint16_t requestedVersion, WinSockInfo* info) {
    WSADATA data;
    std::memset(&data, 0, sizeof data);
    int result = WSAStartup(requestedVersion, &data);
    if (result == 0) {
        info->version = data.wVersion;
        CopyText(info->description, data.szDescription);
        CopyText(info->systemStatus, data.szSystemStatus);
    }
    return result;
}

void CleanupWinSock() { WSACleanup(); }

SocketHandle OpenStreamSocket() { return AsHandle(socket(AF_INET, SOCK_STREAM, 0)); }

bool BindSocket(SocketHandle socket, uint32_t address, uint16_t port) {
    sockaddr_in where = InetAddress(address, port);
    return bind(AsSocket(socket), reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0;
}

bool ListenOnSocket(SocketHandle socket, int backlog) { return listen(AsSocket(socket), backlog) == 0; }

void SelectListenEvents(SocketHandle socket) {
    WSAAsyncSelect(AsSocket(socket), shell.mainWindow, WM_LISTEN_EVENT, FD_ACCEPT);
}

void SelectConnectionEvents(SocketHandle socket) {
    WSAAsyncSelect(AsSocket(socket), shell.mainWindow, WM_CONN_EVENT, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE);
}

SocketHandle AcceptOnSocket(SocketHandle listening) { return AsHandle(accept(AsSocket(listening), nullptr, nullptr)); }

void SendBlocksAtOnce(SocketHandle socket) {
#if NORRIK_KEEP_NAGLE
    // The benchmark's comparison build (NORRIK_KEEP_NAGLE=ON): Nagle stays on.
    (void)socket;
#else
    BOOL on = TRUE;
    setsockopt(AsSocket(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
#endif
}

void KeepConnectionAlive(SocketHandle socket) {
    BOOL on = TRUE;
    setsockopt(AsSocket(socket), SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
}

bool ConnectSocket(SocketHandle socket, uint32_t address, uint16_t port) {
    sockaddr_in where = InetAddress(address, port);
    return connect(AsSocket(socket), reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0;
}

void CloseSocket(SocketHandle socket) { closesocket(AsSocket(socket)); }

bool ShutdownSends(SocketHandle socket) { return shutdown(AsSocket(socket), SD_SEND) == 0; }

size_t PendingBytes(SocketHandle socket) {
    u_long count = 0;
    if (ioctlsocket(AsSocket(socket), FIONREAD, &count) != 0) return 0;
    return count;
}

uint32_t ParseDottedAddress(const char* text) { return inet_addr(text); }

uintptr_t StartHostLookup(const char* name, char* buffer, size_t size) {
    HANDLE task = WSAAsyncGetHostByName(shell.mainWindow, WM_RESOLVE_DONE, name, buffer, static_cast<int>(size));
    return reinterpret_cast<uintptr_t>(task);
}

void CancelHostLookup(uintptr_t handle) { WSACancelAsyncRequest(reinterpret_cast<HANDLE>(handle)); }

bool FirstLookupAddress(const char* buffer, uint32_t* address) {
    return FirstAddressOf(reinterpret_cast<const hostent*>(buffer), address);
}

bool LocalHostName(char* name, size_t size) { return gethostname(name, static_cast<int>(size)) == 0; }

bool FirstHostAddress(const char* name, uint32_t* address) { return FirstAddressOf(gethostbyname(name), address); }

bool PostConnectionEvent(SocketHandle socket, uint32_t event) {
    return PostMessageA(shell.mainWindow, WM_CONN_EVENT, static_cast<WPARAM>(socket),
                        MAKELPARAM(static_cast<WORD>(event), 0)) != 0;
}

bool PostListenEvent(SocketHandle socket, uint32_t event) {
    return PostMessageA(shell.mainWindow, WM_LISTEN_EVENT, static_cast<WPARAM>(socket),
                        MAKELPARAM(static_cast<WORD>(event), 0)) != 0;
}
