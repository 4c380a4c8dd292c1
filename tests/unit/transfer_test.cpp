#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "fakes/fake_socket.h"
#include "fakes/fakes.h"
#include "net/connection.h"
#include "net/incoming.h"
#include "net/protocol.h"
#include "net/transfer.h"

namespace {

constexpr SocketHandle CONN = 7;

const char* const NOT_CONNECTED = "***Not connected\r\n";
const char* const TOO_LARGE = "***Error: Data too large, ignore\r\n";
const char* const BUSY = "Error: Previous send not finished, send ignored\n\r";
const char* const SEND_FAILED = "Error: Unexpected error in sending! Sending cancelled!\r\n";

// "01 68 69" -> the three bytes.
std::string Hex(const char* text) {
    std::string bytes;
    while (*text) {
        if (*text == ' ') {
            ++text;
            continue;
        }
        bytes.push_back(static_cast<char>(std::stoi(std::string(text, 2), nullptr, 16)));
        text += 2;
    }
    return bytes;
}

std::string Zeros(size_t count) { return std::string(count, '\0'); }

// A text of length bytes using the whole 8-bit range except zero and the
// terminator's bytes, so a byte that is altered or lost on the way shows.
std::string TextOf(size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i) text.push_back(static_cast<char>(0x20 + (i * 37) % 0xDF));
    return text;
}

std::string ChatMessage(const std::string& text) { return "\x01" + text + "\x0C\x0D"; }
std::string ControlMessage(uint8_t code, const std::string& text) {
    return std::string("\x02") + static_cast<char>(code) + text + "\x0C\x0D";
}

bool AllZero(const std::string& bytes) { return bytes.find_first_not_of('\0') == std::string::npos; }

std::string OutgoingStorage() { return std::string(outgoingBuffer.storage, sizeof outgoingBuffer.storage); }
std::string IncomingStorage() { return std::string(incomingBuffer.storage, sizeof incomingBuffer.storage); }

// What the engine handed on for each complete message: the string, and the
// whole storage as it stood during the call.
struct Arrival {
    std::string message;
    std::string storage;
    bool pointsAtStorage;
};
std::vector<Arrival> arrivals;

void RecordArrival(const char* message) {
    arrivals.push_back({message, IncomingStorage(), message == incomingBuffer.storage});
}

std::vector<std::string> ArrivedMessages() {
    std::vector<std::string> messages;
    for (const Arrival& arrival : arrivals) messages.push_back(arrival.message);
    return messages;
}

class TransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFakes();
        arrivals.clear();
        receivedMessageHandler = RecordArrival;
        connectionState.clientConnected = 1;
        connectionState.connSocket = CONN;
    }
    void TearDown() override { EXPECT_FALSE(fakeSocket.depthExceeded) << "self-delivery did not stop"; }

    void Script(std::vector<FakeSendStep> steps) { fakeSocket.sendScript = std::move(steps); }
    // WinSock's own FD_WRITE, posted when the socket takes data again.
    void WinSockWritable() { OnConnectionEvent(CONN, SOCKET_EVENT_WRITE); }
    // WinSock's FD_READ, one notification per call.
    void Readable(SocketHandle socket = CONN) { OnConnectionEvent(socket, SOCKET_EVENT_READ); }
    // WinSock posts FD_READ again while data remain unread.
    int ReadAll(int limit = 200) {
        int reads = 0;
        while (fakeSocket.ReceivePending() && reads < limit) {
            Readable();
            ++reads;
        }
        EXPECT_FALSE(fakeSocket.ReceivePending()) << "data left after " << limit << " reads";
        return reads;
    }

    void ExpectIdleAndEmpty() {
        EXPECT_EQ(outgoingBuffer.sendInProgress, 0);
        EXPECT_LE(outgoingBuffer.remainingCount, 0);
        EXPECT_TRUE(AllZero(OutgoingStorage())) << "send storage not cleared";
    }
    // Every offer carries a whole block and lies inside the send storage.
    void ExpectOffersInsideStorage() {
        for (size_t i = 0; i < fakeSocket.offerLengths.size(); ++i) {
            SCOPED_TRACE("offer " + std::to_string(i));
            EXPECT_EQ(fakeSocket.offerLengths[i], 10);
            EXPECT_GE(fakeSocket.offerOffsets[i], 0);
            EXPECT_LE(fakeSocket.offerOffsets[i] + 10, static_cast<intptr_t>(sizeof outgoingBuffer.storage));
        }
    }
};

// ---------------------------------------------------------------- sending

struct WorkedExample {
    const char* name;
    bool control;
    uint8_t code;
    const char* text;
    const char* wire;
};

