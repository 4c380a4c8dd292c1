#pragma once
// The connection manager: start and shutdown of the sockets, the server and
// client sides, and the socket notifications, which the front end hands in
// unpacked: the socket, the event and its error (0 for none).
#include <cstddef>
#include <cstdint>

#include "net/connection_state.h"

// Starts WinSock 1.1 and writes its start-up lines; true when it runs.
bool InitNetwork();
// Quit message to a connected peer, sockets closed, WinSock cleaned up.
void ShutdownNetwork();

// The user's connection commands.
bool StartServer();
void StopServer();
void Disconnect();

// The Connect to dialog's OK: a dotted address is connected to at once, a
// host name looked up first. True when a look-up or a connect was started.
bool ConnectTo(const char* host);

// This machine's first IPv4 address, dotted ("192.168.1.11"), as the
// server's start line shows it. Null when it was found; otherwise the
// history line that says which step failed.
constexpr size_t LOCAL_ADDRESS_SIZE = 16;
const char* FindLocalAddress(char* dotted, size_t size);

// The notifications selected for the listening socket and the connection
// socket, and the answer of a host look-up.
void OnListenEvent(SocketHandle socket, uint32_t event, int error);
void OnConnectionEvent(SocketHandle socket, uint32_t event, int error);
void OnResolveDone(uintptr_t taskHandle, int error);

// The event the manager queues for itself after closing a socket, through
// PostConnectionEvent or PostListenEvent: every notification queued for that
// socket lies before it. The sockets' own events are bits below 0x400.
constexpr uint32_t CONNECTION_MARKER_EVENT = 0x8000;
