#pragma once
// What the transfer engine needs of the platform: one send and one receive
// call on a socket, the error of the last failed call, and the synchronous
// delivery of a connection event to the main window. The Win32 build
// forwards to WinSock and SendMessage; the native tests script a fake socket.
#include <cstdint>

#include "seams/sockets.h"

// Offers length bytes to the socket. Returns how many it accepted (0 to
// length), or -1 when the call failed; LastSocketError() then says why.
int SendOnSocket(SocketHandle socket, const char* data, int length);

// Reads at most length bytes into buffer. Returns the count read, 0 when the
// peer has closed the connection, or -1 when the call failed.
int ReceiveFromSocket(SocketHandle socket, char* buffer, int length);

// The error code of the last failed socket call on this thread
// (SOCKET_ERROR_WOULD_BLOCK when the socket cannot take data just now).
int LastSocketError();

// Hands event (error 0) for socket to OnConnectionEvent and returns once it
// has been handled: the handler runs inside this call, on this thread, and
// no other event is handled in between.
void DeliverConnectionEvent(SocketHandle socket, uint32_t event);