const WorkedExample WORKED_EXAMPLES[] = {
    {"chat hi", false, 0, "hi", "01 68 69 0C 0D 00 00 00 00 00"},
    {"empty chat", false, 0, "", "01 0C 0D 00 00 00 00 00 00 00"},
    {"chat abcdefgh", false, 0, "abcdefgh", "01 61 62 63 64 65 66 67 68 0C 0D 00 00 00 00 00 00 00 00 00"},
    {"nick Bob", true, CTRL_NICK, "Bob", "02 04 42 6F 62 0C 0D 00 00 00"},
    {"action waves", true, CTRL_ACTION, "waves", "02 08 77 61 76 65 73 0C 0D 00"},
    {"popup Lunch?", true, CTRL_POPUP, "Lunch?", "02 10 4C 75 6E 63 68 3F 0C 0D"},
    {"hello YourNickName", true, CTRL_HELLO, "YourNickName",
     "02 20 59 6F 75 72 4E 69 63 6B 4E 61 6D 65 0C 0D 00 00 00 00"},
    {"quit Leaving", true, CTRL_QUIT, "Leaving", "02 40 4C 65 61 76 69 6E 67 0C 0D 00 00 00 00 00 00 00 00 00"},
};

TEST_F(TransferTest, WorkedExamplesTravelByteForByteInWholeBlocks) {
    for (const WorkedExample& example : WORKED_EXAMPLES) {
        SCOPED_TRACE(example.name);
        SetUp();
        if (example.control) {
            SendControl(example.code, example.text);
        } else {
            SendChatText(example.text);
        }
        std::string wire = Hex(example.wire);
        EXPECT_EQ(fakeSocket.wire, wire);
        EXPECT_EQ(fakeSocket.offered, wire) << "every block taken whole";
        EXPECT_EQ(fakeSocket.offerLengths, std::vector<int>(wire.size() / 10, 10));
        EXPECT_EQ(fakeSocket.sendSockets, std::vector<SocketHandle>(wire.size() / 10, CONN));
        // One self-delivered FD_WRITE per block, each on connSocket.
        EXPECT_EQ(fakeSocket.events,
                  (std::vector<std::pair<SocketHandle, uint32_t>>(wire.size() / 10, {CONN, SOCKET_EVENT_WRITE})));
        EXPECT_TRUE(fakeHistory.appends.empty());
        ExpectIdleAndEmpty();
    }
}

TEST_F(TransferTest, WireLengthIsTheMessageRoundedUpToWholeBlocks) {
    struct Row {
        size_t textBytes, chatWire, controlWire;
    };
    const Row rows[] = {{0, 10, 10},    {6, 10, 10},    {7, 10, 20},    {8, 20, 20},   {17, 20, 30},
                        {497, 500, 510}, {498, 510, 510}, {499, 510, 510}, {500, 510, 510}};
    for (const Row& row : rows) {
        std::string text = TextOf(row.textBytes);
        for (bool control : {false, true}) {
            SCOPED_TRACE(std::to_string(row.textBytes) + (control ? " text bytes, control" : " text bytes, chat"));
            SetUp();
            std::string message = control ? ControlMessage(CTRL_ACTION, text) : ChatMessage(text);
            size_t expected = control ? row.controlWire : row.chatWire;
            if (control) {
                SendControl(CTRL_ACTION, text.c_str());
            } else {
                SendChatText(text.c_str());
            }
            ASSERT_EQ(fakeSocket.wire.size(), expected);
            EXPECT_EQ(fakeSocket.wire, message + Zeros(expected - message.size()));
            EXPECT_EQ(fakeSocket.offerLengths.size(), expected / 10);
            // Each block goes out one delivery deeper than the one before.
            EXPECT_EQ(fakeSocket.maxDepth, static_cast<int>(expected / 10));
            ExpectIdleAndEmpty();
        }
    }
}

TEST_F(TransferTest, FiveByteMessageLeavesTheCountFiveBelowZero) {
    SendChatText("hi");
    EXPECT_EQ(fakeSocket.offerLengths, std::vector<int>{10});
    EXPECT_EQ(fakeSocket.offered.substr(5), Zeros(5));
    EXPECT_EQ(outgoingBuffer.remainingCount, -5);
    EXPECT_EQ(outgoingBuffer.sendInProgress, 0);
    EXPECT_EQ(outgoingBuffer.readPosition, 10u);
    EXPECT_TRUE(AllZero(OutgoingStorage()));
}

TEST_F(TransferTest, TwentyByteMessageTakesTwoFullBlocksWithoutPadding) {
    SendControl(CTRL_POPUP, "Meeting at noon?");  // 16 text bytes, L = 20
    EXPECT_EQ(fakeSocket.offerLengths, (std::vector<int>{10, 10}));
    EXPECT_EQ(fakeSocket.wire, ControlMessage(CTRL_POPUP, "Meeting at noon?"));
    EXPECT_EQ(outgoingBuffer.remainingCount, 0);
    ExpectIdleAndEmpty();
}

