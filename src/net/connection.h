#pragma once
// The connection manager: start and shutdown of the sockets, the server and
// client sides, and the socket notifications, which the front end hands in
// unpacked: the socket, the event and its error (0 for none).
#include <cstddef>
#include <cstdint>

#include "net/connection_state.h"
#include "net/control_states.h"
#include "net/secure.h"

// Starts WinSock 1.1 and writes its start-up lines; true when it runs.
bool InitNetwork();
// Quit message to a connected peer, sockets closed, WinSock cleaned up.
void ShutdownNetwork();

// The user's connection commands.
bool StartServer();
void StopServer();
void Disconnect();

// Ends whatever is open, the server or the connection to one; sends no quit
// message after SendQuitMessage.
void CloseWhateverIsOpen();

// The quit message with reason, or with the settings' QuitMessage when it is
// empty; the close that follows sends none of its own.
void SendQuitMessage(const char* reason);

// Ends our sending on the connection (shutdown for sends) once the last
// message has been handed over, so that the peer sees the end after it;
// false when there is no connection or the socket refused.
bool FinishSending();

// The Connect to dialog's OK: a dotted address is connected to at once, a
// host name looked up first. True when a look-up or a connect was started.
// The host is kept, as the look-up and the status of the connection name
// it; one that does not fit (CONNECT_HOST_SIZE or more characters) is
// refused with a line, since the name cut to fit would be another host's.
bool ConnectTo(const char* host);

// What a front end shows of the connection: its state by the table of
// control states, the host typed last, the peer's name, this machine's
// address as the server found it when it started (empty until then), and
// whether the conversation is encrypted.
struct ConnectionSummary {
    ControlState state;
    const char* host;
    const char* peer;
    const char* serverAddress;
    Privacy privacy;
};
ConnectionSummary CurrentConnection();

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

// A peer that the server accepted and that has not greeted within this long
// is closed, and the server takes the next: a socket that connects and says
// nothing, or a peer that vanished before its greeting, cannot hold the one
// connection for good. The greeting timer (seams/timer.h) runs
// OnGreetingTimer when the wait may be over.
constexpr uint32_t GREETING_WAIT_MS = 20000;
void OnGreetingTimer();

// The event the manager queues for itself after closing a socket, through
// PostConnectionEvent or PostListenEvent: every notification queued for that
// socket lies before it. The sockets' own events are bits below 0x400.
constexpr uint32_t CONNECTION_MARKER_EVENT = 0x8000;
