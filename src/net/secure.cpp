#include "net/secure.h"

#include <sodium.h>

#include <cstring>
#include <optional>

#include "common/text.h"
#include "console/history.h"
#include "crypto/keys.h"
#include "crypto/noise.h"
#include "net/connection.h"
#include "net/connection_parts.h"
#include "net/connection_state.h"
#include "net/control_states.h"
#include "net/incoming.h"
#include "net/transfer.h"
#include "seams/timer.h"
#include "settings/settings.h"

namespace {

// What this side waits for. The negotiation's steps after the greeting
// have a deadline; the wait for the greeting and a settled conversation
// have none.
enum class Phase {
    NoPeer,
    AwaitingGreeting,  // both sides
    AwaitingOpening,   // server: the client greeted, its first handshake message may come
    AwaitingAnswer,    // client: the opening went, the server's answer may come
    AwaitingFinish,    // server: answered; a Norrik client owes the last message
    Encrypted,
    Plaintext,
};

// A message the user sent while the outcome was open.
struct HeldMessage {
    uint8_t kind;
    uint8_t code;
    char text[MAX_TEXT_LENGTH + 1];
};
constexpr size_t HOLD_CAPACITY = 16;

// A message is at most its kind, code and text; the terminator never
// travels inside a record.
constexpr size_t INNER_MESSAGE_MAX = MAX_MESSAGE_LENGTH - MSG_TERMINATOR_LENGTH;
constexpr size_t RECORD_PLAIN_MAX = 1 + RECORD_PART_MAX;
constexpr size_t RECORD_SEALED_MAX = RECORD_PLAIN_MAX + noise::TAG_LEN;
// The longest text a control message can hold within the message storage.
constexpr size_t WIRE_TEXT_MAX = MESSAGE_BUFFER_SIZE - 2 - MSG_TERMINATOR_LENGTH;
static_assert(sodium_base64_ENCODED_LEN(RECORD_SEALED_MAX, sodium_base64_VARIANT_URLSAFE_NO_PADDING) - 1 <=
                  WIRE_TEXT_MAX,
              "a sealed record, encoded, fits one message");
// XX's messages with empty payloads: e; e, s, tag; s, tag. Anything longer
// than the largest of them with a payload that fits one message is refused.
constexpr size_t HANDSHAKE_MESSAGE_MAX = WIRE_TEXT_MAX / 4 * 3;
constexpr size_t GREETING_MAX = WIRE_TEXT_MAX;
constexpr size_t PROLOGUE_MAX = sizeof PROLOGUE_LABEL - 1 + 2 * (2 + GREETING_MAX);

const char* const HANDSHAKE_FAILED_LINE = "***Error: The encryption handshake failed; connection closed\r\n";
const char* const RECORD_FAILED_LINE = "***Error: A message failed authentication; connection closed\r\n";
const char* const PLAINTEXT_REFUSED_LINE =
    "***Error: A plaintext message in an encrypted conversation; connection closed\r\n";
const char* const REQUIRED_LINE = "***Encryption is required: connection closed, nothing was sent\r\n";
const char* const BUSY_LINE = "Error: Previous send not finished, send ignored\n\r";
const char* const HELD_LOST_LINE =
    "***Error: The connection closed before encryption was settled; what you sent meanwhile was not sent\r\n";

struct SecureChannel {
    Phase phase = Phase::NoPeer;
    bool connecting = false;
    bool deadlineSet = false;
    uint32_t waitStart = 0;
    std::optional<noise::HandshakeState> handshake;
    noise::CipherState send, receive;
    uint8_t peerStatic[noise::DH_LEN] = {};
    uint8_t localStatic[noise::DH_LEN] = {};
    // The greetings' texts as they travelled, for the prologue.
    char sentGreeting[GREETING_MAX + 1] = "";
    char peerGreeting[GREETING_MAX + 1] = "";
    // The handshake message that waits for the wire, and whether the wire
    // carries one: what the user sends meanwhile waits behind it.
    char handshakeOut[WIRE_TEXT_MAX + 1] = "";
    bool handshakeOnWire = false;
    HeldMessage held[HOLD_CAPACITY] = {};
    size_t heldFirst = 0, heldCount = 0;
    // The message being sealed, and how much of it has gone.
    uint8_t outgoing[INNER_MESSAGE_MAX] = {};
    size_t outgoingLength = 0, outgoingSent = 0;
    // The parts of the peer's message received so far.
    uint8_t incoming[INNER_MESSAGE_MAX] = {};
    size_t incomingLength = 0;
};

SecureChannel channel;

bool Settling(Phase phase) {
    return phase == Phase::AwaitingGreeting || phase == Phase::AwaitingOpening || phase == Phase::AwaitingAnswer ||
           phase == Phase::AwaitingFinish;
}

void StartDeadline() {
    channel.deadlineSet = true;
    channel.waitStart = MillisecondsNow();
    StartGreetingTimer(NEGOTIATION_WAIT_MS);
}

void WipeChannel() {
    channel.handshake.reset();
    channel.send.Clear();
    channel.receive.Clear();
    sodium_memzero(channel.outgoing, sizeof channel.outgoing);
    sodium_memzero(channel.incoming, sizeof channel.incoming);
    sodium_memzero(channel.held, sizeof channel.held);
    channel.phase = Phase::NoPeer;
    channel.deadlineSet = false;
    channel.heldFirst = channel.heldCount = 0;
    channel.outgoingLength = channel.outgoingSent = channel.incomingLength = 0;
    channel.sentGreeting[0] = channel.peerGreeting[0] = channel.handshakeOut[0] = '\0';
    channel.handshakeOnWire = false;
}

// The connection ends without a quit message: what arrived cannot be
// trusted, and whatever would be sent now could not be either.
void CloseFor(const char* line) {
    AppendHistory(line);
    DropConnection();
}

bool WireIdle() { return !WireBusy(); }

// ---------------------------------------------------------------- sending

// Encodes bytes as base64url without padding into text (WIRE_TEXT_MAX + 1).
bool Encode(const uint8_t* bytes, size_t length, char* text, size_t size) {
    if (sodium_base64_ENCODED_LEN(length, sodium_base64_VARIANT_URLSAFE_NO_PADDING) > size) return false;
    sodium_bin2base64(text, size, bytes, length, sodium_base64_VARIANT_URLSAFE_NO_PADDING);
    return true;
}

// Decodes a peer's base64url text into bytes (size at most); false for one
// too long for a message, not canonical, or not fitting.
bool Decode(const char* text, uint8_t* bytes, size_t size, size_t& length) {
    const size_t textLength = strnlen(text, WIRE_TEXT_MAX + 1);
    return textLength <= WIRE_TEXT_MAX && sodium_base642bin(bytes, size, text, textLength, nullptr, &length, nullptr,
                                                            sodium_base64_VARIANT_URLSAFE_NO_PADDING) == 0;
}

// The next part of the message being sealed, as one record.
bool SealNextPart() {
    const size_t left = channel.outgoingLength - channel.outgoingSent;
    const size_t part = left > RECORD_PART_MAX ? RECORD_PART_MAX : left;
    uint8_t plain[RECORD_PLAIN_MAX];
    plain[0] = part < left ? RECORD_MORE : RECORD_LAST;
    std::memcpy(plain + 1, channel.outgoing + channel.outgoingSent, part);
    uint8_t sealed[RECORD_SEALED_MAX];
    size_t sealedLength = 0;
    char text[WIRE_TEXT_MAX + 1];
    const bool done = channel.send.Seal(plain, 1 + part, sealed, sizeof sealed, sealedLength) &&
                      Encode(sealed, sealedLength, text, sizeof text);
    sodium_memzero(plain, sizeof plain);
    if (!done) return false;
    channel.outgoingSent += part;
    if (channel.outgoingSent == channel.outgoingLength) {
        channel.outgoingLength = channel.outgoingSent = 0;
        sodium_memzero(channel.outgoing, sizeof channel.outgoing);
    }
    SendWireMessage(KIND_CONTROL, CTRL_RECORD, text);
    return true;
}

void StartSealing(uint8_t kind, uint8_t code, const char* text) {
    size_t length = 0;
    channel.outgoing[length++] = kind;
    if (kind == KIND_CONTROL) channel.outgoing[length++] = code;
    const size_t textLength = strnlen(text, MAX_TEXT_LENGTH);
    std::memcpy(channel.outgoing + length, text, textLength);
    channel.outgoingLength = length + textLength;
    channel.outgoingSent = 0;
}

// Sends what is due while the wire is free: the handshake message first,
// then the rest of a sealed message, then the next held one. Each message
// that goes starts a transfer; the next waits until the wire has taken it.
void Pump() {
    if (!WireIdle() || channel.phase == Phase::NoPeer) return;
    if (channel.handshakeOut[0] != '\0') {
        char text[WIRE_TEXT_MAX + 1];
        CopyText(text, channel.handshakeOut);
        channel.handshakeOut[0] = '\0';
        channel.handshakeOnWire = true;
        SendWireMessage(KIND_CONTROL, CTRL_HANDSHAKE, text);
        return;
    }
    if (channel.outgoingLength > 0) {
        if (!SealNextPart()) CloseFor(RECORD_FAILED_LINE);
        return;
    }
    if (channel.heldCount == 0 || Settling(channel.phase)) return;
    HeldMessage& next = channel.held[channel.heldFirst];
    channel.heldFirst = (channel.heldFirst + 1) % HOLD_CAPACITY;
    --channel.heldCount;
    if (channel.phase == Phase::Encrypted) {
        StartSealing(next.kind, next.code, next.text);
        sodium_memzero(&next, sizeof next);
        if (!SealNextPart()) CloseFor(RECORD_FAILED_LINE);
        return;
    }
    char text[MAX_TEXT_LENGTH + 1];
    CopyText(text, next.text);
    const uint8_t kind = next.kind, code = next.code;
    sodium_memzero(&next, sizeof next);
    SendWireMessage(kind, code, text);
}

bool Hold(uint8_t kind, uint8_t code, const char* text) {
    if (channel.heldCount == HOLD_CAPACITY) return false;
    HeldMessage& slot = channel.held[(channel.heldFirst + channel.heldCount) % HOLD_CAPACITY];
    slot.kind = kind;
    slot.code = code;
    CopyText(slot.text, text);
    ++channel.heldCount;
    return true;
}

// ------------------------------------------------------------- settling

// The timer stops only when the wait was the negotiation's: a server's
// wait for a greeting goes on whatever the peer said before it.
void FlushHeld() {
    if (channel.deadlineSet) StopGreetingTimer();
    channel.deadlineSet = false;
    Pump();
}

void SettlePlaintext() {
    channel.phase = Phase::Plaintext;
    channel.handshake.reset();
    ApplyControlStates();
    const char* name = connectionState.peerName;
    if (KnownPeer(name)) {
        AppendHistory({"***WARNING: ", name, " was encrypted before and is not now: someone may be in between!\r\n"});
    } else {
        AppendHistory({"***Not encrypted: ", name, "'s program does not support encryption\r\n"});
    }
    if (chatSettings.RequireEncryption == 1) {
        // Nothing held may leave: they were typed for a private conversation.
        sodium_memzero(channel.held, sizeof channel.held);
        channel.heldCount = 0;
        return CloseFor(REQUIRED_LINE);
    }
    FlushHeld();
}

void SettleEncrypted() {
    noise::HandshakeState& handshake = *channel.handshake;
    const bool split = handshake.Split(channel.send, channel.receive);
    const uint8_t* remote = handshake.RemoteStatic();
    if (!split || !remote) return CloseFor(HANDSHAKE_FAILED_LINE);
    std::memcpy(channel.peerStatic, remote, sizeof channel.peerStatic);
    channel.handshake.reset();
    channel.phase = Phase::Encrypted;
    ApplyControlStates();
    const char* name = connectionState.peerName;
    switch (RememberPeerKey(name, channel.peerStatic)) {
    case PeerKeyStatus::FirstContact:
        AppendHistory({"***Encrypted. First conversation with this key of ", name,
                       ": compare /verify codes to be sure\r\n"});
        break;
    case PeerKeyStatus::Known: AppendHistory({"***Encrypted. ", name, "'s key is known\r\n"}); break;
    case PeerKeyStatus::Changed:
        AppendHistory({"***WARNING: ", name,
                       "'s key has changed since your last conversation! Compare /verify codes before you trust it\r\n"});
        break;
    }
    FlushHeld();
}

// ------------------------------------------------------------ handshake

// The prologue binds the version and both greetings as they travelled,
// the connecting side's first: a greeting changed on the way breaks the
// handshake.
size_t Prologue(uint8_t* prologue) {
    const char* first = channel.connecting ? channel.sentGreeting : channel.peerGreeting;
    const char* second = channel.connecting ? channel.peerGreeting : channel.sentGreeting;
    size_t length = sizeof PROLOGUE_LABEL - 1;
    std::memcpy(prologue, PROLOGUE_LABEL, length);
    for (const char* greeting : {first, second}) {
        const size_t size = strnlen(greeting, GREETING_MAX);
        prologue[length++] = static_cast<uint8_t>(size >> 8);
        prologue[length++] = static_cast<uint8_t>(size & 0xFF);
        std::memcpy(prologue + length, greeting, size);
        length += size;
    }
    return length;
}

bool StartHandshake() {
    noise::KeyPair local;
    if (!LocalStaticKey(local)) return false;
    std::memcpy(channel.localStatic, local.publicKey, sizeof channel.localStatic);
    uint8_t prologue[PROLOGUE_MAX];
    const size_t length = Prologue(prologue);
    channel.handshake.emplace();
    return channel.handshake->Initialize(channel.connecting, prologue, length, local);
}

// This side's next handshake message, queued for the wire.
bool WriteHandshake() {
    uint8_t message[HANDSHAKE_MESSAGE_MAX];
    size_t written = 0;
    if (!channel.handshake->WriteMessage(nullptr, 0, message, sizeof message, written)) return false;
    if (!Encode(message, written, channel.handshakeOut, sizeof channel.handshakeOut)) return false;
    Pump();
    return true;
}

bool ReadHandshake(const char* text) {
    uint8_t message[HANDSHAKE_MESSAGE_MAX];
    size_t length = 0;
    if (!Decode(text, message, sizeof message, length)) return false;
    // Payloads are for later versions: read, and not used.
    uint8_t payload[HANDSHAKE_MESSAGE_MAX];
    size_t payloadLength = 0;
    return channel.handshake->ReadMessage(message, length, payload, sizeof payload, payloadLength);
}

void OnHandshakeMessage(const char* text) {
    switch (channel.phase) {
    case Phase::AwaitingOpening:
        // The client proved to speak this layer: from now on it must finish.
        channel.phase = Phase::AwaitingFinish;
        if (!StartHandshake() || !ReadHandshake(text) || !WriteHandshake()) return CloseFor(HANDSHAKE_FAILED_LINE);
        StartDeadline();
        return;
    case Phase::AwaitingAnswer:
        if (!ReadHandshake(text) || !WriteHandshake()) return CloseFor(HANDSHAKE_FAILED_LINE);
        return SettleEncrypted();
    case Phase::AwaitingFinish:
        if (!ReadHandshake(text)) return CloseFor(HANDSHAKE_FAILED_LINE);
        return SettleEncrypted();
    default:
        // Before the greeting, out of turn, again, or in a settled
        // conversation: no honest peer sends one then.
        return CloseFor(HANDSHAKE_FAILED_LINE);
    }
}

// ---------------------------------------------------------------- records

void OnRecord(const char* text) {
    if (channel.phase != Phase::Encrypted) return CloseFor(RECORD_FAILED_LINE);
    uint8_t sealed[RECORD_SEALED_MAX];
    size_t sealedLength = 0;
    uint8_t plain[RECORD_PLAIN_MAX];
    size_t plainLength = 0;
    if (!Decode(text, sealed, sizeof sealed, sealedLength) || !channel.receive.Open(sealed, sealedLength, plain, sizeof plain, plainLength) || plainLength == 0 ||
        (plain[0] != RECORD_LAST && plain[0] != RECORD_MORE) ||
        plainLength - 1 > sizeof channel.incoming - channel.incomingLength) {
        sodium_memzero(plain, sizeof plain);
        return CloseFor(RECORD_FAILED_LINE);
    }
    std::memcpy(channel.incoming + channel.incomingLength, plain + 1, plainLength - 1);
    channel.incomingLength += plainLength - 1;
    const bool last = plain[0] == RECORD_LAST;
    sodium_memzero(plain, sizeof plain);
    if (!last) return;

    char message[INNER_MESSAGE_MAX + 1];
    const size_t length = channel.incomingLength;
    std::memcpy(message, channel.incoming, length);
    message[length] = '\0';
    sodium_memzero(channel.incoming, sizeof channel.incoming);
    channel.incomingLength = 0;
    const uint8_t kind = length > 0 ? static_cast<uint8_t>(message[0]) : 0;
    const uint8_t code = length > 1 ? static_cast<uint8_t>(message[1]) : 0;
    if (kind != KIND_TEXT && kind != KIND_CONTROL) return CloseFor(RECORD_FAILED_LINE);
    // The greeting and this layer's own messages travel only in the clear.
    if (kind == KIND_CONTROL && (code == CTRL_HELLO || code == CTRL_HANDSHAKE || code == CTRL_RECORD)) {
        sodium_memzero(message, sizeof message);
        return;
    }
    DispatchIncoming(message);
    sodium_memzero(message, sizeof message);
}

}  // namespace