TEST_F(TransferTest, EightBitTextTravelsUnchanged) {
    const char text[] = "caf\xE9 \x80\xFF %s %n";
    SendChatText(text);
    std::string expected = ChatMessage(text);
    EXPECT_EQ(fakeSocket.wire.substr(0, expected.size()), expected);
    EXPECT_TRUE(fakeHistory.appends.empty());
}

TEST_F(TransferTest, NullTextSendsAnEmptyText) {
    SendChatText(nullptr);
    SendControl(CTRL_NICK, nullptr);
    EXPECT_EQ(fakeSocket.wire, Hex("01 0C 0D 00 00 00 00 00 00 00 02 04 0C 0D 00 00 00 00 00 00"));
}

TEST_F(TransferTest, ControlCodeZeroCannotLeakTheTextIntoThePadding) {
    SendControl(0, "secret");
    EXPECT_EQ(fakeSocket.wire, Hex("02 0C 0D 00 00 00 00 00 00 00"));
}

// ---------------------------------------------------------------- refusals

TEST_F(TransferTest, FiveHundredTextBytesAreSentAndFiveHundredAndOneRefused) {
    std::string longest = TextOf(500);
    SendChatText(longest.c_str());
    EXPECT_EQ(fakeSocket.wire, ChatMessage(longest) + Zeros(7));
    SendControl(CTRL_POPUP, longest.c_str());
    EXPECT_EQ(fakeSocket.wire.substr(510), ControlMessage(CTRL_POPUP, longest) + Zeros(6));
    EXPECT_TRUE(fakeHistory.appends.empty());

    fakeSocket.Rewind();
    std::string tooLong = TextOf(501);
    SendChatText(tooLong.c_str());
    SendControl(CTRL_POPUP, tooLong.c_str());
    EXPECT_EQ(fakeHistory.appends, (std::vector<std::string>{TOO_LARGE, TOO_LARGE}));
    EXPECT_TRUE(fakeSocket.offered.empty());
    EXPECT_TRUE(fakeSocket.events.empty());
    ExpectIdleAndEmpty();
}

TEST_F(TransferTest, LengthCheckStopsAtTheLimitOfAnUnterminatedText) {
    // Past 501 bytes nothing is read: the address sanitizer guards the end.
    char text[MAX_TEXT_LENGTH + 1];
    std::memset(text, 'x', sizeof text);
    SendChatText(text);
    EXPECT_EQ(fakeHistory.text, TOO_LARGE);
    EXPECT_TRUE(fakeSocket.offered.empty());
}

TEST_F(TransferTest, WithoutAPeerNothingIsSentWhateverTheText) {
    connectionState.clientConnected = 0;
    std::string tooLong = TextOf(600);
    SendChatText("hi");
    SendControl(CTRL_HELLO, "YourNickName");
    SendChatText(tooLong.c_str());
    EXPECT_EQ(fakeHistory.appends, (std::vector<std::string>{NOT_CONNECTED, NOT_CONNECTED, NOT_CONNECTED}));
    EXPECT_TRUE(fakeSocket.offered.empty());
    EXPECT_TRUE(fakeSocket.events.empty());
    ExpectIdleAndEmpty();
}

TEST_F(TransferTest, TheServersPeerCountsAsAPeerToo) {
    connectionState.clientConnected = 0;
    connectionState.serverHasPeer = 1;
    SendChatText("hi");
    EXPECT_EQ(fakeSocket.wire, Hex("01 68 69 0C 0D 00 00 00 00 00"));
}

TEST_F(TransferTest, TooLargeWinsOverBusyAndBusyLeavesTheMessageInProgress) {
    Script({WouldBlock()});
    SendChatText("first");
    ASSERT_EQ(outgoingBuffer.sendInProgress, 1);
    const std::string storageBefore = OutgoingStorage();
    const size_t positionBefore = outgoingBuffer.readPosition;
    const int32_t remainingBefore = outgoingBuffer.remainingCount;

    std::string tooLong = TextOf(600);
    SendChatText(tooLong.c_str());
    SendChatText("second");
    SendControl(CTRL_NICK, "Bob");
    EXPECT_EQ(fakeHistory.appends, (std::vector<std::string>{TOO_LARGE, BUSY, BUSY}));
    EXPECT_EQ(fakeSocket.offerLengths.size(), 1u) << "refusals offer nothing";
    EXPECT_EQ(OutgoingStorage(), storageBefore) << "the first message is untouched";
    EXPECT_EQ(outgoingBuffer.readPosition, positionBefore);
    EXPECT_EQ(outgoingBuffer.remainingCount, remainingBefore);
    EXPECT_EQ(outgoingBuffer.sendInProgress, 1);

    WinSockWritable();
    EXPECT_EQ(fakeSocket.wire, ChatMessage("first") + Zeros(2));
}

// ------------------------------------------------------- waiting on WinSock

