#include "net/transfer.h"

#include <cstring>

#include "common/text.h"
#include "console/history.h"
#include "net/secure.h"
#include "seams/socket_io.h"

OutgoingBuffer outgoingBuffer;
IncomingBuffer incomingBuffer;

const char* const RECEIVE_OVERFLOW_LINE =
    "***Error: Received message longer than 510 bytes, discarded\r\n";

namespace {

void EmptyOutgoing() {
    std::memset(outgoingBuffer.storage, 0, sizeof outgoingBuffer.storage);
    outgoingBuffer.readPosition = 0;
    outgoingBuffer.remainingCount = 0;
    outgoingBuffer.sendInProgress = 0;
    outgoingBuffer.wholeEnd = 0;
}

void EmptyIncoming() {
    std::memset(incomingBuffer.storage, 0, sizeof incomingBuffer.storage);
    incomingBuffer.writePosition = 0;
}

// A close empties the buffers; a message handled in the middle of a read
// may have closed the connection it came on.
uint32_t emptiedCount = 0;

// The checks every send request passes, in this order; the first that
// fails is the one the user is told about. Whether an earlier message is
// still on its way is for OfferMessage to say, which may hold this one.
bool MaySend(const char* text) {
    if (!PeerConnected(connectionState)) {
        AppendHistory("***Not connected\r\n");
        return false;
    }
    // Counting stops one past the limit: a caller's text is never scanned
    // further than it can matter.
    if (strnlen(text, MAX_TEXT_LENGTH + 1) > MAX_TEXT_LENGTH) {
        AppendHistory("***Error: Data too large, ignore\r\n");
        return false;
    }
    return true;
}

}  // namespace

void EmptyTransferBuffers() {
    ++emptiedCount;
    EmptyOutgoing();
    EmptyIncoming();
}

void SendChatText(const char* text) {
    if (!text) text = "";
    if (MaySend(text)) OfferMessage(KIND_TEXT, 0, text);
}

void SendControl(uint8_t code, const char* text) {
    if (!text) text = "";
    if (MaySend(text)) OfferMessage(KIND_CONTROL, code, text);
}

void SendWireMessage(uint8_t kind, uint8_t code, const char* text) {
    outgoingBuffer.storage[0] = static_cast<char>(kind);
    size_t textAt = 1;
    if (kind == KIND_CONTROL) outgoingBuffer.storage[textAt++] = static_cast<char>(code);
    CopyText(outgoingBuffer.storage + textAt, MESSAGE_BUFFER_SIZE - textAt, text);
    StartOutgoing(kind == KIND_CONTROL && (code == CTRL_HANDSHAKE || code == CTRL_RECORD));
}

bool WireBusy() { return outgoingBuffer.sendInProgress == 1; }

bool MessageInTransit() { return WireBusy() || PrivacyHasPending(); }

void StartOutgoing(bool whole) {
    size_t length = AppendText(outgoingBuffer.storage, MESSAGE_BUFFER_SIZE, MSG_TERMINATOR);
    // The last block carries whatever follows the terminator. A control code
    // of zero would end the string early and leave the text behind it, so the
    // rest is cleared here rather than trusted to be zero.
    std::memset(outgoingBuffer.storage + length, 0, sizeof outgoingBuffer.storage - length);
    outgoingBuffer.remainingCount = static_cast<int32_t>(length);
    outgoingBuffer.readPosition = 0;
    outgoingBuffer.sendInProgress = 1;
    outgoingBuffer.wholeEnd = whole ? (length + WIRE_BLOCK - 1) / WIRE_BLOCK * WIRE_BLOCK : 0;
    DeliverConnectionEvent(connectionState.connSocket, SOCKET_EVENT_WRITE);
}

