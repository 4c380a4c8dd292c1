// The encrypted layer against a peer built from its description: exact
// lines for every outcome, and what a hostile peer gets.
#include <gtest/gtest.h>
#include <sodium.h>

#include <string>
#include <vector>

#include "crypto/keys.h"
#include "crypto/noise.h"
#include "fakes/fakes.h"
#include "fakes/noise_peer.h"
#include "net/connection.h"
#include "net/protocol.h"
#include "net/secure.h"
#include "net/transfer.h"
#include "settings/settings.h"

namespace {

const std::string CONNECTED_BOB = "*** You are connected to Bob.\r\n";
const std::string FIRST = FirstContact("Bob");
const std::string KNOWN = "***Encrypted. Bob's key is known\r\n";
const std::string CHANGED =
    "***WARNING: Bob's key has changed since your last conversation! Compare /verify codes before you trust it\r\n";
const std::string DOWNGRADE = "***WARNING: Bob was encrypted before and is not now: someone may be in between!\r\n";
const std::string HANDSHAKE_FAILED = "***Error: The encryption handshake failed; connection closed\r\n";
const std::string RECORD_FAILED = "***Error: A message failed authentication; connection closed\r\n";
const std::string PLAINTEXT_REFUSED = "***Error: A plaintext message in an encrypted conversation; connection closed\r\n";

// The messages the peer received since the last call: kind, code, text.
std::vector<std::string> Received() {
    std::vector<std::string> messages;
    for (size_t at = 0, end; (at = fake.wire.find_first_not_of('\0', at)) != std::string::npos; at = end + 2) {
        if ((end = fake.wire.find("\x0C\x0D", at)) == std::string::npos) break;
        messages.push_back(fake.wire.substr(at, end - at));
    }
    fake.wire.clear();
    return messages;
}

// The peer's handshake message and records, framed for the wire.
std::string Handshake(NoisePeer& peer) { return Control(CTRL_HANDSHAKE, peer.Write()); }
bool ReadHandshake(NoisePeer& peer, const std::string& message) {
    return message.substr(0, 2) == std::string("\x02") + static_cast<char>(CTRL_HANDSHAKE) && peer.Read(message.substr(2));
}
std::string Sealed(NoisePeer& peer, const std::string& message) {
    std::string wire;
    for (const std::string& record : peer.Seal(message)) wire += Control(CTRL_RECORD, record);
    return wire;
}
// The messages the program sent, opened and joined; {""} when one is not a
// record or does not open.
std::vector<std::string> Opened(NoisePeer& peer, const std::vector<std::string>& records) {
    std::vector<std::string> messages(1);
    for (const std::string& record : records) {
        const int opened = record[1] == static_cast<char>(CTRL_RECORD) ? peer.Open(record.substr(2), messages.back()) : -1;
        if (opened < 0) return {""};
        if (opened == 1) messages.emplace_back();
    }
    messages.pop_back();
    return messages;
}

// The program's opening of the handshake, when the peer did not answer it.
std::string opening;

// The program connects to the peer, which greets as name and, when it
// speaks the layer, answers the opening; the history is emptied after.
void ClientMeets(NoisePeer& peer, const std::string& name = "Bob", bool answers = true) {
    fake.history.clear();
    ConnectTo("127.0.0.1");
    PostEvent(2, connectionState.connSocket, SOCKET_EVENT_CONNECT);
    Dispatch();
    PeerSends(Control(CTRL_HELLO, name));
    std::vector<std::string> sent = Received();
    ASSERT_TRUE(sent.size() == 2 && sent[0] == "\x02\x20YourNickName");
    opening = sent[1];
    if (!answers) return;
    peer.Begin(false, "YourNickName", name);
    ASSERT_TRUE(ReadHandshake(peer, opening));
    PeerSends(Handshake(peer));
    sent = Received();
    ASSERT_TRUE(sent.size() == 1 && ReadHandshake(peer, sent[0]));
}

TEST(SecureTest, TwoCopiesAgreeAndEverythingTravelsSealed) {
    ResetFakes();
    InitNetwork();
    NoisePeer bob(7);
    ClientMeets(bob);
    EXPECT_EQ(fake.history, CONNECTED_BOB + FIRST);
    EXPECT_EQ(CurrentConnection().privacy, Privacy::Encrypted);
    fake.history.clear();

    // Both ways: every kind, and a popup of 500 characters in two records.
    const std::string popup = "Lunch?\r\n" + std::string(492, 'p');
    // A record goes to the socket whole, in one call.
    fake.offers.clear();
    Type("secret words");
    EXPECT_EQ(fake.offers, std::vector<int>{50});
    Type("/me whispers");
    SendControl(CTRL_POPUP, popup.c_str());
    Dispatch();
    const std::vector<std::string> records = Received();
    EXPECT_EQ(records.size(), 4u);
    EXPECT_EQ(Opened(bob, records), (std::vector<std::string>{"\x01secret words", "\x02\x08whispers",
                                                           "\x02\x10" + popup}));
    // One at a time, each with the next nonce; read a message's worth a read.
    fake.asks.clear();
    for (const char* message : {"\x01sealed reply", "\x02\x04Robert"}) PeerSends(Sealed(bob, message));
    EXPECT_EQ(fake.asks, (std::vector<int>{MESSAGE_BUFFER_SIZE, MESSAGE_BUFFER_SIZE}));
    PeerSends(Sealed(bob, "\x02\x10" + popup));
    EXPECT_EQ(fake.history, "<YourNickName> secret words\r\n*YourNickName whispers\r\n<Bob> sealed reply\r\n"
                            "***Bob is now known as Robert.\r\n");
    EXPECT_EQ(fake.popups, (std::vector<std::string>{"Popup message from Robert: " + popup}));

    // /verify shows the code of both keys; the quit goes sealed too.
    fake.history.clear();
    noise::KeyPair own;
    ASSERT_TRUE(LocalStaticKey(own));
    char code[SAFETY_CODE_SIZE];
    SafetyCode(bob.key.publicKey, own.publicKey, code, sizeof code);
    Type("/verify");
    EXPECT_EQ(fake.history, "***Safety code with Robert: " + std::string(code) +
                                " (the same on both screens when no one is in between)\r\n");
    Type("/quit bye");
    EXPECT_EQ(Opened(bob, Received()), (std::vector<std::string>{"\x02\x40" "bye"}));
}

// A line typed while the last handshake message waits for the socket follows it.
TEST(SecureTest, ALineTypedBehindTheLastHandshakeMessageFollowsIt) {
    ResetFakes();
    InitNetwork();
    NoisePeer bob(7);
    ClientMeets(bob, "Bob", false);
    bob.Begin(false, "YourNickName", "Bob");
    ASSERT_TRUE(ReadHandshake(bob, opening));
    fake.sendAnswers = {10, -1};
    PeerSends(Handshake(bob));
    Type("right after");
    for (int i = 0; i < 20 && MessageInTransit(); ++i) {
        OnConnectionEvent(connectionState.connSocket, SOCKET_EVENT_WRITE, 0);
        Dispatch();
    }
    const std::vector<std::string> sent = Received();
    ASSERT_TRUE(sent.size() == 2 && ReadHandshake(bob, sent[0]));
    EXPECT_EQ(Opened(bob, {sent[1]}), std::vector<std::string>{"\x01right after"});
    EXPECT_EQ(fake.history, CONNECTED_BOB + FIRST + "<YourNickName> right after\r\n");
}

TEST(SecureTest, TheServingSideAnswersAClientThatOpens) {
    ResetFakes();
    NoisePeer carol(9);
    InitNetwork();
    StartServer();
    Knock();
    Type("typed before the outcome");
    PeerSends(Control(CTRL_HELLO, "Carol"));
    EXPECT_EQ(Received(), std::vector<std::string>{"\x02\x20YourNickName"});
    carol.Begin(true, "Carol", "YourNickName");
    PeerSends(Handshake(carol));
    const std::vector<std::string> answer = Received();
    ASSERT_TRUE(answer.size() == 1 && ReadHandshake(carol, answer[0]));
    const std::string last = Handshake(carol);
    PeerSends(last + Sealed(carol, "\x01hi"));
    Dispatch();
    EXPECT_EQ(Opened(carol, Received()), std::vector<std::string>{"\x01typed before the outcome"});
    const std::string shown = "*** You are connected to Carol.\r\n" + FirstContact("Carol") + "<Carol> hi\r\n";
    EXPECT_NE(fake.history.find(shown), std::string::npos) << fake.history;
}

// A peer met before: what is shown, and whether what was typed leaves.
struct MeetingRow {
    const char* name;
    uint8_t secondKey;  // 0: the second time the peer does not answer
    bool requireEncryption;
    std::string shown, sent;
};

TEST(SecureTest, ASecondMeetingSaysWhatChanged) {
    const MeetingRow rows[] = {
        {"the same key", 7, false, KNOWN, "\x01hi"},
        {"another key", 8, false, CHANGED, "\x01hi"},
        {"no answer: a downgrade", 0, false, DOWNGRADE, "\x01hi"},
        {"no answer, encryption required: nothing leaves",
         0, true, DOWNGRADE + "***Encryption is required: connection closed, nothing was sent\r\n", ""},
    };
    for (const MeetingRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetFakes();
        InitNetwork();
        chatSettings.RequireEncryption = row.requireEncryption ? 1 : 0;
        NoisePeer first(7);
        ClientMeets(first);
        Disconnect();
        fake.wire.clear();
        NoisePeer second(row.secondKey);
        ClientMeets(second, "Bob", row.secondKey != 0);
        Type("hi");
        if (row.secondKey == 0) Elapse(NEGOTIATION_WAIT_MS);
        // An answer settles it before the line is typed; no answer, after.
        const std::string typed = "<YourNickName> hi\r\n";
        EXPECT_EQ(fake.history, CONNECTED_BOB + (row.secondKey ? row.shown + typed : typed + row.shown));
        const std::vector<std::string> sent = Received();
        const std::vector<std::string> expected = row.sent.empty() ? std::vector<std::string>{} : std::vector{row.sent};
        EXPECT_EQ(row.secondKey == 0 ? sent : Opened(second, sent), expected);
    }
    chatSettings.RequireEncryption = 0;
}

// A hostile peer, during or after the handshake: one line, and the close.
struct HostileRow {
    const char* name;
    bool finishHandshake;
    std::string (*bytes)(NoisePeer&);
    std::string line;
};

std::string Flipped(std::string record) {
    record[10] = record[10] == 'A' ? 'B' : 'A';
    return record;
}

TEST(SecureTest, AHostilePeerIsClosedWithOneLine) {
    const HostileRow rows[] = {
        {"a flipped byte", true, [](NoisePeer& p) { return Flipped(Sealed(p, "\x01tampered")); }, RECORD_FAILED},
        {"a replayed record", true,
         [](NoisePeer& p) {
             const std::string record = Sealed(p, "\x01once");
             return record + record;
         },
         "<Bob> once\r\n" + RECORD_FAILED},
        {"not base64url", true, [](NoisePeer&) { return Control(CTRL_RECORD, "not+base64/"); }, RECORD_FAILED},
        {"a message longer than any", true, [](NoisePeer& p) { return Sealed(p, "\x01" + std::string(600, 'x')); },
         RECORD_FAILED},
        {"a plaintext line after the handshake", true, [](NoisePeer&) { return Chat("in the clear"); },
         PLAINTEXT_REFUSED},
        {"a handshake message mid-conversation", true,
         [](NoisePeer& p) { return Control(CTRL_HANDSHAKE, "AAAA") + Sealed(p, "\x01x"); }, HANDSHAKE_FAILED},
        {"an answer that is not one", false, [](NoisePeer&) { return Control(CTRL_HANDSHAKE, "AAAA"); },
         HANDSHAKE_FAILED},
        {"a record before the handshake is done", false, [](NoisePeer&) { return Control(CTRL_RECORD, "AAAA"); },
         RECORD_FAILED},
        {"an answer bound to another greeting", false,
         [](NoisePeer& p) {
             p.Begin(false, "YourNickName", "Eve");
             ReadHandshake(p, opening);
             return Handshake(p);
         },
         HANDSHAKE_FAILED},
    };
    for (const HostileRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetFakes();
        InitNetwork();
        NoisePeer bob(7);
        if (row.finishHandshake) {
            ClientMeets(bob);
        } else {
            ClientMeets(bob, "Bob", false);
        }
        fake.history.clear();
        PeerSends(row.bytes(bob));
        EXPECT_EQ(fake.history, row.line);
        EXPECT_EQ(CurrentConnection().state, ControlState::Idle);
        EXPECT_TRUE(fake.open.empty());
    }
}

}  // namespace