TEST_F(TransferTest, WouldBlockWaitsAndWinSocksWriteResumesAtTheExactByte) {
    std::string text = TextOf(17);  // L = 20
    std::string message = ChatMessage(text);
    Script({AcceptBytes(10), WouldBlock()});
    SendChatText(text.c_str());

    EXPECT_EQ(fakeSocket.wire, message.substr(0, 10));
    EXPECT_EQ(outgoingBuffer.sendInProgress, 1);
    EXPECT_EQ(outgoingBuffer.remainingCount, 10);
    EXPECT_EQ(outgoingBuffer.readPosition, 10u);
    EXPECT_TRUE(fakeHistory.appends.empty()) << "would-block is not reported";

    SendChatText("late");
    EXPECT_EQ(fakeHistory.text, BUSY);
    EXPECT_EQ(fakeSocket.offerLengths.size(), 2u);

    WinSockWritable();
    EXPECT_EQ(fakeSocket.offerOffsets, (std::vector<intptr_t>{0, 10, 10}));
    EXPECT_EQ(fakeSocket.wire, message);
    ExpectIdleAndEmpty();

    SendChatText("hi");
    EXPECT_EQ(fakeSocket.wire, message + Hex("01 68 69 0C 0D 00 00 00 00 00"));
    EXPECT_EQ(fakeHistory.text, BUSY);
}

TEST_F(TransferTest, WouldBlockAgainKeepsWaiting) {
    Script({WouldBlock(), WouldBlock(), AcceptBytes(10)});
    SendChatText("hi");
    WinSockWritable();
    EXPECT_EQ(outgoingBuffer.sendInProgress, 1);
    EXPECT_EQ(outgoingBuffer.remainingCount, 5);
    EXPECT_EQ(outgoingBuffer.readPosition, 0u);
    EXPECT_TRUE(fakeSocket.wire.empty());
    WinSockWritable();
    EXPECT_EQ(fakeSocket.wire, Hex("01 68 69 0C 0D 00 00 00 00 00"));
    ExpectIdleAndEmpty();
}

TEST_F(TransferTest, WriteEventWithNothingQueuedSendsNothing) {
    WinSockWritable();
    EXPECT_TRUE(fakeSocket.offerLengths.empty());
    SendChatText("hi");  // leaves the count at -5
    fakeSocket.Rewind();
    WinSockWritable();
    OnConnectionEvent(CONN, SOCKET_EVENT_WRITE | (10053u << 16));
    EXPECT_TRUE(fakeSocket.offerLengths.empty());
    EXPECT_TRUE(fakeSocket.events.empty());
    EXPECT_TRUE(fakeHistory.appends.empty());
}

TEST_F(TransferTest, WritesGoToTheConnectionSocketAndOnlyItsWriteEventsContinue) {
    Script({WouldBlock()});
    SendChatText("hi");
    // An FD_WRITE naming another socket belongs to one closed since.
    OnConnectionEvent(99, SOCKET_EVENT_WRITE);
    EXPECT_EQ(fakeSocket.sendSockets, (std::vector<SocketHandle>{CONN}));
    OnConnectionEvent(CONN, SOCKET_EVENT_WRITE | (10053u << 16));  // the error word is not examined
    EXPECT_EQ(fakeSocket.sendSockets, (std::vector<SocketHandle>{CONN, CONN}));
    EXPECT_EQ(fakeSocket.wire, Hex("01 68 69 0C 0D 00 00 00 00 00"));
}

// ---------------------------------------------------------- partial accepts

struct PartialCase {
    const char* name;
    size_t textBytes;
    bool control;
    std::vector<FakeSendStep> script;
};

std::vector<FakeSendStep> Repeat(FakeSendStep step, size_t times, std::vector<FakeSendStep> before = {}) {
    before.insert(before.end(), times, step);
    return before;
}

