#pragma once
// What the parts of the connection manager (connection.cpp, server.cpp,
// client.cpp, lookup.cpp) share among themselves; nothing outside them.
#include <cstdint>

#include "net/connection_state.h"

// Every end of the connection socket, and of the listening socket, goes
// through these.
void CloseConnectionSocket();
void CloseListeningSocket();
// A notification for the connection socket that still belongs to it.
bool IsCurrentConnection(SocketHandle socket);
// "***Last error number is: " and the number, without a line end.
void PrintSocketError(int error);

// A connection has been made, accepted or connected. It starts as a fresh
// run does: the peer is "Peer" until it greets, whatever the last one was
// called, and no quit reason of the last one is kept. Keepalive is on, and
// the negotiation of the encrypted layer starts (connecting: this side
// opens the handshake).
void BeginConnection(SocketHandle socket, bool connecting);

// Ends the connection without a quit message, whichever side this is; a
// server takes the client that waits. The caller has said why.
void DropConnection();

// This machine's address as the server last found it; empty before.
const char* ServerAddress();

// Server side: takes the client that knocked. fetchingWaitingClient: the
// server fetches one that knocked while its socket was taken.
void AcceptClient(SocketHandle listening, bool fetchingWaitingClient);

// Client side: a non-blocking connect to CHAT_PORT of address (IPv4,
// network order), and the notification that it is done.
bool OpenConnection(uint32_t address);
void OnConnectDone(SocketHandle socket, int error);

// Host look-ups: starts one for host (resolving from now on, even when it
// could not start: the user disconnects then); gives up the one under way;
// drops every record, which only tests may do.
void StartLookup(const char* host);
void GiveUpLookup();
void ForgetLookups();