Privacy CurrentPrivacy() {
    switch (channel.phase) {
    case Phase::NoPeer: return Privacy::NoPeer;
    case Phase::Encrypted: return Privacy::Encrypted;
    case Phase::Plaintext: return Privacy::NotEncrypted;
    default: return Privacy::Settling;
    }
}

void BeginPrivacy(bool connecting) {
    WipeChannel();
    channel.connecting = connecting;
    // No deadline before the peer's greeting: a busy server of this program
    // greets only once it takes this client, and a decision made meanwhile
    // would send in the clear what the handshake could have sealed. The
    // server's wait for a greeting is the connection manager's own.
    channel.phase = Phase::AwaitingGreeting;
}

void ForgetPrivacy() { WipeChannel(); }

void EndPrivacy() {
    size_t typed = 0;
    for (size_t i = 0; i < channel.heldCount; ++i) {
        if (channel.held[(channel.heldFirst + i) % HOLD_CAPACITY].code != CTRL_QUIT) ++typed;
    }
    WipeChannel();
    if (typed > 0) AppendHistory(HELD_LOST_LINE);
}

void OfferMessage(uint8_t kind, uint8_t code, const char* text) {
    // The greeting goes in the clear and at once: the negotiation waits for it.
    const bool greeting = kind == KIND_CONTROL && code == CTRL_HELLO;
    if (!greeting && (Settling(channel.phase) || channel.heldCount > 0 || channel.handshakeOnWire)) {
        if (!Hold(kind, code, text)) AppendHistory(BUSY_LINE);
        Pump();
        return;
    }
    if (!WireIdle() || channel.outgoingLength > 0) {
        AppendHistory(BUSY_LINE);
        return;
    }
    if (greeting) CopyText(channel.sentGreeting, text);
    if (channel.phase == Phase::Encrypted && !greeting) {
        StartSealing(kind, code, text);
        if (!SealNextPart()) CloseFor(RECORD_FAILED_LINE);
        return;
    }
    SendWireMessage(kind, code, text);
}