TEST_F(TransferTest, PartialAcceptsShiftTheBlocksAndKeepTheMessageIntact) {
    const PartialCase cases[] = {
        {"3 of 10, short chat", 2, false, Repeat(AcceptBytes(3), 10)},
        {"3 of 10, longest control", 500, true, Repeat(AcceptBytes(3), 200)},
        {"1 of 10, longest control", 500, true, Repeat(AcceptBytes(1), 600)},
        {"9 of 10, longest chat", 500, false, Repeat(AcceptBytes(9), 100)},
        {"3 then whole, longest control", 500, true, {AcceptBytes(3)}},
        {"1 then whole, 502-byte message", 499, false, {AcceptBytes(1)}},
        {"mixed with waits", 20, true,
         {AcceptBytes(10), AcceptBytes(3), WouldBlock(), AcceptBytes(7), AcceptBytes(1), WouldBlock(), AcceptBytes(4)}},
    };
    for (const PartialCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        std::string text = TextOf(c.textBytes);
        std::string message = c.control ? ControlMessage(CTRL_POPUP, text) : ChatMessage(text);
        Script(c.script);
        if (c.control) {
            SendControl(CTRL_POPUP, text.c_str());
        } else {
            SendChatText(text.c_str());
        }
        for (int i = 0; i < 10 && outgoingBuffer.sendInProgress == 1; ++i) WinSockWritable();

        const std::string& wire = fakeSocket.wire;
        EXPECT_GE(wire.size(), message.size());
        EXPECT_LE(wire.size(), message.size() + 9);
        EXPECT_EQ(wire.substr(0, message.size()), message);
        EXPECT_TRUE(AllZero(wire.substr(message.size()))) << "the surplus is zero bytes";
        ExpectOffersInsideStorage();
        // Each offer starts at the first byte not yet taken.
        intptr_t taken = 0;
        for (size_t i = 0; i < fakeSocket.offerOffsets.size(); ++i) {
            EXPECT_EQ(fakeSocket.offerOffsets[i], taken) << "offer " << i;
            const FakeSendStep step = i < c.script.size() ? c.script[i] : AcceptBytes(10);
            if (step.kind == FakeSendStep::Accept) taken += step.count;
        }
        EXPECT_TRUE(fakeHistory.appends.empty());
        ExpectIdleAndEmpty();

        // The other side still reads the message out of these bytes.
        fakeSocket.Feed(DataChunk(wire));
        ReadAll();
        EXPECT_EQ(ArrivedMessages(), std::vector<std::string>{message.substr(0, message.size() - 2)});
    }
}

TEST_F(TransferTest, ThreeOfTenPutsSixBytesOfAFiveByteMessageOnTheWire) {
    Script(Repeat(AcceptBytes(3), 2));
    SendChatText("hi");
    EXPECT_EQ(fakeSocket.offerOffsets, (std::vector<intptr_t>{0, 3}));
    EXPECT_EQ(fakeSocket.wire, Hex("01 68 69 0C 0D 00"));
    EXPECT_EQ(outgoingBuffer.remainingCount, -1);
    ExpectIdleAndEmpty();
}

TEST_F(TransferTest, LastOfferOfTheLongestMessageCarriesZerosPastTheStorage) {
    // 3 bytes, then whole blocks: the last offer starts on byte 503, the last
    // of the message, and reaches 3 bytes past MESSAGE_BUFFER_SIZE.
    std::string text = TextOf(500);
    Script({AcceptBytes(3)});
    SendControl(CTRL_QUIT, text.c_str());
    ASSERT_FALSE(fakeSocket.offerOffsets.empty());
    EXPECT_EQ(fakeSocket.offerOffsets.back(), 503);
    EXPECT_EQ(fakeSocket.offered.substr(fakeSocket.offered.size() - 10), Hex("0D 00 00 00 00 00 00 00 00 00"));
    EXPECT_EQ(fakeSocket.wire, ControlMessage(CTRL_QUIT, text) + Zeros(9));
    ExpectOffersInsideStorage();
}

TEST_F(TransferTest, TransportClaimingMoreThanOfferedMovesOneBlock) {
    Script({AcceptBytes(12)});
    SendChatText(TextOf(17).c_str());
    EXPECT_EQ(fakeSocket.offerOffsets, (std::vector<intptr_t>{0, 10}));
    ExpectOffersInsideStorage();
    ExpectIdleAndEmpty();
}

// ------------------------------------------------------------ send failures

TEST_F(TransferTest, UnexpectedSendErrorIsReportedOnceAndTheNextMessageStartsClean) {
    Script({AcceptBytes(10), FailSend(10054)});
    SendChatText(TextOf(17).c_str());
    EXPECT_EQ(fakeHistory.appends, std::vector<std::string>{SEND_FAILED});
    EXPECT_EQ(outgoingBuffer.remainingCount, 0);
    EXPECT_EQ(outgoingBuffer.readPosition, 0u);
    ExpectIdleAndEmpty();

    WinSockWritable();  // a late FD_WRITE finds nothing to continue
    EXPECT_EQ(fakeSocket.offerLengths.size(), 2u);

    SendChatText("ok");
    EXPECT_EQ(fakeSocket.offerOffsets.back(), 0);
    EXPECT_EQ(fakeSocket.wire.substr(10), Hex("01 6F 6B 0C 0D 00 00 00 00 00"));
    EXPECT_EQ(fakeHistory.appends, std::vector<std::string>{SEND_FAILED});
}

TEST_F(TransferTest, FailureOnTheFirstBlockSendsNothing) {
    Script({FailSend(10038)});
    SendControl(CTRL_HELLO, "YourNickName");
    EXPECT_TRUE(fakeSocket.wire.empty());
    EXPECT_EQ(fakeHistory.text, SEND_FAILED);
    ExpectIdleAndEmpty();
}