void SendNextBlock() {
    if (outgoingBuffer.remainingCount <= 0) {
        // A notification of the engine's own, or WinSock's: the next
        // message that waits may go now.
        if (!WireBusy()) SendNextPending();
        return;
    }

    // A message handed over whole is offered up to its padded end, which
    // lies within the storage; the last offer of one in blocks carries the
    // zero bytes past it.
    const size_t offer = outgoingBuffer.wholeEnd > outgoingBuffer.readPosition
                             ? outgoingBuffer.wholeEnd - outgoingBuffer.readPosition
                             : WIRE_BLOCK;
    int accepted = SendOnSocket(connectionState.connSocket,
                                outgoingBuffer.storage + outgoingBuffer.readPosition,
                                static_cast<int>(offer));
    if (accepted < 0 && LastSocketError() == SOCKET_ERROR_WOULD_BLOCK) {
        // WinSock posts FD_WRITE once the socket takes data again, and that
        // notification comes back here with the counters as they are.
        return;
    }
    // A send that takes nothing of a non-empty offer never posts FD_WRITE
    // either: waiting for one would leave the engine busy for good, and
    // offering again at once would recurse without end.
    if (accepted <= 0) {
        AppendHistory("Error: Unexpected error in sending! Sending cancelled!\r\n");
        EmptyOutgoing();
        return;
    }
    // A transport cannot take more than it was offered; holding it to that
    // keeps the read position inside the storage whatever it answers.
    if (static_cast<size_t>(accepted) > offer) accepted = static_cast<int>(offer);

    outgoingBuffer.remainingCount -= accepted;
    outgoingBuffer.readPosition += static_cast<size_t>(accepted);
    if (outgoingBuffer.remainingCount > 0) {
        // The next block goes out inside this call, through the main window
        // procedure; nothing of this call runs after it returns.
        DeliverConnectionEvent(connectionState.connSocket, SOCKET_EVENT_WRITE);
        return;
    }
    outgoingBuffer.sendInProgress = 0;
    std::memset(outgoingBuffer.storage, 0, sizeof outgoingBuffer.storage);
    OnWireMessageSent();
}

void ReceiveBlock(SocketHandle socket) {
    // A copy of this program that encrypts sends records whole, and nothing
    // else: its bytes are taken a message's worth a read. Any other peer's
    // a block a read, as the original protocol has it.
    const size_t asked = CurrentPrivacy() == Privacy::Encrypted ? MESSAGE_BUFFER_SIZE : WIRE_BLOCK;
    char block[MESSAGE_BUFFER_SIZE];
    int received = ReceiveFromSocket(socket, block, static_cast<int>(asked));
    // A closed or failed read leaves the collected bytes as they are.
    if (received <= 0) return;
    size_t count = static_cast<size_t>(received) > asked ? asked : static_cast<size_t>(received);

    // The bytes are taken as a stream: a message ends at the first
    // terminator, whichever read brought its two bytes, and what follows in
    // the same read is the start of the next one. TCP may cut the sender's
    // blocks anywhere, so a read need not end on a block boundary.
    for (size_t i = 0; i < count; ++i) {
        const char byte = block[i];
        size_t& held = incomingBuffer.writePosition;
        // No message starts with a zero byte: between messages only the
        // sender's padding can.
        if (held == 0 && byte == '\0') continue;
        if (held > 0 && byte == MSG_TERMINATOR[1] && incomingBuffer.storage[held - 1] == MSG_TERMINATOR[0]) {
            // The zero over the 0x0C ends the string the handler sees; the
            // 0x0D is never stored.
            incomingBuffer.storage[held - 1] = '\0';
            const uint32_t emptied = emptiedCount;
            ReceiveWireMessage(incomingBuffer.storage);
            // The message closed the connection: the rest of the read
            // belongs to no conversation.
            if (emptiedCount != emptied) return;
            EmptyIncoming();
            continue;
        }
        if (held == MESSAGE_BUFFER_SIZE) {
            // No message of the protocol is this long. The collected bytes
            // and the rest of this read are dropped, so that the next read
            // starts afresh instead of writing past the storage.
            AppendHistory(RECEIVE_OVERFLOW_LINE);
            EmptyIncoming();
            return;
        }
        incomingBuffer.storage[held++] = byte;
    }
}
