#pragma once
// The connection manager: WinSock start and shutdown, server and client
// sides, and the socket notifications posted to the main window.
#include <cstdint>

#include "net/connection_state.h"

bool InitNetwork();
void ShutdownNetwork();

// The user's connection commands.
bool StartServer();
void StopServer();
void Disconnect();

// Handlers of the private socket messages; event word = lParam.
intptr_t OnListenEvent(SocketHandle socket, uint32_t eventWord);
intptr_t OnConnectionEvent(SocketHandle socket, uint32_t eventWord);
intptr_t OnResolveDone(uintptr_t taskHandle, uint32_t eventWord);