TEST_F(TransferTest, SendTakingNothingCancelsInsteadOfSpinning) {
    Script({AcceptBytes(0)});
    SendChatText("hi");
    EXPECT_EQ(fakeSocket.offerLengths.size(), 1u);
    EXPECT_EQ(fakeHistory.text, SEND_FAILED);
    ExpectIdleAndEmpty();
}

// ---------------------------------------------------------------- receiving

TEST_F(TransferTest, OneReadPerBlockDispatchesOnTheReadHoldingTheTerminator) {
    fakeSocket.Feed(DataChunk(Hex("01 68 69 0C 0D 00 00 00 00 00"
                                  "01 61 62 63 64 65 66 67 68 0C 0D 00 00 00 00 00 00 00 00 00"
                                  "02 04 42 6F 62 0C 0D 00 00 00")));
    Readable();
    EXPECT_EQ(ArrivedMessages(), std::vector<std::string>{"\x01hi"});
    EXPECT_EQ(incomingBuffer.writePosition, 0u);
    EXPECT_TRUE(AllZero(IncomingStorage()));

    Readable();
    EXPECT_EQ(arrivals.size(), 1u);
    EXPECT_EQ(incomingBuffer.writePosition, 10u);

    Readable();
    Readable();
    EXPECT_EQ(ArrivedMessages(), (std::vector<std::string>{"\x01hi", "\x01" "abcdefgh", "\x02\x04" "Bob"}));
    EXPECT_EQ(fakeSocket.recvLengths, std::vector<int>(4, 10));
    EXPECT_FALSE(fakeSocket.ReceivePending());
    EXPECT_TRUE(AllZero(IncomingStorage()));
    EXPECT_TRUE(fakeHistory.appends.empty());
}

TEST_F(TransferTest, MessageIsHandedOnFromTheStorageBeforeItIsCleared) {
    fakeSocket.Feed(DataChunk(Hex("02 08 77 61 76 65 73 0C 0D 00")));
    Readable();
    ASSERT_EQ(arrivals.size(), 1u);
    EXPECT_TRUE(arrivals[0].pointsAtStorage);
    EXPECT_EQ(arrivals[0].storage.substr(0, 8), Hex("02 08 77 61 76 65 73 00"));
    EXPECT_EQ(incomingBuffer.writePosition, 0u);
}

TEST_F(TransferTest, TerminatorStraddlingTwoReadsIsFoundOnTheSecond) {
    fakeSocket.Feed(DataChunk(Hex("02 40 4C 65 61 76 69 6E 67 0C")));
    fakeSocket.Feed(DataChunk(Hex("0D 00 00 00 00 00 00 00 00 00")));
    Readable();
    EXPECT_TRUE(arrivals.empty());
    EXPECT_EQ(incomingBuffer.writePosition, 10u);
    EXPECT_EQ(incomingBuffer.storage[9], '\x0C');
    Readable();
    EXPECT_EQ(ArrivedMessages(), std::vector<std::string>{"\x02\x40Leaving"});
    EXPECT_TRUE(AllZero(IncomingStorage()));
}

TEST_F(TransferTest, FirstTerminatorEndsTheMessageAndTheNextStartsRightAfterIt) {
    fakeSocket.Feed(DataChunk(Hex("01 61 0C 0D 01 62 0C 0D 00 00")));
    Readable();
    EXPECT_EQ(ArrivedMessages(), (std::vector<std::string>{"\x01" "a", "\x01" "b"}));
    EXPECT_TRUE(AllZero(IncomingStorage()));
}

TEST_F(TransferTest, CarriageReturnAsTheFirstByteHeldIsNoTerminator) {
    fakeSocket.Feed(DataChunk(Hex("0D")));
    fakeSocket.Feed(DataChunk(Hex("01 78 0C 0D 00 00 00 00 00 00")));
    Readable();
    EXPECT_TRUE(arrivals.empty());
    EXPECT_EQ(incomingBuffer.writePosition, 1u);
    Readable();
    EXPECT_EQ(ArrivedMessages(), std::vector<std::string>{Hex("0D 01 78")});
}

TEST_F(TransferTest, TerminatorAtTheVeryStartIsAnEmptyMessage) {
    fakeSocket.Feed(DataChunk(Hex("0C 0D 00 00 00 00 00 00 00 00")));
    Readable();
    ASSERT_EQ(arrivals.size(), 1u);
    EXPECT_EQ(arrivals[0].message, "");
}

TEST_F(TransferTest, PaddingLeftByAShortReadIsNotTakenForTheNextMessage) {
    // The peer sent "hi" and then the nickname Bob, each as one whole block,
    // but the first read ended on the terminator.
    fakeSocket.Feed(DataChunk(Hex("01 68 69 0C 0D")));
    fakeSocket.Feed(DataChunk(Hex("00 00 00 00 00 02 04 42 6F 62")));
    fakeSocket.Feed(DataChunk(Hex("0C 0D 00 00 00")));
    ReadAll();
    EXPECT_EQ(ArrivedMessages(), (std::vector<std::string>{"\x01hi", "\x02\x04" "Bob"}));
    EXPECT_TRUE(AllZero(IncomingStorage()));
}

