// The handshake's reading side against arbitrary messages, at each of its
// three places: as the responder's first read, as the initiator's read of
// the answer, and as the responder's read of the last message after a real
// opening and answer. Input: the first byte picks the place, the rest is the
// message. A read must never touch memory outside its buffers, and one that
// fails must leave a state that refuses everything after it.
#include <cstdint>

#include "crypto/noise.h"

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

const uint8_t PROLOGUE[] = "Norrik encrypted 1";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int place = data[0] % 3;
    const uint8_t* message = data + 1;
    const size_t length = size - 1;
    // Fixed keys, so that every run tries the same inputs alike.
    static noise::KeyPair keys[3];
    static const bool made = [] {
        const uint8_t secrets[3][noise::DH_LEN] = {{1}, {2}, {3}};
        return KeyPairFromPrivate(secrets[0], keys[0]) && KeyPairFromPrivate(secrets[1], keys[1]) &&
               KeyPairFromPrivate(secrets[2], keys[2]);
    }();
    noise::HandshakeState initiator, responder;
    Require(made && initiator.Initialize(true, PROLOGUE, sizeof PROLOGUE - 1, keys[0], &keys[2]));
    Require(responder.Initialize(false, PROLOGUE, sizeof PROLOGUE - 1, keys[1], &keys[2]));
    uint8_t buffer[512], payload[512];
    size_t written = 0, read = 0;
    noise::HandshakeState* reader = &responder;
    if (place >= 1) Require(initiator.WriteMessage(nullptr, 0, buffer, sizeof buffer, written));
    if (place == 1) reader = &initiator;
    if (place == 2) {
        Require(responder.ReadMessage(buffer, written, payload, sizeof payload, read));
        Require(responder.WriteMessage(nullptr, 0, buffer, sizeof buffer, written));
        Require(initiator.ReadMessage(buffer, written, payload, sizeof payload, read));
    }
    // A payload buffer of exactly what fits, so that a write past it shows.
    const size_t capacity = length > 0 ? length : 1;
    uint8_t* out = new uint8_t[capacity];
    const bool accepted = reader->ReadMessage(message, length, out, capacity, read);
    Require(accepted ? read <= capacity
                     : reader->Failed() && !reader->WriteMessage(nullptr, 0, buffer, sizeof buffer, written));
    delete[] out;
    return 0;
}
