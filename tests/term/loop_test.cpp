// The poll loop on real loopback sockets, driven through the core's public
// calls, and norrik send against a raw peer: what the user reads in the
// history and the bytes a peer receives.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "fakes/encrypted_layer.h"
#include "term/send_mode.h"
#include "term/state.h"
#include "net/connection.h"
#include "net/protocol.h"
#include "term/event_loop.h"
#include "net/transfer.h"
#include "seams/sockets.h"
#include "seams/timer.h"
#include "settings/settings.h"
#include "term/popups.h"
#include "term/settings_file.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Control(uint8_t code, const std::string& text) {
    std::string message = (code ? std::string("\x02") + static_cast<char>(code) : "\x01") + text + "\x0C\x0D";
    return message + std::string((WIRE_BLOCK - message.size() % WIRE_BLOCK) % WIRE_BLOCK, '\0');
}
std::string Chat(const std::string& text) { return Control(0, text); }
const std::string OUR_HELLO = Control(CTRL_HELLO, "YourNickName");
const std::string LEAVING = Control(CTRL_QUIT, "Leaving");
// The opening that a peer of the original protocol ignores, masked.
const std::string OPENING = Control(CTRL_HANDSHAKE, std::string(43, '#'));

// Runs the loop until done() holds; false after ms.
template <typename Done>
bool RunUntil(Done done, int ms = 5000) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (Clock::now() >= end) return false;
        RunEventLoopOnce(10);
    }
    return true;
}

const sockaddr_in PORT = [] {
    sockaddr_in where = {};
    where.sin_family = AF_INET;
    where.sin_port = htons(CHAT_PORT);
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return where;
}();
const sockaddr* const AT = reinterpret_cast<const sockaddr*>(&PORT);

// The test's own end: a reused port, and no Nagle, so that each piece it
// sends travels alone. A listener on 6374 when asked.
int RawSocket(bool listening, int receiveBuffer = 0) {
    int fd = socket(AF_INET, SOCK_STREAM, 0), on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (receiveBuffer) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    EXPECT_TRUE(!listening || (bind(fd, AT, sizeof PORT) | listen(fd, 1)) == 0) << "port 6374 taken";
    return fd;
}

// What fd brings within ms, until it closes or want bytes came.
std::string Receive(int fd, size_t want, int ms) {
    std::string got;
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    char block[4096];
    for (pollfd p = {fd, POLLIN, 0}; got.size() < want && Clock::now() < end;) {
        if (poll(&p, 1, 10) <= 0) continue;
        ssize_t n = recv(fd, block, sizeof block, 0);
        if (n <= 0) break;
        got.append(block, static_cast<size_t>(n));
    }
    return got;
}

class TermLoop : public ::testing::Test {
protected:
    void SetUp() override {
        SetDefaultSettings(chatSettings);
        ResetConnectionState();
        // A fresh screen; the loop's tables stay, as a program has one loop.
        EventLoopTables loop = std::move(term.loop);
        term = TermState();
        term.loop = std::move(loop);
        ASSERT_TRUE(InitNetwork());
    }
    void TearDown() override {
        ShutdownNetwork();
        RunUntil([] { return !EventsQueued(); }, 500);
        for (int fd : raw) close(fd);
    }
    // The history written since the last mark.
    std::string Since() const { return term.history.substr(mark); }
    std::vector<int> raw;
    size_t mark = 0;
};

struct PeerRow {
    size_t piece;  // the peer's bytes go out in pieces of this size
    std::string sent;
    bool closes;
    std::string history;
    bool ignorePopups = false;
};

// A peer of the original protocol that speaks settles the conversation as
// plaintext at once; one that closes first settles nothing.
const std::string ANNA = Control(CTRL_HELLO, "Anna"), CONNECTED = "*** You are connected to Anna.\r\n",
                  GREETED = CONNECTED + NotEncrypted("Anna");
const PeerRow PEER_ROWS[] = {
    {1, ANNA + Chat("hi there"), false, GREETED + "<Anna> hi there\r\n"},
    {3, ANNA + Control(CTRL_ACTION, "waves"), false, GREETED + "*Anna waves.\r\n"},
    {1, ANNA, true, CONNECTED + "***Anna has quit(Connection reset)\r\n"},
    {1000, ANNA + Control(CTRL_QUIT, "gone home"), true, GREETED + "*** Anna has quit(Quit: gone home)\r\n"},
    // Every popup leaves a line, even one that IgnorePopup drops.
    {1000, ANNA + Control(CTRL_POPUP, "Lunch?\r\nAt noon?"), false,
     GREETED + "***Popup from Anna: Lunch?\r\nAt noon?\r\n"},
    {1000, ANNA + Control(CTRL_POPUP, "Lunch?"), false, GREETED + "***Popup from Anna dropped: IgnorePopup is set\r\n",
     true},
};