TEST_F(TransferTest, ZerosBetweenMessagesAreSkippedInReadsOfAnySize) {
    fakeSocket.Feed(DataChunk(Zeros(10)));
    fakeSocket.Feed(DataChunk(Zeros(3)));
    fakeSocket.Feed(DataChunk(Hex("00 01 6F 6B 0C 0D 00 00")));
    fakeSocket.Feed(DataChunk(Hex("00 00 00 00 01 00 6C 6F 73 74")));
    fakeSocket.Feed(DataChunk(Hex("0C 0D")));
    ReadAll();
    // Inside a message a zero is kept: it ends the text the handler sees.
    EXPECT_EQ(ArrivedMessages(), (std::vector<std::string>{"\x01ok", "\x01"}));
    EXPECT_EQ(fakeHistory.text, "");
}

TEST_F(TransferTest, BytesAfterTheTerminatorInItsReadStartTheNextMessage) {
    // A read that does not end on a block boundary, as TCP may cut them.
    fakeSocket.Feed(DataChunk(Hex("01 68 69")));
    fakeSocket.Feed(DataChunk(Hex("0C 0D 00 00 00 00 00 02 04 42")));
    fakeSocket.Feed(DataChunk(Hex("6F 62 0C 0D 00 00 00")));
    ReadAll();
    EXPECT_EQ(ArrivedMessages(), (std::vector<std::string>{"\x01hi", "\x02\x04" "Bob"}));
}

TEST_F(TransferTest, AStreamCutAnywhereGivesTheSameMessagesOnce) {
    auto padded = [](std::string message) { return message + Zeros((10 - message.size() % 10) % 10); };
    const std::string wire = padded(ChatMessage("hello")) + padded(ControlMessage(CTRL_NICK, "Bob")) +
                             padded(ChatMessage(TextOf(300))) + padded(ChatMessage("")) +
                             padded(ControlMessage(CTRL_POPUP, TextOf(500))) + padded(ChatMessage("end"));
    const std::vector<std::string> expected = {"\x01hello", std::string("\x02\x04") + "Bob", "\x01" + TextOf(300),
                                               "\x01", std::string("\x02\x10") + TextOf(500), "\x01" "end"};
    // Reads of every length from 1 to 10, and pieces longer than a read.
    for (size_t piece = 1; piece <= 23; ++piece) {
        arrivals.clear();
        for (size_t at = 0; at < wire.size(); at += piece) fakeSocket.Feed(DataChunk(wire.substr(at, piece)));
        ReadAll(2000);
        EXPECT_EQ(ArrivedMessages(), expected) << "pieces of " << piece;
        EXPECT_EQ(fakeHistory.text, "") << "pieces of " << piece;
        EXPECT_TRUE(AllZero(IncomingStorage())) << "pieces of " << piece;
    }
}

TEST_F(TransferTest, FailedOrClosedReadLeavesTheCollectedBytes) {
    fakeSocket.Feed(DataChunk(Hex("01 61 62 63 64 65 66 67 68 0C")));
    fakeSocket.Feed(FailedRead(10054));
    fakeSocket.Feed(ClosedRead());
    fakeSocket.Feed(DataChunk(Hex("0D 00 00 00 00 00 00 00 00 00")));
    Readable();
    const std::string collected = IncomingStorage();
    Readable();
    Readable();
    EXPECT_EQ(IncomingStorage(), collected);
    EXPECT_EQ(incomingBuffer.writePosition, 10u);
    EXPECT_TRUE(arrivals.empty());
    EXPECT_TRUE(fakeHistory.appends.empty());
    Readable();
    EXPECT_EQ(ArrivedMessages(), std::vector<std::string>{"\x01" "abcdefgh"});
}

TEST_F(TransferTest, ReadsComeFromTheSocketTheNotificationNames) {
    fakeSocket.Feed(DataChunk(Hex("01 68 69 0C 0D 00 00 00 00 00")));
    OnConnectionEvent(9, SOCKET_EVENT_READ | (10053u << 16));  // the error word is not examined
    EXPECT_EQ(fakeSocket.recvSockets, std::vector<SocketHandle>{9});
    EXPECT_EQ(ArrivedMessages(), std::vector<std::string>{"\x01hi"});
}

// ----------------------------------------------------------- hostile peers

