// The send path against a transport that takes any number of bytes, blocks,
// fails, or claims more than it was offered, interleaved with send requests,
// WinSock's own FD_WRITE and the peer coming and going.
//
// Input: a sequence of operations, each an opcode byte and its arguments:
//   0 chat text     two length bytes (length % 512) and a pattern byte
//   1 control       a code byte, two length bytes and a pattern byte
//   2 FD_WRITE      from WinSock, on the connection socket
//   3 FD_WRITE      from WinSock, naming another socket
//   4 answers       a count byte, then that many answers (% 16): 0..10 take
//                   that many bytes, 11..12 would-block, 13 fail, 14 claim 12,
//                   15 take all
//   5 peer          toggles the connection flag
//
// After every operation: every offer was exactly one block lying inside the
// send storage; a message in progress sits intact at the start of the storage
// with its counters agreeing with the bytes taken; an idle engine has an all
// zero storage; every finished message put between L and L + 9 bytes on the
// wire, starting with the message and followed by zero bytes only; a
// cancelled one put out a prefix of that; and the history holds exactly the
// refusals predicted from the state, plus one error line per cancellation.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fakes/fake_socket.h"
#include "fakes/fakes.h"
#include "net/connection.h"
#include "net/protocol.h"
#include "net/transfer.h"

namespace {

constexpr SocketHandle CONN = 7;
const char* const NOT_CONNECTED = "***Not connected\r\n";
const char* const TOO_LARGE = "***Error: Data too large, ignore\r\n";
const char* const BUSY = "Error: Previous send not finished, send ignored\n\r";
const char* const SEND_FAILED = "Error: Unexpected error in sending! Sending cancelled!\r\n";

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

struct Input {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool More() const { return at < size; }
    uint8_t Byte() { return at < size ? data[at++] : 0; }
};

struct Checker {
    std::vector<std::string> lines;  // the history as predicted
    bool active = false;             // a message we started is in progress
    std::string message;             // its bytes, terminator included
    size_t wireStart = 0;            // where it starts in fakeSocket.wire
    size_t offersChecked = 0;

    // A request about to be made: predicts its refusal, or starts tracking.
    void Request(bool control, uint8_t code, const std::string& text) {
        if (!PeerConnected(connectionState)) {
            lines.push_back(NOT_CONNECTED);
        } else if (text.size() > MAX_TEXT_LENGTH) {
            lines.push_back(TOO_LARGE);
        } else if (outgoingBuffer.sendInProgress == 1) {
            lines.push_back(BUSY);
        } else {
            std::string built = control ? std::string("\x02") + static_cast<char>(code) + text : "\x01" + text;
            message = std::string(built.c_str()) + "\x0C\x0D";  // a zero code ends the string
            wireStart = fakeSocket.wire.size();
            active = true;
        }
    }

    void Check() {
        for (; offersChecked < fakeSocket.offerLengths.size(); ++offersChecked) {
            Require(fakeSocket.offerLengths[offersChecked] == static_cast<int>(WIRE_BLOCK));
            intptr_t offset = fakeSocket.offerOffsets[offersChecked];
            Require(offset >= 0);
            Require(static_cast<size_t>(offset) + WIRE_BLOCK <= sizeof outgoingBuffer.storage);
            Require(fakeSocket.sendSockets[offersChecked] == CONN);
        }
        Require(fakeSocket.wire.size() >= wireStart);
        std::string sent = fakeSocket.wire.substr(wireStart);
        const std::string storage(outgoingBuffer.storage, sizeof outgoingBuffer.storage);

        if (outgoingBuffer.sendInProgress == 1) {
            Require(active);
            Require(outgoingBuffer.remainingCount > 0);
            Require(outgoingBuffer.readPosition == sent.size());
            Require(outgoingBuffer.readPosition + static_cast<size_t>(outgoingBuffer.remainingCount) ==
                    message.size());
            Require(storage.compare(0, message.size(), message) == 0);
            Require(storage.find_first_not_of('\0', message.size()) == std::string::npos);
            Require(sent == message.substr(0, sent.size()));
        } else {
            Require(outgoingBuffer.remainingCount <= 0);
            Require(storage.find_first_not_of('\0') == std::string::npos);
            if (active) {
                bool cancelled = fakeHistory.appends.size() > lines.size();
                if (cancelled) {
                    lines.push_back(SEND_FAILED);
                    Require(sent.size() < message.size());
                    Require(sent == message.substr(0, sent.size()));
                } else {
                    Require(sent.size() >= message.size());
                    Require(sent.size() <= message.size() + WIRE_BLOCK - 1);
                    Require(sent.compare(0, message.size(), message) == 0);
                    Require(sent.find_first_not_of('\0', message.size()) == std::string::npos);
                }
                active = false;
                wireStart = fakeSocket.wire.size();
            } else {
                Require(sent.empty());  // nothing travels while nothing is queued
            }
        }
        Require(fakeHistory.appends == lines);
        Require(!fakeSocket.depthExceeded);
    }
};

std::string TextFrom(Input& input) {
    size_t length = (input.Byte() | (input.Byte() << 8)) % 512;
    uint8_t pattern = input.Byte();
    std::string text;
    for (size_t i = 0; i < length; ++i) text.push_back(static_cast<char>(1 + (pattern + i * 31) % 255));
    return text;
}

FakeSendStep AnswerFrom(uint8_t byte) {
    unsigned answer = byte % 16;
    if (answer <= 10) return AcceptBytes(static_cast<int>(answer));
    if (answer <= 12) return WouldBlock();
    if (answer == 13) return FailSend(10054);
    if (answer == 14) return AcceptBytes(12);
    return AcceptBytes(static_cast<int>(WIRE_BLOCK));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResetFakes();
    connectionState.clientConnected = 1;
    connectionState.connSocket = CONN;
    Input input{data, size};
    Checker checker;

    while (input.More()) {
        switch (input.Byte() % 6) {
        case 0: {
            std::string text = TextFrom(input);
            checker.Request(false, 0, text);
            SendChatText(text.c_str());
            break;
        }
        case 1: {
            uint8_t code = input.Byte();
            std::string text = TextFrom(input);
            checker.Request(true, code, text);
            SendControl(code, text.c_str());
            break;
        }
        case 2: OnConnectionEvent(CONN, SOCKET_EVENT_WRITE); break;
        case 3: OnConnectionEvent(CONN + 1, SOCKET_EVENT_WRITE); break;
        case 4: {
            // Answers not yet used are replaced: the script is what comes next.
            std::vector<FakeSendStep> script;
            for (uint8_t count = input.Byte(); count > 0 && input.More(); --count) {
                script.push_back(AnswerFrom(input.Byte()));
            }
            fakeSocket.sendScript = script;
            fakeSocket.sendNext = 0;
            break;
        }
        case 5: connectionState.clientConnected ^= 1; break;
        }
        checker.Check();
    }
    return 0;
}