class TermPeer : public TermLoop, public ::testing::WithParamInterface<PeerRow> {};

TEST_P(TermPeer, OurServerShowsWhatARawPeerSends) {
    const PeerRow& row = GetParam();
    TellDroppedPopups();
    chatSettings.IgnorePopup = row.ignorePopups ? 1 : 0;
    ASSERT_TRUE(StartServer());
    mark = term.history.size();
    int peer = RawSocket(false);
    raw.push_back(peer);
    ASSERT_EQ(connect(peer, AT, sizeof PORT), 0);
    ASSERT_TRUE(RunUntil([] { return connectionState.serverHasPeer == 1; }));
    EXPECT_EQ(Receive(peer, OUR_HELLO.size(), 5000), OUR_HELLO);
    for (size_t at = 0; at < row.sent.size(); at += row.piece) {
        send(peer, row.sent.data() + at, std::min(row.piece, row.sent.size() - at), MSG_NOSIGNAL);
        RunUntil([] { return PendingBytes(connectionState.connSocket) == 0; }, 100);
    }
    if (row.closes) shutdown(peer, SHUT_WR);
    RunUntil([&] { return Since().size() >= row.history.size(); });
    EXPECT_EQ(Since(), row.history);
    EXPECT_EQ(connectionState.serverHasPeer, row.closes ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Rows, TermPeer, ::testing::ValuesIn(PEER_ROWS));

TEST_F(TermLoop, APeerThatStopsReadingGetsEveryByteInOrderOnceItReads) {
    int listener = RawSocket(true, 4096);
    raw.push_back(listener);
    ConnectTo("127.0.0.1");
    ASSERT_TRUE(RunUntil([] { return connectionState.clientConnected == 1; }));
    int peer = accept(listener, nullptr, nullptr);
    raw.push_back(peer);
    // It speaks first, and then stops reading: plaintext from the start.
    const std::string said = ANNA + Chat("hi");
    send(peer, said.data(), said.size(), MSG_NOSIGNAL);
    ASSERT_TRUE(RunUntil([] { return CurrentConnection().privacy == Privacy::NotEncrypted; }));
    int small = 4096;
    setsockopt(static_cast<int>(connectionState.connSocket), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    std::string expected = OUR_HELLO + OPENING;
    bool blocked = false;
    for (int i = 0; i < 5000 && !blocked; ++i) {
        const std::string text = "line " + std::to_string(i) + " " + std::string(250, static_cast<char>('a' + i % 26));
        SendChatText(text.c_str());
        expected += Chat(text);
        blocked = !RunUntil([] { return outgoingBuffer.sendInProgress == 0; }, 200);
    }
    ASSERT_TRUE(blocked) << "the sends never had to wait";
    // Bounded by progress: only 5 s without a byte means the rest is not coming.
    std::string got;
    for (auto last = Clock::now(); got.size() < expected.size() && Clock::now() - last < std::chrono::seconds(5);) {
        RunEventLoopOnce(5);
        if (const std::string more = Receive(peer, 1, 5); !more.empty()) got += more, last = Clock::now();
    }
    EXPECT_EQ(outgoingBuffer.sendInProgress, 0);
    // A block taken in part ends a message once its own bytes are: the rest of its padding never goes.
    for (std::string* wire : {&got, &expected}) wire->erase(std::remove(wire->begin(), wire->end(), '\0'), wire->end());
    EXPECT_TRUE(Masked(got) == expected) << got.size() << " of " << expected.size() << " bytes, or not in order";
}

TEST_F(TermLoop, APeerThatNeverGreetsLeavesTheConnectionToTheNextAtTheDeadline) {
    ASSERT_TRUE(StartServer());
    mark = term.history.size();
    const int idle = RawSocket(false), next = RawSocket(false);
    raw.insert(raw.end(), {idle, next});
    ASSERT_EQ(connect(idle, AT, sizeof PORT), 0);
    ASSERT_TRUE(RunUntil([] { return connectionState.serverHasPeer == 1; }));
    int keepalive = 0;
    socklen_t size = sizeof keepalive;
    getsockopt(static_cast<int>(connectionState.connSocket), SOL_SOCKET, SO_KEEPALIVE, &keepalive, &size);
    EXPECT_EQ(keepalive, 1);
    ASSERT_EQ(connect(next, AT, sizeof PORT), 0);
    ASSERT_TRUE(RunUntil([] { return connectionState.acceptWaiting == 1 && !EventsQueued(); }));
    // As if the 20 seconds had passed but 50 ms: the loop, idle, wakes for the timer.
    connectionState.greetingWaitStart -= GREETING_WAIT_MS;
    StartGreetingTimer(50);
    const auto start = Clock::now();
    for (int i = 0; i < 3 && Since().empty(); ++i) RunEventLoopOnce(5000);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(), 2000);
    char end;
    EXPECT_EQ(Receive(idle, SIZE_MAX, 2000), OUR_HELLO);
    EXPECT_EQ(recv(idle, &end, 1, MSG_DONTWAIT), 0) << "not closed";
    EXPECT_EQ(Receive(next, OUR_HELLO.size(), 5000), OUR_HELLO);
    send(next, ANNA.data(), ANNA.size(), MSG_NOSIGNAL);
    const std::string shown = "***No greeting within 20 seconds; connection closed\r\n" + CONNECTED;
    RunUntil([&] { return Since().size() >= shown.size(); });
    EXPECT_EQ(Since(), shown);
}

TEST_F(TermLoop, AListeningSocketThatHangsUpIsClosedAsOneThatCouldNotBind) {
    ASSERT_TRUE(StartServer());
    mark = term.history.size();
    shutdown(static_cast<int>(connectionState.listenSocket), SHUT_RDWR);
    EXPECT_TRUE(RunUntil([] { return connectionState.listenSocket == NO_SOCKET; }, 1000));
    EXPECT_EQ(Since(), "Could not bind listening socket!\r\n");
    EXPECT_EQ(CurrentConnection().state, ControlState::Idle);
}

// Each row: the host, and the history the attempt writes.
using C = std::pair<const char*, std::string>;
class TermConnect : public TermLoop, public ::testing::WithParamInterface<C> {};

TEST_P(TermConnect, AFailedConnectIsTold) {
    mark = term.history.size();
    ASSERT_TRUE(ConnectTo(GetParam().first));
    EXPECT_TRUE(RunUntil([] { return connectionState.clientConnecting == 0 && connectionState.resolving == 0; }));
    EXPECT_EQ(Since(), GetParam().second);
}

const std::string REFUSED = "***Error: Unable to connect\r\n***Connection refused";
INSTANTIATE_TEST_SUITE_P(Rows, TermConnect,
                         ::testing::Values(C{"127.0.0.1", REFUSED}, C{"localhost", REFUSED},
                                           C{"nosuchhost.invalid", "***Error: Unable to resolve address!\r\n"}));

// A peer of the original protocol. Greets: greets and says a line, which
// settles plaintext at once; Waits: greets only, the deadline settles it;
// ClosesUnreadAtTheEnd waits for our end to close first; Busy never accepts;
// Silent reads but never greets, so even the quit waits for an outcome;
// StaysOpen greets and reads but never closes.
enum class Peer { None, Greets, Waits, ClosesAtOnce, ClosesUnreadAtTheEnd, Busy, Silent, StaysOpen };
const std::string UNREAD = "127.0.0.1:6374 closed the connection before the message was delivered";
const std::string SILENT = "127.0.0.1:6374 did not answer: busy, or not Norrik";

struct SendRow {
    std::vector<std::string> arguments;
    const char* input;  // standard input, given 300 ms late on a pipe that does not block; null: none
    Peer peer;
    int status;
    std::string received;
    std::string failure;
};

const SendRow SEND_ROWS[] = {
    // The text waits for the deadline, not for the end of the timeout.
    {{"send", "--nick", "anna", "--timeout", "3", "127.0.0.1", "Build", "green"}, nullptr, Peer::Waits, 0,
     Control(CTRL_HELLO, "anna") + OPENING + Chat("Build green") + LEAVING, ""},
    {{"send", "--popup", "127.0.0.1", "--", "Build 1432\nis green\r\n"}, nullptr, Peer::Greets, 0,
     OUR_HELLO + OPENING + Control(CTRL_POPUP, "Build 1432\r\nis green\r\n") + LEAVING, ""},
    {{"send", "127.0.0.1"}, "late\n", Peer::Greets, 0, OUR_HELLO + OPENING + Chat("late") + LEAVING, ""},
    {{"send", "127.0.0.1"}, "\n", Peer::None, 2, "", "nothing to send"},
    {{"send", "127.0.0.1", ""}, nullptr, Peer::None, 2, "", "nothing to send"},
    {{"send", "127.0.0.1"}, nullptr, Peer::None, 1, "", "cannot read standard input: Bad file descriptor"},
    {{"send", "127.0.0.1", "hi"}, nullptr, Peer::ClosesAtOnce, 1, "", UNREAD},
    {{"send", "127.0.0.1", "hi"}, nullptr, Peer::ClosesUnreadAtTheEnd, 1, "", UNREAD},
    {{"send", "--timeout", "1", "127.0.0.1", "hi"}, nullptr, Peer::Busy, 1, "", SILENT},
    {{"send", "--timeout", "1", "127.0.0.1", "hi"}, nullptr, Peer::Silent, 1, OUR_HELLO, SILENT},
    {{"send", "--timeout", "1", "127.0.0.1", "hi"}, nullptr, Peer::StaysOpen, 1,
     OUR_HELLO + OPENING + Chat("hi") + LEAVING,
     "127.0.0.1:6374 did not close the connection within 1 s: delivery not confirmed"},
    {{"send", "127.0.0.1", "hi"}, nullptr, Peer::None, 1, "", "cannot connect to 127.0.0.1:6374: Connection refused"},
    {{"send", "nosuchhost.invalid", "hi"}, nullptr, Peer::None, 1, "", "cannot resolve nosuchhost.invalid"},
};

class TermSend : public ::testing::TestWithParam<SendRow> {};

TEST_P(TermSend, DeliversOrSaysWhyNot) {
    const SendRow& row = GetParam();
    // A settings file that cannot be read: the defaults stand, and nothing
    // is written.
    UseSettingsFile("/dev/null/settings.ini");
    ResetConnectionState();
    int listener = row.peer == Peer::None ? -1 : RawSocket(true);
    std::string received;
    std::atomic<bool> sendDone{false};
    // The peer runs beside the send, which holds this thread until it is done.
    std::thread peer([&] {
        pollfd p = {listener, POLLIN, 0};
        if (listener < 0 || row.peer == Peer::Busy || poll(&p, 1, 5000) != 1) return;
        int fd = accept(listener, nullptr, nullptr);
        const bool greets = row.peer != Peer::Silent && row.peer != Peer::ClosesAtOnce;
        const std::string said = ANNA + (row.peer == Peer::Waits ? "" : Chat("hello"));
        if (greets) send(fd, said.data(), said.size(), MSG_NOSIGNAL);
        if (row.peer != Peer::ClosesAtOnce && row.peer != Peer::ClosesUnreadAtTheEnd) {
            received = Receive(fd, SIZE_MAX, 5000);
        }
        pollfd end = {fd, POLLRDHUP, 0};
        if (row.peer == Peer::ClosesUnreadAtTheEnd) poll(&end, 1, 5000);
        for (int i = 0; row.peer == Peer::StaysOpen && !sendDone && i < 500; ++i) usleep(10000);
        close(fd);
    });
    int input[2] = {-1, -1};
    std::thread typist;
    if (row.input) {
        ASSERT_EQ(pipe(input), 0);
        fcntl(input[0], F_SETFL, O_NONBLOCK);
        typist = std::thread([&] {
            usleep(300000);
            ASSERT_EQ(write(input[1], row.input, strlen(row.input)), static_cast<ssize_t>(strlen(row.input)));
            close(input[1]);
        });
    }
    const Arguments arguments = ParseArguments(row.arguments);
    std::string failure;
    EXPECT_EQ(SendCommand(arguments, input[0], &failure), row.status);
    sendDone = true;
    peer.join();
    if (typist.joinable()) typist.join();
    if (input[0] >= 0) close(input[0]);
    if (listener >= 0) close(listener);
    EXPECT_EQ(failure, row.failure);
    EXPECT_TRUE(Masked(received) == row.received) << received.size() << " bytes";
}

INSTANTIATE_TEST_SUITE_P(Rows, TermSend, ::testing::ValuesIn(SEND_ROWS));

}  // namespace