TEST_F(TransferTest, UnterminatedFloodIsDiscardedAndTheNextMessageStillArrives) {
    fakeSocket.Feed(DataChunk(std::string(520, 'A')));
    fakeSocket.Feed(DataChunk(Hex("01 68 69 0C 0D 00 00 00 00 00")));
    for (int read = 1; read <= 51; ++read) {
        Readable();
        ASSERT_EQ(incomingBuffer.writePosition, static_cast<size_t>(read) * 10);
    }
    EXPECT_TRUE(fakeHistory.appends.empty()) << "a full storage is not yet an overflow";
    Readable();
    EXPECT_EQ(fakeHistory.appends, std::vector<std::string>{RECEIVE_OVERFLOW_LINE});
    EXPECT_EQ(incomingBuffer.writePosition, 0u);
    EXPECT_TRUE(AllZero(IncomingStorage()));
    Readable();
    EXPECT_EQ(ArrivedMessages(), std::vector<std::string>{"\x01hi"});
    EXPECT_EQ(fakeHistory.appends.size(), 1u);
}

TEST_F(TransferTest, OverflowLineIsAnErrorLine) {
    EXPECT_STREQ(RECEIVE_OVERFLOW_LINE, "***Error: Received message longer than 510 bytes, discarded\r\n");
}

TEST_F(TransferTest, MessageWhoseEndFillsTheLastByteIsStillDispatched) {
    // 509 bytes held, then a read whose first byte is the 0x0C: the message
    // and the zero that ends it fill the storage exactly.
    fakeSocket.Feed(DataChunk(std::string(9, 'A')));
    fakeSocket.Feed(DataChunk(std::string(500, 'A')));
    fakeSocket.Feed(DataChunk(Hex("0C 0D 00 00 00 00 00 00 00 00")));
    ReadAll();
    EXPECT_EQ(ArrivedMessages(), std::vector<std::string>{std::string(509, 'A')});
    EXPECT_TRUE(fakeHistory.appends.empty());
}

TEST_F(TransferTest, TerminatorPastTheEndOfTheStorageIsAnOverflow) {
    fakeSocket.Feed(DataChunk(std::string(510, 'A')));
    fakeSocket.Feed(DataChunk(Hex("0C 0D 00 00 00 00 00 00 00 00")));
    fakeSocket.Feed(DataChunk(Hex("02 04 42 6F 62 0C 0D 00 00 00")));
    ReadAll();
    EXPECT_EQ(fakeHistory.text, RECEIVE_OVERFLOW_LINE);
    EXPECT_EQ(ArrivedMessages(), std::vector<std::string>{"\x02\x04" "Bob"});
}

TEST_F(TransferTest, FullSizeMessageAfterLeftoverPaddingStillArrivesWhole) {
    // A one-byte read of a straddling 0x0D leaves nine padding bytes in
    // front of the longest message, which fits only without them.
    std::string text = TextOf(500);
    std::string wire = ControlMessage(CTRL_POPUP, text) + Zeros(6);
    fakeSocket.Feed(DataChunk(Hex("01 61 62 63 64 65 66 67 68 0C")));
    fakeSocket.Feed(DataChunk(Hex("0D")));
    fakeSocket.Feed(DataChunk(Zeros(9) + wire));
    fakeSocket.Feed(DataChunk(Hex("01 6F 6B 0C 0D 00 00 00 00 00")));
    ReadAll();
    EXPECT_EQ(fakeHistory.text, "");
    EXPECT_EQ(ArrivedMessages(),
              (std::vector<std::string>{"\x01" "abcdefgh", std::string("\x02\x10") + text, "\x01ok"}));
}

// ------------------------------------------------------------- round trips

TEST_F(TransferTest, MessagesSentBackToBackArriveOneByOne) {
    SendControl(CTRL_HELLO, "YourNickName");
    SendChatText("");
    SendChatText(TextOf(500).c_str());
    SendControl(CTRL_QUIT, "Leaving");
    fakeSocket.Feed(DataChunk(fakeSocket.wire));
    int reads = ReadAll();
    EXPECT_EQ(reads, static_cast<int>(fakeSocket.wire.size() / 10));
    EXPECT_EQ(ArrivedMessages(), (std::vector<std::string>{"\x02\x20YourNickName", "\x01",
                                                            "\x01" + TextOf(500), "\x02\x40Leaving"}));
}

// ---------------------------------------------------------------- resetting

TEST_F(TransferTest, ResetEmptiesBothBuffersAndRestoresTheHandler) {
    Script({AcceptBytes(10), WouldBlock()});
    SendChatText(TextOf(30).c_str());
    fakeSocket.Feed(DataChunk(Hex("01 68 69")));
    Readable();
    ASSERT_EQ(outgoingBuffer.sendInProgress, 1);
    ASSERT_EQ(incomingBuffer.writePosition, 3u);

    ResetCoreState();
    EXPECT_EQ(outgoingBuffer.readPosition, 0u);
    EXPECT_EQ(outgoingBuffer.remainingCount, 0);
    ExpectIdleAndEmpty();
    EXPECT_EQ(incomingBuffer.writePosition, 0u);
    EXPECT_TRUE(AllZero(IncomingStorage()));
    EXPECT_EQ(receivedMessageHandler, &DispatchIncoming);
}

}  // namespace
