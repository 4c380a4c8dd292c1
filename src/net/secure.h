#pragma once
// The encrypted layer between two copies of this program, on top of the
// original protocol and invisible to a peer that speaks only that: after the
// greetings the connecting side opens a Noise XX handshake on a control code
// the original protocol drops, and from then on every message travels as
// sealed records on another. A peer that has greeted and then does not
// answer within NEGOTIATION_WAIT_MS, or that sends a plaintext line, speaks
// the original protocol: the conversation is plaintext, and the history
// says so. Lines the user sends meanwhile wait for the outcome. The wire is
// described in docs/protocol.md.
#include <cstddef>
#include <cstdint>

#include "net/protocol.h"

constexpr uint32_t NEGOTIATION_WAIT_MS = 2000;

// How private the conversation is, for what the front ends show.
enum class Privacy { NoPeer, Settling, Encrypted, NotEncrypted };
Privacy CurrentPrivacy();

// A connection begins (client: it connected; server: it accepted), or it
// has ended: the state of the last one is wiped.
void BeginPrivacy(bool connecting);
void EndPrivacy();
// Wipes the channel without a word: a fresh start of the whole manager.
void ForgetPrivacy();

// Every message the user's side sends (chat, action, popup, name, quit and
// the greeting) comes through here once the transfer engine has checked it:
// sent at once, sealed into records, or held while the outcome is open. A
// refusal is a history line.
void OfferMessage(uint8_t kind, uint8_t code, const char* text);
// True while a held or sealed message has parts still to go.
bool PrivacyHasPending();
// The wire has taken the last message whole: the next part may go, on the
// next write notification, which this asks for.
void OnWireMessageSent();
void SendNextPending();

// Every complete message the peer sent, terminator removed.
void ReceiveWireMessage(const char* message);

// The connection's timer ran (seams/timer.h): true when it was the
// negotiation's, whatever it then did.
bool OnNegotiationTimer();

// /verify: the safety code of both static keys, or why there is none.
void ShowSafetyCode();

// The control codes of the encrypted layer: none is one of the original
// five, 0, or a byte of the terminator.
constexpr uint8_t CTRL_HANDSHAKE = 0x48;  // 'H': a handshake message
constexpr uint8_t CTRL_RECORD = 0x52;     // 'R': a sealed record

// The prologue's first bytes: the protocol and its version. A peer of a
// later version uses another, so that the handshake fails rather than
// agreeing on something else.
inline constexpr char PROLOGUE_LABEL[] = "Norrik encrypted 1";

// A record's plaintext is a flag byte and at most RECORD_PART_MAX bytes of a
// message (kind, code, text, without the terminator); sealed and encoded it
// stays within the message storage.
constexpr uint8_t RECORD_LAST = 0x00;
constexpr uint8_t RECORD_MORE = 0x01;
constexpr size_t RECORD_PART_MAX = 360;
