#pragma once
// The transfer engine: builds messages in a fixed send storage and hands them
// to the connection socket WIRE_BLOCK bytes per call; collects received bytes
// in a fixed receive storage and hands each complete message on. Nothing is
// allocated on either path.
#include <cstddef>
#include <cstdint>

#include "net/connection_state.h"
#include "net/protocol.h"

// After partial accepts the read position of a message can stop on its last
// byte, and the next offer still carries WIRE_BLOCK bytes from there: for the
// longest message that reaches this many bytes past MESSAGE_BUFFER_SIZE.
constexpr size_t OUTGOING_SPARE_BYTES = MAX_MESSAGE_LENGTH - 1 + WIRE_BLOCK - MESSAGE_BUFFER_SIZE;

// The storage comes last in both records so that any access past it leaves
// the object, where the address sanitizer of the test builds sees it.
struct OutgoingBuffer {
    size_t readPosition;     // offset in storage of the first byte not yet accepted
    int32_t remainingCount;  // message bytes not yet accepted; below 0 after the last block
    int32_t sendInProgress;  // 1 from building a message until it is accepted or cancelled
    // Where the offers of a message handed over whole end (its length
    // padded to whole blocks), or 0: one WIRE_BLOCK a call.
    size_t wholeEnd;
    // The message being sent, zero-terminated, then zero bytes; all zero when
    // idle. The spare bytes past MESSAGE_BUFFER_SIZE are never written, so the
    // last offer of a long message carries zero bytes there, as the padding.
    char storage[MESSAGE_BUFFER_SIZE + OUTGOING_SPARE_BYTES];
};

struct IncomingBuffer {
    size_t writePosition;  // offset in storage where the next received bytes go
    // Received bytes of the message being collected; all zero past
    // writePosition, and all zero when empty.
    char storage[MESSAGE_BUFFER_SIZE];
};

extern OutgoingBuffer outgoingBuffer;
extern IncomingBuffer incomingBuffer;

// Said when a peer sends more than the receive storage holds without a
// terminator; the bytes collected so far and those of that read are dropped.
extern const char* const RECEIVE_OVERFLOW_LINE;

// Both storages zero, both positions at the start, nothing in progress.
void EmptyTransferBuffers();

// Send a KIND_TEXT message with text, or a KIND_CONTROL message with code and
// text, to connSocket. A null text counts as empty. No result: every refusal
// (no peer, text over MAX_TEXT_LENGTH, a message still in progress) is a
// history line and sends nothing. When the socket takes every block at once,
// the whole message has been handed to it before these return.
void SendChatText(const char* text);
void SendControl(uint8_t code, const char* text);

// True from building a message until the socket has taken all of it, or the
// send was cancelled by a close; and while messages wait for their turn
// (net/secure.h).
bool MessageInTransit();

// The socket has not yet taken the whole of the message being sent.
bool WireBusy();

// Builds one message in the send storage and starts its transfer, without
// the user's checks: the wire must be free and the text fit the storage. A
// handshake message or a record goes whole.
void SendWireMessage(uint8_t kind, uint8_t code, const char* text);

// Terminates the message built in the send storage and starts its transfer:
// one block a call as the original protocol has it, or, for a message of the
// encrypted layer, which only a copy of this program ever receives, the
// whole of it (padded to whole blocks) in as few calls as the socket takes.
void StartOutgoing(bool whole = false);

// The FD_WRITE path: offers the next block, whether WinSock or the engine
// itself delivered the event. Does nothing while nothing is queued.
void SendNextBlock();

// The FD_READ path: one read of at most WIRE_BLOCK bytes from socket, or of
// a whole message's worth once the conversation is encrypted.
void ReceiveBlock(SocketHandle socket);
