// The receive path against arbitrary bytes in arbitrary read sizes, as a
// hostile or broken peer and a fragmenting network could deliver them.
//
// Input: a sequence of steps, each a control byte and what it needs.
// control % 16 is 0..10: a read returning that many of the following input
// bytes (fewer if the input ends); 11: the read fails; 12: the read reports
// the connection closed; 13..15: a flood, a byte value and a count byte:
// count % 64 + 1 full reads of that byte, so that runs past the end of the
// storage cost the fuzzer two bytes of input.
//
// Every step is checked against a plain model of the framing rule written
// with std::string: which messages are handed on, which reads overflow, and
// what the receive storage holds afterwards. The address sanitizer guards the
// engine's block; the explicit checks guard the storage, since an overrun
// into a neighbouring field of the same record would go unseen by it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fakes/fake_socket.h"
#include "fakes/fakes.h"
#include "net/connection.h"
#include "net/protocol.h"
#include "net/transfer.h"

namespace {

constexpr SocketHandle PEER = 5;

std::vector<std::string> handedOn;

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

void RecordMessage(const char* message) {
    Require(message == incomingBuffer.storage);
    size_t length = strnlen(message, MESSAGE_BUFFER_SIZE);
    Require(length < MESSAGE_BUFFER_SIZE);  // terminated inside the storage
    handedOn.emplace_back(message, length);
}

struct Model {
    std::string held;
    std::vector<std::string> messages;
    size_t overflows = 0;

    // The bytes as one stream: zeros between messages are padding, the
    // first 0x0C 0x0D ends a message, and a message that grows past the
    // storage is dropped with the rest of its read.
    void Read(const std::string& chunk) {
        for (char byte : chunk) {
            if (held.empty() && byte == '\0') continue;
            if (!held.empty() && byte == '\x0D' && held.back() == '\x0C') {
                held.pop_back();
                messages.emplace_back(held.c_str());
                held.clear();
                continue;
            }
            if (held.size() == MESSAGE_BUFFER_SIZE) {
                ++overflows;
                held.clear();
                return;
            }
            held += byte;
        }
    }
};

void CheckAgainst(const Model& model) {
    static const char zeros[MESSAGE_BUFFER_SIZE] = {};
    const size_t held = model.held.size();
    Require(incomingBuffer.writePosition == held);
    Require(std::memcmp(incomingBuffer.storage, model.held.data(), held) == 0);
    Require(std::memcmp(incomingBuffer.storage + held, zeros, MESSAGE_BUFFER_SIZE - held) == 0);
    Require(handedOn.size() == model.messages.size());
    if (!handedOn.empty()) Require(handedOn.back() == model.messages.back());
    Require(fakeHistory.appends.size() == model.overflows);
    if (model.overflows > 0) Require(fakeHistory.appends.back() == RECEIVE_OVERFLOW_LINE);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResetFakes();
    handedOn.clear();
    receivedMessageHandler = RecordMessage;
    connectionState.clientConnected = 1;
    connectionState.connSocket = PEER;

    Model model;
    // One notification and the model's view of the same read.
    auto read = [&](FakeRecvStep step) {
        std::string chunk = step.kind == FakeRecvStep::Data ? step.bytes : std::string();
        fakeSocket.Feed(std::move(step));
        OnConnectionEvent(PEER, SOCKET_EVENT_READ);
        Require(!fakeSocket.ReceivePending());
        Require(fakeSocket.recvLengths.back() == static_cast<int>(WIRE_BLOCK));
        model.Read(chunk);
        CheckAgainst(model);
    };
    size_t at = 0;
    while (at < size) {
        unsigned control = data[at++] % 16;
        if (control <= WIRE_BLOCK) {
            size_t count = control < size - at ? control : size - at;
            read(DataChunk(std::string(reinterpret_cast<const char*>(data + at), count)));
            at += count;
        } else if (control == 11) {
            read(FailedRead(10054));
        } else if (control == 12) {
            read(ClosedRead());
        } else {
            char value = at < size ? static_cast<char>(data[at++]) : 0;
            unsigned reads = (at < size ? data[at++] : 0) % 64 + 1u;
            for (unsigned i = 0; i < reads; ++i) read(DataChunk(std::string(WIRE_BLOCK, value)));
        }
    }
    Require(fakeSocket.offerLengths.empty());  // receiving never sends
    return 0;
}
