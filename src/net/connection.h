#pragma once
// The connection manager: WinSock start and shutdown, server and client
// sides, and the socket notifications posted to the main window.
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
// A non-blocking connect to CHAT_PORT of address (IPv4, network order).
bool OpenConnection(uint32_t address);
void PrintLocalAddress();
// "***Last error number is: " and WinSock's last error, without a line end.
void PrintLastSocketError();
// The same line for an error number the caller has, such as the one a
// notification carried.
void PrintSocketError(int error);

// Handlers of the private socket messages; event word = lParam.
intptr_t OnListenEvent(SocketHandle socket, uint32_t eventWord);
intptr_t OnConnectionEvent(SocketHandle socket, uint32_t eventWord);
intptr_t OnResolveDone(uintptr_t taskHandle, uint32_t eventWord);

// The event the manager posts to itself, on WM_CONN_EVENT or
// WM_LISTEN_EVENT, after closing a socket: every notification WinSock
// queued for that socket lies before it. WinSock's own events are bits
// below 0x400.
constexpr uint32_t CONNECTION_MARKER_EVENT = 0x8000;
