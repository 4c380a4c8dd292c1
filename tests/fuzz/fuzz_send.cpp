// The send path against a transport that takes any part of a block, claims
// more, blocks or fails. Input: opcodes (% 4): 0 chat and 1 control (a code
// first) with a length byte (* 2) and a pattern byte; 2 FD_WRITE; 3 a count
// and that many answers (% 14: take 0 to 10, claim 12, would-block, fail).
// Checked: the refusal and failure lines, a zeroed storage whenever idle, and,
// unless a send failed, the accepted messages when the wire is read back.
#include <string>
#include <vector>

#include "fakes/fakes.h"
#include "net/connection.h"
#include "net/incoming.h"
#include "net/secure.h"
#include "net/transfer.h"

namespace {

std::vector<std::string> received;

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

void Writable() { OnConnectionEvent(connectionState.connSocket, SOCKET_EVENT_WRITE, 0); }

}  // namespace

// Takes the place of the real dispatch at link time: what arrives is
// compared with what was sent, nothing else.
void DispatchIncoming(const char* message) { received.emplace_back(message); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Connected();
    std::vector<std::string> accepted;
    std::string lines;
    size_t at = 0;
    auto next = [&]() -> unsigned { return at < size ? data[at++] : 0; };
    while (at < size) {
        const unsigned op = next() % 4;
        if (op == 2) Writable();
        for (unsigned count = op == 3 ? next() : 0, answer = 0; count > 0 && at < size; --count) {
            answer = next() % 14;
            fake.sendAnswers.push_back(answer <= 10 ? int(answer) : answer == 11 ? 12 : answer == 12 ? -1 : -2);
        }
        if (op <= 1) {
            // The encrypted layer's own codes are never the user's to send.
            unsigned code = next();
            if (code == CTRL_HANDSHAKE || code == CTRL_RECORD) ++code;
            const std::string kind = op == 1 ? std::string("\x02") + static_cast<char>(code) : "\x01";
            std::string text(next() * 2, ' ');  // printable: no zero, no terminator
            for (unsigned i = 0, pattern = next(); i < text.size(); ++i) text[i] += (pattern + i) % 0x5F;
            if (text.size() > MAX_TEXT_LENGTH) {
                lines += "***Error: Data too large, ignore\r\n";
            } else if (outgoingBuffer.sendInProgress == 1) {
                lines += "Error: Previous send not finished, send ignored\n\r";
            } else {
                accepted.emplace_back((kind + text).c_str());
            }
            op == 1 ? SendControl(static_cast<uint8_t>(kind[1]), text.c_str()) : SendChatText(text.c_str());
        }
        if (fake.history.size() > lines.size()) lines += "Error: Unexpected error in sending! Sending cancelled!\r\n";
        const std::string storage(outgoingBuffer.storage, MESSAGE_BUFFER_SIZE);
        Require(fake.history == lines && (outgoingBuffer.sendInProgress == 1 || storage == std::string(510, '\0')));
    }
    fake.sendAnswers.clear();
    for (int i = 0; i < 60 && outgoingBuffer.sendInProgress == 1; ++i) Writable();
    if (lines.find("cancelled") != std::string::npos || outgoingBuffer.sendInProgress == 1) return 0;
    received.clear();
    for (size_t block = 0; block < fake.wire.size(); block += WIRE_BLOCK) PeerSends(fake.wire.substr(block, 10));
    Require(received == accepted && fake.history == lines);
    return 0;
}