void SendNextPending() { Pump(); }

bool PrivacyHasPending() {
    return channel.heldCount > 0 || channel.outgoingLength > 0 || channel.handshakeOut[0] != '\0';
}

void OnWireMessageSent() {
    channel.handshakeOnWire = false;
    if (PrivacyHasPending() && connectionState.connSocket != NO_SOCKET) {
        // Through the queue, not from inside the transfer that just ended.
        PostConnectionEvent(connectionState.connSocket, SOCKET_EVENT_WRITE);
    }
}

void ReceiveWireMessage(const char* message) {
    const uint8_t kind = static_cast<uint8_t>(message[0]);
    const uint8_t code = kind == KIND_CONTROL ? static_cast<uint8_t>(message[1]) : 0;
    if (kind == KIND_CONTROL && code == CTRL_HANDSHAKE) return OnHandshakeMessage(message + 2);
    if (kind == KIND_CONTROL && code == CTRL_RECORD) return OnRecord(message + 2);
    const bool known = kind == KIND_TEXT || (kind == KIND_CONTROL && (code == CTRL_NICK || code == CTRL_ACTION ||
                                                                       code == CTRL_POPUP || code == CTRL_HELLO ||
                                                                       code == CTRL_QUIT));
    if (!known) return DispatchIncoming(message);
    switch (channel.phase) {
    case Phase::Encrypted:
    case Phase::AwaitingFinish: return CloseFor(PLAINTEXT_REFUSED_LINE);
    case Phase::AwaitingGreeting:
    case Phase::AwaitingOpening:
    case Phase::AwaitingAnswer:
        if (code == CTRL_HELLO) break;
        // A plaintext line: the peer speaks the original protocol.
        SettlePlaintext();
        if (channel.phase != Phase::Plaintext) return;
        break;
    default: break;
    }
    if (code != CTRL_HELLO) return DispatchIncoming(message);
    const bool first = channel.phase == Phase::AwaitingGreeting;
    CopyText(channel.peerGreeting, message + 2);
    DispatchIncoming(message);
    if (!first) return;
    if (channel.connecting) {
        channel.phase = Phase::AwaitingAnswer;
        if (!StartHandshake() || !WriteHandshake()) return CloseFor(HANDSHAKE_FAILED_LINE);
    } else {
        channel.phase = Phase::AwaitingOpening;
    }
    StartDeadline();
}

bool OnNegotiationTimer() {
    if (!channel.deadlineSet || !Settling(channel.phase)) return false;
    const uint32_t waited = MillisecondsNow() - channel.waitStart;
    if (waited < NEGOTIATION_WAIT_MS) {
        StartGreetingTimer(NEGOTIATION_WAIT_MS - waited);
        return true;
    }
    channel.deadlineSet = false;
    if (channel.phase == Phase::AwaitingFinish) {
        CloseFor(HANDSHAKE_FAILED_LINE);
    } else {
        SettlePlaintext();
    }
    return true;
}

void ShowSafetyCode() {
    if (channel.phase != Phase::Encrypted) {
        AppendHistory("***Not encrypted: there is no safety code to compare\r\n");
        return;
    }
    char code[SAFETY_CODE_SIZE];
    SafetyCode(channel.localStatic, channel.peerStatic, code, sizeof code);
    AppendHistory({"***Safety code with ", connectionState.peerName, ": ", code,
                   " (the same on both screens when no one is in between)\r\n"});
}
