#pragma once
// Every constant of the bytes that travel between two copies of the program.
// A message is a kind byte, for control messages a code byte, a text and the
// two-byte terminator; on the wire it is padded with zero bytes to a whole
// number of WIRE_BLOCK-byte blocks. There is no length field, no version and
// no escape: the terminator alone ends a message.
#include <cstddef>
#include <cstdint>

constexpr uint16_t CHAT_PORT = 6374;

// Kind bytes (first byte of every message).
constexpr uint8_t KIND_TEXT = 0x01;
constexpr uint8_t KIND_CONTROL = 0x02;

// Control codes (second byte of a KIND_CONTROL message).
constexpr uint8_t CTRL_NICK = 0x04;    // the sender's new display name
constexpr uint8_t CTRL_ACTION = 0x08;  // an action line (/me)
constexpr uint8_t CTRL_POPUP = 0x10;   // a popup message, never empty
constexpr uint8_t CTRL_HELLO = 0x20;   // the greeting with the configured nickname
constexpr uint8_t CTRL_QUIT = 0x40;    // the reason for leaving

// Form feed then carriage return. Kept as a zero-terminated string so that it
// can be appended to the zero-terminated message being built.
inline constexpr char MSG_TERMINATOR[] = "\x0C\x0D";
constexpr size_t MSG_TERMINATOR_LENGTH = sizeof MSG_TERMINATOR - 1;

constexpr size_t MAX_TEXT_LENGTH = 500;
// Bytes offered by every send call and asked of every receive call.
constexpr size_t WIRE_BLOCK = 10;
// Send and receive storage: the largest message, padded, fills it exactly.
constexpr size_t MESSAGE_BUFFER_SIZE = 510;

// Longest message: kind, code, the longest text and the terminator.
constexpr size_t MAX_MESSAGE_LENGTH = 2 + MAX_TEXT_LENGTH + MSG_TERMINATOR_LENGTH;
static_assert(MSG_TERMINATOR_LENGTH == 2, "the terminator is two bytes");
static_assert(MAX_MESSAGE_LENGTH <= MESSAGE_BUFFER_SIZE, "the largest message fits the storage");
static_assert((MAX_MESSAGE_LENGTH + WIRE_BLOCK - 1) / WIRE_BLOCK * WIRE_BLOCK == MESSAGE_BUFFER_SIZE,
              "the largest message, padded to whole blocks, fills the storage exactly");
