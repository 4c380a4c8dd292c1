#pragma once
// What the connection manager needs of the sockets and of the front end's
// event queue, one call each, with no decisions of their own. The Win32
// front end forwards to WinSock 1.1 and PostMessage; the native tests keep
// scripted sockets, look-ups and a message queue. The error of a failed call
// is read with LastSocketError() (seams/socket_io.h).
#include <cstddef>
#include <cstdint>

using SocketHandle = intptr_t;
constexpr SocketHandle NO_SOCKET = -1;

// The notifications the core handles, as plain values with WinSock's
// numbers; a front end unpacks its platform's own form into an event and an
// error (WinSock's error numbers, 0 for none) before it calls the core.
constexpr uint32_t SOCKET_EVENT_READ = 1;      // FD_READ
constexpr uint32_t SOCKET_EVENT_WRITE = 2;     // FD_WRITE
constexpr uint32_t SOCKET_EVENT_ACCEPT = 8;    // FD_ACCEPT
constexpr uint32_t SOCKET_EVENT_CONNECT = 16;  // FD_CONNECT
constexpr uint32_t SOCKET_EVENT_CLOSE = 32;    // FD_CLOSE
// The one error the core tells apart.
constexpr int SOCKET_ERROR_WOULD_BLOCK = 10035;  // WSAEWOULDBLOCK

// Addresses are IPv4 in network byte order, as inet_addr returns them and a
// host entry holds them; ports are in host byte order.
constexpr uint32_t ANY_ADDRESS = 0;              // INADDR_ANY
constexpr uint32_t NOT_AN_ADDRESS = 0xFFFFFFFFu;     // INADDR_NONE

constexpr size_t WINSOCK_DESCRIPTION_SIZE = 257;  // WSADESCRIPTION_LEN + 1
constexpr size_t WINSOCK_STATUS_SIZE = 129;       // WSASYS_STATUS_LEN + 1
constexpr size_t LOCAL_HOST_NAME_SIZE = 50;

// What WSAStartup reports about the WinSock it started.
struct WinSockInfo {
    uint16_t version;  // wVersion: major in the low byte, minor in the high byte
    char description[WINSOCK_DESCRIPTION_SIZE];
    char systemStatus[WINSOCK_STATUS_SIZE];
};

// WSAStartup asking for the given version; its result (0 on success), with
// info filled in on success.
int StartWinSock(uint16_t requestedVersion, WinSockInfo* info);
void CleanupWinSock();

// socket(AF_INET, SOCK_STREAM, 0); NO_SOCKET on failure.
SocketHandle OpenStreamSocket();
// bind to AF_INET, address, port.
bool BindSocket(SocketHandle socket, uint32_t address, uint16_t port);
// listen with the backlog; false on failure.
bool ListenOnSocket(SocketHandle socket, int backlog);
// From now on the socket's notifications come to OnListenEvent (accept),
// or to OnConnectionEvent (read, write, connect, close), as WinSock's
// WSAAsyncSelect delivers them: read again after every read that leaves
// data, write after connect and accept and again once a send that would
// have blocked can go on. A listening socket that fails is told as an
// accept with an error (WinSock's way) or as a close.
void SelectListenEvents(SocketHandle socket);
void SelectConnectionEvents(SocketHandle socket);
// accept asking for no peer address; NO_SOCKET on failure.
SocketHandle AcceptOnSocket(SocketHandle listening);
// Turns Nagle's algorithm off on a connection socket (TCP_NODELAY). The
// engine hands WinSock one WIRE_BLOCK per send call, and with Nagle every
// block after a message's first would wait for the peer's delayed
// acknowledgement. The bytes and their order on the wire stay the same; a
// failure is not reported, since it costs only time.
void SendBlocksAtOnce(SocketHandle socket);
// Turns keepalive on for a connection socket (SO_KEEPALIVE): a peer whose
// machine or network went away without a close is noticed as a close once
// the system's probes go unanswered, instead of holding the connection for
// good. A failure is not reported.
void KeepConnectionAlive(SocketHandle socket);
// connect to AF_INET, address, port; false on failure (including the
// would-block answer of a socket that does not block).
bool ConnectSocket(SocketHandle socket, uint32_t address, uint16_t port);
void CloseSocket(SocketHandle socket);
// shutdown() for sends: the peer reads what was sent, then the end. False
// when the socket refused, as it does once the peer has reset it.
bool ShutdownSends(SocketHandle socket);
// Bytes that a recv on the socket would find now (FIONREAD); 0 when none or
// when the call fails.
size_t PendingBytes(SocketHandle socket);

// inet_addr: NOT_AN_ADDRESS for anything that is not a dotted address, and for
// "255.255.255.255".
uint32_t ParseDottedAddress(const char* text);

// Looks name up without waiting for the answer (WSAAsyncGetHostByName),
// which comes to OnResolveDone with the returned handle. The look-up writes
// the host entry into buffer later, from another thread, and may read name
// until then; both must stay valid until that answer has arrived. 0 when
// the look-up could not start.
uintptr_t StartHostLookup(const char* name, char* buffer, size_t size);
void CancelHostLookup(uintptr_t handle);
// The first IPv4 address of the host entry that a finished look-up wrote
// into buffer; false when the entry holds none.
bool FirstLookupAddress(const char* buffer, uint32_t* address);

// gethostname into name; false on failure.
bool LocalHostName(char* name, size_t size);
// The first IPv4 address gethostbyname finds for name; false when none.
bool FirstHostAddress(const char* name, uint32_t* address);

// Queues event (error 0) for OnConnectionEvent or OnListenEvent with socket,
// behind every notification already queued. False when it could not be
// queued.
bool PostConnectionEvent(SocketHandle socket, uint32_t event);
bool PostListenEvent(SocketHandle socket, uint32_t event);
