// The receive path against arbitrary bytes in arbitrary read sizes. Input:
// control bytes; % 16 up to 10 is a read of that many following bytes (none:
// a closed read), above 10 a flood of 13 to 65 full reads of the next byte.
// Every read is checked against a plain model of the framing, the storage byte
// for byte: an overrun into its record's padding escapes the address sanitizer.
// The conversation is plaintext; a handshake message or a record in it ends
// the connection with its line, and the input there.
#include <cstring>
#include <string>
#include <vector>

#include "fakes/fakes.h"
#include "net/incoming.h"
#include "net/transfer.h"

namespace {

std::vector<std::string> handedOn;

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

// Takes the place of the real dispatch at link time: the framing is watched
// on its own here.
void DispatchIncoming(const char* message) {
    Require(strnlen(message, MESSAGE_BUFFER_SIZE) < MESSAGE_BUFFER_SIZE);
    handedOn.emplace_back(message);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Connected();
    handedOn.clear();
    std::string held, lines;
    std::vector<std::string> messages;
    bool closed = false;
    auto read = [&](const std::string& bytes) {
        PeerSends(bytes);
        for (char byte : bytes) {
            if (held.empty() && byte == '\0') continue;  // padding between messages
            if (!held.empty() && byte == '\x0D' && held.back() == '\x0C') {
                held.pop_back();
                const std::string message = held.c_str();
                held.clear();
                if (message.size() >= 2 && message[0] == '\x02' && (message[1] == 'H' || message[1] == 'R')) {
                    lines += message[1] == 'H' ? "***Error: The encryption handshake failed; connection closed\r\n"
                                               : "***Error: A message failed authentication; connection closed\r\n";
                    closed = true;
                    break;
                }
                messages.push_back(message);
            } else if (held.size() == MESSAGE_BUFFER_SIZE) {  // dropped with the rest of its read
                lines += "***Error: Received message longer than 510 bytes, discarded\r\n";
                held.clear();
                break;
            } else {
                held += byte;
            }
        }
        Require(handedOn == messages && fake.history == lines && incomingBuffer.writePosition == held.size());
        Require(closed == (connectionState.connSocket == NO_SOCKET));
        Require(std::string(incomingBuffer.storage, MESSAGE_BUFFER_SIZE) ==
                held + std::string(MESSAGE_BUFFER_SIZE - held.size(), '\0'));
    };
    for (size_t at = 0; at < size && !closed;) {
        const size_t control = data[at++] % 16, count = std::min(control, size - at);
        if (control <= WIRE_BLOCK) {
            read(std::string(reinterpret_cast<const char*>(data + at), count));
            at += count;
        } else {
            const char value = at < size ? static_cast<char>(data[at++]) : 0;
            for (size_t reads = (control - WIRE_BLOCK) * 13; reads > 0 && !closed; --reads) read(std::string(WIRE_BLOCK, value));
        }
    }
    return 0;
}
