// The connection manager against scripted WinSock, sockets and message
// queue: every transition with its flags, lines and controls in order, the
// bytes it puts on the wire, and the notifications it must not believe.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/text.h"
#include "console/history.h"
#include "fakes/fake_network.h"
#include "fakes/fake_shell.h"
#include "fakes/fake_socket.h"
#include "fakes/fakes.h"
#include "net/connection.h"
#include "net/protocol.h"
#include "net/transfer.h"
#include "res/resource.h"
#include "settings/settings.h"

namespace {

using Lines = std::vector<std::string>;

Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The fake hands out socket numbers from 100 in steps of 4, lowest free
// first: the first socket of a test is 100, the second 104.
constexpr SocketHandle FIRST = 100;
constexpr SocketHandle SECOND = 104;
constexpr uintptr_t FIRST_LOOKUP = 0x2000;
const std::string MARKER = std::to_string(CONNECTION_MARKER_EVENT);

// ------------------------------------------------------------ wire bytes

std::string Padded(std::string message) {
    message += "\x0C\x0D";
    message.append((WIRE_BLOCK - message.size() % WIRE_BLOCK) % WIRE_BLOCK, '\0');
    return message;
}
std::string Hello(const std::string& name) { return Padded(std::string("\x02\x20") + name); }
std::string Quit(const std::string& reason) { return Padded(std::string("\x02\x40") + reason); }
std::string ChatBytes(const std::string& text) { return Padded("\x01" + text); }

size_t QuitsIn(const std::string& wire) {
    size_t count = 0;
    for (size_t at = wire.find("\x02\x40"); at != std::string::npos; at = wire.find("\x02\x40", at + 1)) ++count;
    return count;
}

// -------------------------------------------------------------- controls

std::string Button(int id, bool on) { return "button " + std::to_string(id) + (on ? " on" : " off"); }
std::string Swap(int from, int to, const char* text) {
    return "swap main " + std::to_string(from) + " " + std::to_string(to) + " " + text;
}
std::string Menu(int id, bool enabled, const char* owner = "main") {
    return std::string("menu ") + owner + " " + std::to_string(id) + (enabled ? " enabled" : " grayed");
}

const Lines CONNECTING_CONTROLS = {
    Button(IDT_CONNECT, false),      Button(IDT_DISCONNECT, true),
    Swap(IDM_CONNECT, IDM_DISCONNECT, "&Disconnect"),
    Button(IDT_START_SERVER, false), Button(IDT_STOP_SERVER, false),
    Menu(IDM_START_SERVER, false),
};
const Lines RESET_CLIENT_CONTROLS = {
    Button(IDT_CONNECT, true),      Button(IDT_DISCONNECT, false),
    Button(IDT_START_SERVER, true), Button(IDT_STOP_SERVER, false),
    Swap(IDM_DISCONNECT, IDM_CONNECT, "&Connect to..."),
    Menu(IDM_START_SERVER, true),
};
const Lines POPUP_CONTROLS_OFF = {
    Menu(IDM_SEND_POPUP, false),
    Menu(IDM_TRAY_SEND_POPUP, false, "tray"),
    Button(IDT_SEND_POPUP, false),
};
const Lines SERVER_CONTROLS_ON = {
    Swap(IDM_START_SERVER, IDM_STOP_SERVER, "&Stop Server"),
    Menu(IDM_CONNECT, false),
    Button(IDT_START_SERVER, false),
    Button(IDT_STOP_SERVER, true),
    Button(IDT_CONNECT, false),
};
const Lines SERVER_CONTROLS_OFF = Lines{
    Swap(IDM_STOP_SERVER, IDM_START_SERVER, "&Start Server"),
    Button(IDT_START_SERVER, true),
    Button(IDT_STOP_SERVER, false),
    Menu(IDM_CONNECT, true),
    Button(IDT_CONNECT, true),
} + POPUP_CONTROLS_OFF;

// ------------------------------------------------------------------ state

const char* RoleName(int32_t role) {
    switch (role) {
    case ROLE_SERVER: return "server";
    case ROLE_CLIENT: return "client";
    case ROLE_NONE: return "none";
    default: return "?";
    }
}

// The flags and sockets of the state tables, in one comparable line.
std::string Flags() {
    const ConnectionState& c = connectionState;
    char text[256];
    std::snprintf(text, sizeof text,
                  "started=%d role=%s listening=%d peer=%d connected=%d connecting=%d resolving=%d listen=%lld "
                  "conn=%lld",
                  c.winsockStarted, RoleName(c.role), c.serverListening, c.serverHasPeer, c.clientConnected,
                  c.clientConnecting, c.resolving, static_cast<long long>(c.listenSocket),
                  static_cast<long long>(c.connSocket));
    return text;
}

const std::string IDLE = "started=1 role=none listening=0 peer=0 connected=0 connecting=0 resolving=0 listen=-1 conn=-1";
const std::string LISTENING =
    "started=1 role=server listening=1 peer=0 connected=0 connecting=0 resolving=0 listen=100 conn=-1";
const std::string SERVING =
    "started=1 role=server listening=1 peer=1 connected=0 connecting=0 resolving=0 listen=100 conn=104";
const std::string CONNECTING =
    "started=1 role=none listening=0 peer=0 connected=0 connecting=1 resolving=0 listen=-1 conn=100";
const std::string CONNECTED =
    "started=1 role=client listening=0 peer=0 connected=1 connecting=0 resolving=0 listen=-1 conn=100";
const std::string RESOLVING =
    "started=1 role=none listening=0 peer=0 connected=0 connecting=0 resolving=1 listen=-1 conn=-1";

std::string AllBytes(const char* storage, size_t size) { return std::string(storage, size); }
bool AllZero(const std::string& bytes) { return bytes.find_first_not_of('\0') == std::string::npos; }

class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFakes(); }
    void TearDown() override { EXPECT_FALSE(fakeSocket.depthExceeded) << "self-delivery did not stop"; }

    // Forgets what was recorded so far, so that each step is checked alone.
    void Forget() {
        fakeHistory.appends.clear();
        fakeHistory.text.clear();
        fakeControls.clear();
        fakeAlerts.clear();
        fakeTimeline.clear();
        fakeNetwork.calls.clear();
        fakeNetwork.closes.clear();
        fakeSocket.wire.clear();
    }

    void Started() {
        ASSERT_TRUE(InitNetwork());
        Forget();
    }
    void Listening() {
        Started();
        ASSERT_TRUE(StartServer());
        Forget();
    }
    // A client knocks and WinSock posts FD_ACCEPT.
    void ClientKnocks() {
        ++fakeNetwork.waitingClients;
        QueueListenEvent(connectionState.listenSocket, SOCKET_EVENT_ACCEPT);
        DispatchQueue();
    }
    void Serving() {
        Listening();
        ClientKnocks();
        ASSERT_EQ(Flags(), SERVING);
        Forget();
    }
    void Connecting() {
        Started();
        ASSERT_TRUE(ConnectTo("127.0.0.1"));
        Forget();
    }
    void Connected() {
        Connecting();
        QueueConnectionEvent(FIRST, SOCKET_EVENT_CONNECT);
        DispatchQueue();
        ASSERT_EQ(Flags(), CONNECTED);
        Forget();
    }

    // The peer's bytes arrive and WinSock posts FD_READ while some remain.
    void PeerSends(const std::string& bytes) {
        fakeSocket.Feed(DataChunk(bytes));
        for (int reads = 0; fakeSocket.ReceivePending() && reads < 200; ++reads) {
            QueueConnectionEvent(connectionState.connSocket, SOCKET_EVENT_READ);
            DispatchQueue();
        }
        ASSERT_FALSE(fakeSocket.ReceivePending());
    }
    // The peer closes (or the connection is lost): WinSock posts FD_CLOSE.
    void PeerCloses() {
        QueueConnectionEvent(connectionState.connSocket, SOCKET_EVENT_CLOSE);
        DispatchQueue();
    }

    void ExpectTransferIdleAndEmpty() {
        EXPECT_EQ(outgoingBuffer.sendInProgress, 0);
        EXPECT_LE(outgoingBuffer.remainingCount, 0);
        EXPECT_TRUE(AllZero(AllBytes(outgoingBuffer.storage, sizeof outgoingBuffer.storage)));
        EXPECT_EQ(incomingBuffer.writePosition, 0u);
        EXPECT_TRUE(AllZero(AllBytes(incomingBuffer.storage, sizeof incomingBuffer.storage)));
    }
};

// ============================================================ InitNetwork

TEST_F(ConnectionTest, InitNetworkWritesItsFourLinesAndNamesBothSides) {
    // Leftovers of an earlier life that step 4 must clear.
    outgoingBuffer.sendInProgress = 1;
    outgoingBuffer.remainingCount = 7;
    outgoingBuffer.storage[3] = 'x';
    incomingBuffer.storage[5] = 'y';
    incomingBuffer.writePosition = 6;
    connectionState.role = ROLE_CLIENT;
    connectionState.clientConnected = 1;

    ASSERT_TRUE(InitNetwork());
    EXPECT_EQ(fakeHistory.appends, (Lines{"Trying to initialize WinSock 1.1...\r\n",
                                          "Confirming that WinSock supports 1.1\r\n",
                                          "WinSock 1.1 started successfully\r\n", "WinSock 2.0", "  Running\r\n"}));
    EXPECT_EQ(fakeHistory.text,
              "Trying to initialize WinSock 1.1...\r\nConfirming that WinSock supports 1.1\r\n"
              "WinSock 1.1 started successfully\r\nWinSock 2.0  Running\r\n")
        << "description and status share one line";
    EXPECT_EQ(fakeNetwork.calls, (Lines{"startup 0101"}));
    EXPECT_EQ(Flags(), IDLE);
    EXPECT_STREQ(connectionState.peerName, "Peer");
    EXPECT_STREQ(connectionState.myName, "You");
    EXPECT_TRUE(fakeControls.empty());
    ExpectTransferIdleAndEmpty();
}

TEST_F(ConnectionTest, InitNetworkReportsAFailedStartWithItsNumber) {
    connectionState.role = ROLE_SERVER;
    connectionState.serverListening = 1;
    connectionState.serverHasPeer = 1;
    fakeNetwork.startResult = 10091;
    EXPECT_FALSE(InitNetwork());
    EXPECT_EQ(fakeHistory.appends, (Lines{"Trying to initialize WinSock 1.1...\r\n",
                                          "Could not start WinSock, WinSock returned error #: 10091\r\n"}));
    EXPECT_EQ(fakeNetwork.calls, (Lines{"startup 0101"})) << "nothing to clean up";
    EXPECT_EQ(connectionState.winsockStarted, 0);
    EXPECT_EQ(connectionState.role, ROLE_NONE);
    EXPECT_EQ(connectionState.serverListening, 0);
    EXPECT_EQ(connectionState.serverHasPeer, 0);
    EXPECT_STREQ(connectionState.peerName, "");
    EXPECT_STREQ(connectionState.myName, "");
}

TEST_F(ConnectionTest, InitNetworkRefusesEveryVersionButOneDotOne) {
    for (uint16_t version : {0x0001, 0x0201, 0x0102, 0x0202, 0x0100}) {
        SCOPED_TRACE(version);
        ResetFakes();
        fakeNetwork.version = version;
        EXPECT_FALSE(InitNetwork());
        EXPECT_EQ(fakeHistory.appends,
                  (Lines{"Trying to initialize WinSock 1.1...\r\n", "Confirming that WinSock supports 1.1\r\n",
                         "WinSock does not support version 1.1! returning\r\n"}));
        EXPECT_EQ(fakeNetwork.calls, (Lines{"startup 0101", "cleanup"}));
        EXPECT_EQ(connectionState.winsockStarted, 0);
    }
}

TEST_F(ConnectionTest, InitNetworkWithoutItsBufferShowsAPlainBoxAndStartsNothing) {
    lineBufferAllocator = [](size_t) -> char* { return nullptr; };
    connectionState.role = ROLE_CLIENT;
    connectionState.clientConnected = 1;
    EXPECT_FALSE(InitNetwork());
    EXPECT_EQ(fakePlainBoxes, (Lines{"Could not allocate buffer memory for error messages, returning"}));
    EXPECT_TRUE(fakeErrorBoxes.empty()) << "no icon";
    EXPECT_TRUE(fakeHistory.appends.empty());
    EXPECT_TRUE(fakeNetwork.calls.empty());
    EXPECT_EQ(connectionState.role, ROLE_NONE);
    EXPECT_EQ(connectionState.clientConnected, 0);
    EXPECT_EQ(connectionState.winsockStarted, 0);
}

TEST_F(ConnectionTest, WinSocksTextsAreShownAsTextAndCutToTheirFields) {
    fakeNetwork.description = "100% %s";
    fakeNetwork.systemStatus = std::string(400, 's');
    ASSERT_TRUE(InitNetwork());
    EXPECT_EQ(fakeHistory.appends[3], "100% %s");
    EXPECT_EQ(fakeHistory.appends[4], "  " + std::string(128, 's') + "\r\n");
}

// ========================================================== server side

TEST_F(ConnectionTest, StartServerListensPrintsTheAddressAndSetsTheServerControls) {
    Started();
    EXPECT_TRUE(StartServer());
    EXPECT_EQ(Flags(), LISTENING);
    EXPECT_EQ(fakeNetwork.calls, (Lines{"socket -> 100", "bind 100 0.0.0.0:6374", "listen 100 1", "select listen 100",
                                        "gethostname", "gethostbyname testhost"}));
    EXPECT_EQ(fakeHistory.appends, (Lines{"Server started...\r\n\r\n", "***Your IP number is: 192.168.1.11\r\n"}));
    EXPECT_EQ(fakeControls, SERVER_CONTROLS_ON);
    // The controls come between the two lines.
    EXPECT_EQ(fakeTimeline.front(), "history Server started...\r\n\r\n");
    EXPECT_EQ(fakeTimeline.back(), "history ***Your IP number is: 192.168.1.11\r\n");
}

TEST_F(ConnectionTest, StartServerRefusals) {
    EXPECT_FALSE(StartServer());
    EXPECT_EQ(fakeHistory.appends, (Lines{"WinSock not started, command ingnored!\r\n"}));
    EXPECT_TRUE(fakeNetwork.calls.empty());

    Listening();
    EXPECT_FALSE(StartServer());
    EXPECT_EQ(fakeHistory.appends, (Lines{"Server already started\r\n"}));

    Forget();
    connectionState.serverListening = 0;
    EXPECT_FALSE(StartServer());
    EXPECT_EQ(fakeHistory.appends, (Lines{"Listening socket handle is valid, server already started?\r\n"}));
    EXPECT_TRUE(fakeNetwork.calls.empty());
    EXPECT_TRUE(fakeControls.empty());
}

TEST_F(ConnectionTest, StartServerWhileServingSaysAlreadyStarted) {
    Serving();
    EXPECT_FALSE(StartServer());
    EXPECT_EQ(fakeHistory.appends, (Lines{"Server already started\r\n"}));
    EXPECT_EQ(Flags(), SERVING);
}

TEST_F(ConnectionTest, StartServerWithoutASocket) {
    Started();
    fakeNetwork.refuseSocket = true;
    EXPECT_FALSE(StartServer());
    EXPECT_EQ(fakeHistory.appends, (Lines{"Could not create listening socket!\r\n"}));
    EXPECT_EQ(Flags(), IDLE);
    EXPECT_TRUE(fakeControls.empty());
}

TEST_F(ConnectionTest, StartServerThatCannotBindClosesItsSocket) {
    Started();
    fakeNetwork.refuseBind = true;
    EXPECT_FALSE(StartServer());
    EXPECT_EQ(fakeHistory.appends, (Lines{"Could not bind listening socket!\r\n"}));
    EXPECT_EQ(fakeNetwork.calls,
              (Lines{"socket -> 100", "bind 100 0.0.0.0:6374", "close 100", "post listen 100 " + MARKER}));
    EXPECT_EQ(Flags(), IDLE);
    EXPECT_TRUE(fakeControls.empty());
    // The port is free again: the next try works.
    fakeNetwork.refuseBind = false;
    DispatchQueue();
    Forget();
    EXPECT_TRUE(StartServer());
    EXPECT_EQ(Flags(), LISTENING);
}

TEST_F(ConnectionTest, LocalAddressFailuresLeaveTheServerRunning) {
    Started();
    fakeNetwork.refuseHostName = true;
    EXPECT_TRUE(StartServer());
    EXPECT_EQ(fakeHistory.appends, (Lines{"Server started...\r\n\r\n",
                                          "***Error: Unable to get local host name!(This should not happen)\r\n"}));
    EXPECT_EQ(Flags(), LISTENING);

    Forget();
    fakeNetwork.refuseHostName = false;
    fakeNetwork.refuseHostAddress = true;
    PrintLocalAddress();
    EXPECT_EQ(fakeHistory.appends, (Lines{"***Error: Unable to resolve local host name!\r\n"}));
    EXPECT_EQ(Flags(), LISTENING);
}

TEST_F(ConnectionTest, AcceptSelectsTheConnectionAndGreetsWithoutALine) {
    Listening();
    connectionState.peerQuitReceived = 1;
    CopyText(chatSettings.Nickname, "Alice");
    ClientKnocks();
    EXPECT_EQ(Flags(), SERVING);
    EXPECT_EQ(connectionState.peerQuitReceived, 0);
    EXPECT_EQ(fakeNetwork.calls, (Lines{"accept 100 -> 104", "nodelay 104", "select connection 104"}));
    EXPECT_EQ(fakeSocket.wire, Hello("Alice"));
    EXPECT_EQ(fakeSocket.sendSockets, std::vector<SocketHandle>{SECOND});
    EXPECT_TRUE(fakeHistory.appends.empty());
    EXPECT_TRUE(fakeControls.empty());
}

// Where a call stands in fakeNetwork.calls; calls.size() when it is not there.
size_t PositionOf(const std::string& call) {
    const Lines& calls = fakeNetwork.calls;
    size_t at = 0;
    while (at < calls.size() && calls[at] != call) ++at;
    return at;
}

Lines NagleCalls() {
    Lines found;
    for (const std::string& call : fakeNetwork.calls) {
        if (call.rfind("nodelay ", 0) == 0) found.push_back(call);
    }
    return found;
}

TEST_F(ConnectionTest, TheListeningSocketIsLeftAsItIs) {
    Started();
    ASSERT_TRUE(StartServer());
    EXPECT_TRUE(NagleCalls().empty());
}

TEST_F(ConnectionTest, TheAcceptedSocketSendsItsBlocksAtOnceFromItsGreetingOn) {
    Listening();
    ClientKnocks();
    EXPECT_EQ(NagleCalls(), Lines{"nodelay 104"}) << "for the accepted socket only, not the listening one";
    // The greeting goes out once the connection events are selected.
    EXPECT_LT(PositionOf("nodelay 104"), PositionOf("select connection 104"));
    EXPECT_EQ(fakeSocket.wire, Hello("YourNickName"));
}

TEST_F(ConnectionTest, AFailedAcceptTurnsNothingOn) {
    Listening();
    fakeNetwork.acceptError = 10055;
    ++fakeNetwork.waitingClients;
    OnListenEvent(FIRST, SOCKET_EVENT_ACCEPT);
    fakeNetwork.acceptError = 0;
    fakeNetwork.waitingClients = 0;
    OnListenEvent(FIRST, SOCKET_EVENT_ACCEPT);  // would block
    EXPECT_TRUE(NagleCalls().empty());
}

TEST_F(ConnectionTest, TheClientsSocketSendsItsBlocksAtOnceFromBeforeItConnects) {
    Started();
    ASSERT_TRUE(ConnectTo("127.0.0.1"));
    EXPECT_EQ(NagleCalls(), Lines{"nodelay 100"});
    EXPECT_EQ(PositionOf("nodelay 100"), PositionOf("socket -> 100") + 1) << "right after the socket is made";
    EXPECT_LT(PositionOf("nodelay 100"), PositionOf("connect 100 127.0.0.1:6374"));
}

TEST_F(ConnectionTest, AClientSocketThatCouldNotBeMadeTurnsNothingOn) {
    Started();
    fakeNetwork.refuseSocket = true;
    ConnectTo("127.0.0.1");
    EXPECT_TRUE(NagleCalls().empty());
}

TEST_F(ConnectionTest, FailedAcceptSaysSoAndKeepsListening) {
    Listening();
    fakeNetwork.acceptError = 10055;
    ++fakeNetwork.waitingClients;
    EXPECT_EQ(OnListenEvent(FIRST, SOCKET_EVENT_ACCEPT), -1);
    EXPECT_EQ(fakeHistory.appends, (Lines{"Unable to accept connection from client!!\r\n"}));
    EXPECT_EQ(Flags(), LISTENING);
    EXPECT_TRUE(fakeControls.empty());
    EXPECT_TRUE(fakeSocket.wire.empty());
}

TEST_F(ConnectionTest, ListenEventsOtherThanAcceptDoNothing) {
    Listening();
    ++fakeNetwork.waitingClients;
    for (uint32_t event : {SOCKET_EVENT_READ, SOCKET_EVENT_CLOSE, SOCKET_EVENT_CONNECT, 0u}) {
        EXPECT_EQ(OnListenEvent(FIRST, event), 0);
    }
    EXPECT_TRUE(fakeNetwork.calls.empty());
    EXPECT_EQ(Flags(), LISTENING);
}

TEST_F(ConnectionTest, SecondClientWhileServingIsNotAcceptedAndTheConversationGoesOn) {
    Serving();
    ClientKnocks();
    EXPECT_TRUE(fakeNetwork.calls.empty()) << "no accept";
    EXPECT_TRUE(fakeHistory.appends.empty());
    EXPECT_EQ(Flags(), SERVING);
    PeerSends(ChatBytes("still here"));
    EXPECT_EQ(fakeHistory.text, "<Peer> still here\r\n");
    SendChatText("me too");
    EXPECT_EQ(fakeSocket.wire, ChatBytes("me too"));
    EXPECT_EQ(fakeSocket.sendSockets.back(), SECOND);
}

TEST_F(ConnectionTest, PeerClosingReturnsTheServerToListeningWithItsQuitLine) {
    Serving();
    PeerSends(Hello("Bob") + Quit("bye now"));
    Forget();
    PeerCloses();
    EXPECT_EQ(fakeHistory.appends, (Lines{"*** ", "Bob", " has quit(Quit: ", "bye now", ")\r\n"}));
    EXPECT_EQ(fakeControls, POPUP_CONTROLS_OFF) << "the server's own controls stay";
    EXPECT_EQ(Flags(), LISTENING) << "still a server while it listens";
    EXPECT_EQ(connectionState.peerQuitReceived, 0);
    EXPECT_EQ(fakeNetwork.calls, (Lines{"close 104", "post connection 104 " + MARKER}));
    EXPECT_TRUE(fakeSocket.wire.empty()) << "a closing peer is sent nothing";
}

TEST_F(ConnectionTest, PeerVanishingIsReportedAsAReset) {
    Serving();
    PeerCloses();
    EXPECT_EQ(fakeHistory.appends, (Lines{"***", "Peer", " has quit(Connection reset)\r\n"}));
}

TEST_F(ConnectionTest, ServerAcceptsTheNextClientAfterItsPeerLeftAndHandlesItsCloseTheSameWay) {
    Serving();
    PeerSends(Hello("Bob"));
    PeerCloses();
    Forget();

    ClientKnocks();
    EXPECT_EQ(Flags(), SERVING) << "the closed number comes back for the new peer";
    EXPECT_EQ(fakeNetwork.calls, (Lines{"accept 100 -> 104", "nodelay 104", "select connection 104"}));
    EXPECT_EQ(fakeSocket.wire, Hello("YourNickName"));
    PeerSends(Hello("Cy"));
    EXPECT_EQ(fakeHistory.text, "*** You are connected to Cy.\r\n");

    Forget();
    PeerCloses();
    EXPECT_EQ(fakeHistory.text, "***Cy has quit(Connection reset)\r\n");
    EXPECT_EQ(Flags(), LISTENING);
    EXPECT_EQ(fakeControls, POPUP_CONTROLS_OFF);

    // And a third.
    ClientKnocks();
    EXPECT_EQ(Flags(), SERVING);
}

TEST_F(ConnectionTest, ClientThatWaitedWhileServingIsAcceptedOnceThePeerLeaves) {
    Serving();
    ClientKnocks();  // WinSock posts FD_ACCEPT once and not again until an accept
    ASSERT_EQ(fakeNetwork.waitingClients, 1);
    Forget();
    PeerCloses();
    EXPECT_EQ(fakeHistory.text, "***Peer has quit(Connection reset)\r\n");
    EXPECT_EQ(fakeNetwork.calls, (Lines{"close 104", "post connection 104 " + MARKER, "accept 100 -> 104",
                                        "nodelay 104", "select connection 104"}));
    EXPECT_EQ(Flags(), SERVING);
    EXPECT_EQ(fakeSocket.wire, Hello("YourNickName"));

    // Its own notifications come after the marker and count.
    DispatchQueue();
    PeerSends(Hello("Dee"));
    EXPECT_EQ(fakeHistory.text, "***Peer has quit(Connection reset)\r\n*** You are connected to Dee.\r\n");
}

TEST_F(ConnectionTest, ClientThatGaveUpWhileWaitingLeavesNoLine) {
    Serving();
    ClientKnocks();
    fakeNetwork.waitingClients = 0;  // it went away before the peer left
    Forget();
    PeerCloses();
    EXPECT_EQ(fakeHistory.text, "***Peer has quit(Connection reset)\r\n");
    EXPECT_EQ(fakeNetwork.calls.back(), "accept 100 -> would block");
    EXPECT_EQ(Flags(), LISTENING);
}

TEST_F(ConnectionTest, StopServerWhileListeningEndsWithoutALineEnd) {
    Listening();
    EXPECT_EQ(connectionState.quitting, 0);
    StopServer();
    EXPECT_EQ(fakeHistory.appends, (Lines{"Server closed..."}));
    EXPECT_EQ(fakeControls, SERVER_CONTROLS_OFF);
    EXPECT_EQ(Flags(), IDLE);
    EXPECT_EQ(fakeNetwork.calls, (Lines{"close 100", "post listen 100 " + MARKER}));
    EXPECT_TRUE(fakeSocket.wire.empty());
    AppendHistory("next");
    EXPECT_EQ(fakeHistory.text, "Server closed...next");
}

TEST_F(ConnectionTest, StopServerWhileServingSendsOneQuitMessageBeforeClosing) {
    Serving();
    CopyText(chatSettings.QuitMessage, "Off to lunch");
    StopServer();
    EXPECT_EQ(fakeSocket.wire, Quit("Off to lunch"));
    EXPECT_EQ(fakeSocket.sendSockets.front(), SECOND);
    ASSERT_EQ(fakeNetwork.closes.size(), 2u);
    EXPECT_EQ(fakeNetwork.closes[0], std::make_pair(FIRST, Quit("Off to lunch").size()));
    EXPECT_EQ(fakeNetwork.closes[1], std::make_pair(SECOND, Quit("Off to lunch").size()))
        << "the quit message went out before the close";
    EXPECT_EQ(fakeHistory.appends, (Lines{"Server closed..."})) << "no line for the peer's connection";
    EXPECT_EQ(fakeControls, SERVER_CONTROLS_OFF);
    EXPECT_EQ(Flags(), IDLE);
    EXPECT_EQ(connectionState.quitting, 0);
}

TEST_F(ConnectionTest, StopServerAfterQuitSendsNoSecondQuitMessage) {
    Serving();
    SendControl(CTRL_QUIT, "typed reason");  // what /quit sends itself
    connectionState.quitting = 1;
    StopServer();
    EXPECT_EQ(fakeSocket.wire, Quit("typed reason"));
    EXPECT_EQ(QuitsIn(fakeSocket.wire), 1u);
    EXPECT_EQ(connectionState.quitting, 0);
    EXPECT_EQ(Flags(), IDLE);
}

TEST_F(ConnectionTest, StopServerAfterQuitWhileOnlyListeningClearsQuitting) {
    Listening();
    connectionState.quitting = 1;
    StopServer();
    EXPECT_EQ(connectionState.quitting, 0);
    EXPECT_TRUE(fakeSocket.wire.empty());
}

// ========================================================== client side

TEST_F(ConnectionTest, ConnectToADottedAddressSetsTheConnectingControlsAndConnects) {
    Started();
    EXPECT_TRUE(ConnectTo("127.0.0.1"));
    EXPECT_EQ(Flags(), CONNECTING);
    EXPECT_EQ(fakeControls, CONNECTING_CONTROLS);
    EXPECT_EQ(fakeNetwork.calls, (Lines{"socket -> 100", "nodelay 100", "bind 100 0.0.0.0:0", "select connection 100",
                                        "connect 100 127.0.0.1:6374"}));
    EXPECT_TRUE(fakeHistory.appends.empty());
    // The controls change before the connect is started.
    EXPECT_EQ(fakeTimeline.size(), CONNECTING_CONTROLS.size());
}

TEST_F(ConnectionTest, ConnectThatSucceedsAtOnceStillWaitsForFdConnect) {
    Started();
    fakeNetwork.connectError = 0;
    EXPECT_TRUE(ConnectTo("10.1.2.3"));
    EXPECT_EQ(Flags(), CONNECTING);
    EXPECT_EQ(fakeNetwork.calls.back(), "connect 100 10.1.2.3:6374");
}

TEST_F(ConnectionTest, ConnectToRefusals) {
    Listening();
    EXPECT_FALSE(ConnectTo("127.0.0.1"));
    EXPECT_EQ(fakeHistory.appends, (Lines{"***Error: Already in Server mode\r\n"}));
    EXPECT_TRUE(fakeNetwork.calls.empty());
    EXPECT_TRUE(fakeControls.empty());

    ResetFakes();
    Serving();
    EXPECT_FALSE(ConnectTo("127.0.0.1"));
    EXPECT_EQ(fakeHistory.appends, (Lines{"***Error: Already in Server mode\r\n"}));

    ResetFakes();
    Connected();
    EXPECT_FALSE(ConnectTo("127.0.0.1"));
    EXPECT_EQ(fakeHistory.appends, (Lines{"***Error: Already connected\r\n"}));
    EXPECT_TRUE(fakeNetwork.calls.empty());
    EXPECT_TRUE(fakeControls.empty());
    EXPECT_EQ(Flags(), CONNECTED);
}

TEST_F(ConnectionTest, ConnectToWhileAConnectIsUnderWayIsRefusedByOpenConnection) {
    Connecting();
    EXPECT_TRUE(ConnectTo("127.0.0.1"));
    EXPECT_EQ(fakeHistory.appends, (Lines{"Connection socket handle is valid, already connected?\r\n"}));
    EXPECT_EQ(fakeNetwork.calls, Lines{}) << "no second socket";
    EXPECT_EQ(Flags(), CONNECTING);
}

TEST_F(ConnectionTest, ConnectToAHostNameStartsALookUp) {
    Started();
    EXPECT_TRUE(ConnectTo("officepc"));
    EXPECT_EQ(Flags(), RESOLVING);
    EXPECT_EQ(connectionState.resolveHandle, FIRST_LOOKUP);
    EXPECT_EQ(fakeNetwork.calls, (Lines{"lookup officepc -> 8192"}));
    EXPECT_EQ(fakeControls, CONNECTING_CONTROLS);
    EXPECT_TRUE(fakeHistory.appends.empty());
    ASSERT_EQ(fakeNetwork.lookups.size(), 1u);
    EXPECT_EQ(fakeNetwork.lookups[0].size, 1024u);
    EXPECT_EQ(fakeNetwork.lookups[0].buffer, connectionState.resolveResult);
}

TEST_F(ConnectionTest, AllOnesAddressIsLookedUpAsAName) {
    Started();
    EXPECT_TRUE(ConnectTo("255.255.255.255"));
    EXPECT_EQ(fakeNetwork.calls, (Lines{"lookup 255.255.255.255 -> 8192"}));
    EXPECT_EQ(Flags(), RESOLVING);
}

TEST_F(ConnectionTest, EmptyHostTextIsHandedOnLikeAnyOther) {
    Started();
    EXPECT_TRUE(ConnectTo(""));
    EXPECT_EQ(fakeNetwork.calls, (Lines{"lookup  -> 8192"}));
}

TEST_F(ConnectionTest, SecondConnectToWhileResolvingIsRefused) {
    Started();
    ConnectTo("officepc");
    Forget();
    EXPECT_FALSE(ConnectTo("otherpc"));
    EXPECT_EQ(fakeHistory.appends, (Lines{"***Error: Resolving address, click cancel to continue\r\n"}));
    EXPECT_TRUE(fakeNetwork.calls.empty());
    EXPECT_EQ(Flags(), RESOLVING);
}

TEST_F(ConnectionTest, FinishedLookUpConnectsToTheFirstAddress) {
    Started();
    ConnectTo("officepc");
    Forget();
    WriteLookupResult(FIRST_LOOKUP, Address("192.168.1.20"));
    QueueResolveDone(FIRST_LOOKUP);
    DispatchQueue();
    EXPECT_EQ(fakeNetwork.calls, (Lines{"socket -> 100", "nodelay 100", "bind 100 0.0.0.0:0", "select connection 100",
                                        "connect 100 192.168.1.20:6374"}));
    EXPECT_EQ(Flags(), CONNECTING);
    EXPECT_EQ(connectionState.resolveHandle, 0u);
    EXPECT_TRUE(fakeHistory.appends.empty());
    EXPECT_TRUE(fakeControls.empty()) << "the connecting controls are already set";
    EXPECT_EQ(OnResolveDone(FIRST_LOOKUP, 0), 1) << "a second answer is ignored";
    EXPECT_EQ(fakeNetwork.calls.size(), 5u);
}

TEST_F(ConnectionTest, FailedLookUpSaysSoAndResetsTheControls) {
    Started();
    ConnectTo("nosuchhost");
    Forget();
    QueueResolveDone(FIRST_LOOKUP, 11001);
    DispatchQueue();
    EXPECT_EQ(fakeHistory.appends, (Lines{"***Error: Unable to resolve address!\r\n"}));
    EXPECT_EQ(fakeControls, RESET_CLIENT_CONTROLS);
    EXPECT_EQ(Flags(), IDLE);
    EXPECT_EQ(connectionState.resolveHandle, 0u);
    EXPECT_TRUE(fakeNetwork.calls.empty());
}

TEST_F(ConnectionTest, LookUpAnswerWithoutAnAddressCountsAsFailed) {
    Started();
    ConnectTo("officepc");
    Forget();
    QueueResolveDone(FIRST_LOOKUP);  // nothing written into the buffer
    DispatchQueue();
    EXPECT_EQ(fakeHistory.appends, (Lines{"***Error: Unable to resolve address!\r\n"}));
    EXPECT_EQ(Flags(), IDLE);
}

TEST_F(ConnectionTest, ForeignOrStaleResolveNotificationsAreIgnored) {
    Started();
    ConnectTo("officepc");
    Forget();
    EXPECT_EQ(OnResolveDone(FIRST_LOOKUP + 5, 0), 1);
    EXPECT_EQ(OnResolveDone(0, 0), 1);
    EXPECT_TRUE(fakeNetwork.calls.empty());
    EXPECT_TRUE(fakeHistory.appends.empty());
    EXPECT_EQ(Flags(), RESOLVING);
}

TEST_F(ConnectionTest, DisconnectCancelsALookUpWithoutALineAndItsLateAnswerIsIgnored) {
    Started();
    ConnectTo("officepc");
    Forget();
    Disconnect();
    EXPECT_EQ(fakeNetwork.calls, (Lines{"cancel 8192"}));
    EXPECT_TRUE(fakeHistory.appends.empty());
    EXPECT_EQ(fakeControls, RESET_CLIENT_CONTROLS + POPUP_CONTROLS_OFF);
    EXPECT_EQ(Flags(), IDLE);
    EXPECT_EQ(connectionState.resolveHandle, 0u);
    EXPECT_EQ(AbandonedLookupCount(), 1u);

    // The cancel was not honoured: the look-up writes its buffer and answers.
    Forget();
    WriteLookupResult(FIRST_LOOKUP, Address("10.0.0.1"));
    QueueResolveDone(FIRST_LOOKUP);
    DispatchQueue();
    EXPECT_TRUE(fakeNetwork.calls.empty());
    EXPECT_TRUE(fakeHistory.appends.empty());
    EXPECT_TRUE(fakeControls.empty());
    EXPECT_EQ(Flags(), IDLE);
    EXPECT_EQ(AbandonedLookupCount(), 0u) << "its buffer is released once WinSock has answered";
}

TEST_F(ConnectionTest, AbandonedLookUpNeverAffectsALaterConnection) {
    Started();
    ConnectTo("hosta");
    Disconnect();
    ConnectTo("hostb");
    Forget();
    ASSERT_EQ(fakeNetwork.lookups.size(), 2u);
    const uintptr_t oldLookup = fakeNetwork.lookups[0].handle;
    const uintptr_t newLookup = fakeNetwork.lookups[1].handle;
    EXPECT_NE(oldLookup, newLookup);
    EXPECT_NE(fakeNetwork.lookups[0].buffer, fakeNetwork.lookups[1].buffer) << "each look-up writes its own buffer";
    EXPECT_EQ(fakeNetwork.lookups[0].name, "hosta");

    // The new answer is written and queued; then the old look-up, cancelled
    // in name only, finishes and writes its own.
    WriteLookupResult(newLookup, Address("10.0.0.2"));
    QueueResolveDone(newLookup);
    WriteLookupResult(oldLookup, Address("10.0.0.1"));
    QueueResolveDone(oldLookup);
    DispatchQueue();
    EXPECT_EQ(fakeNetwork.calls, (Lines{"socket -> 100", "nodelay 100", "bind 100 0.0.0.0:0", "select connection 100",
                                        "connect 100 10.0.0.2:6374"}));
    EXPECT_EQ(Flags(), CONNECTING);
    EXPECT_TRUE(fakeHistory.appends.empty());
}

TEST_F(ConnectionTest, AbandonedLookUpAnsweringFirstIsIgnoredAndTheNewOneStillCounts) {
    Started();
    ConnectTo("hosta");
    Disconnect();
    ConnectTo("hostb");
    Forget();
    WriteLookupResult(FIRST_LOOKUP, Address("10.0.0.1"));
    QueueResolveDone(FIRST_LOOKUP, 0);
    DispatchQueue();
    EXPECT_TRUE(fakeNetwork.calls.empty());
    EXPECT_EQ(Flags(), RESOLVING);
    QueueResolveDone(FIRST_LOOKUP + 1, 11001);
    DispatchQueue();
    EXPECT_EQ(fakeHistory.appends, (Lines{"***Error: Unable to resolve address!\r\n"}));
}

TEST_F(ConnectionTest, TheLookUpKeepsItsOwnCopyOfTheName) {
    Started();
    CopyText(connectionState.hostText, "officepc");
    ConnectTo(connectionState.hostText);
    CopyText(connectionState.hostText, "typed later");
    EXPECT_STREQ(fakeNetwork.lookups[0].name.c_str(), "officepc");
    EXPECT_EQ(fakeNetwork.calls.back(), "lookup officepc -> 8192");
}

TEST_F(ConnectionTest, LookUpThatCannotStartStaysResolvingUntilDisconnect) {
    Started();
    fakeNetwork.refuseLookup = true;
    EXPECT_TRUE(ConnectTo("officepc"));
    EXPECT_EQ(Flags(), RESOLVING);
    EXPECT_EQ(connectionState.resolveHandle, 0u);
    EXPECT_EQ(fakeControls, CONNECTING_CONTROLS);
    Forget();
    Disconnect();
    EXPECT_TRUE(fakeNetwork.calls.empty()) << "nothing to cancel";
    EXPECT_TRUE(fakeHistory.appends.empty());
    EXPECT_EQ(fakeControls, RESET_CLIENT_CONTROLS + POPUP_CONTROLS_OFF);
    EXPECT_EQ(Flags(), IDLE);
    EXPECT_EQ(AbandonedLookupCount(), 0u);
}

TEST_F(ConnectionTest, WithoutWinSockADottedConnectStallsAndDisconnectBringsTheControlsBack) {
    fakeNetwork.startResult = 10091;
    InitNetwork();
    Forget();
    EXPECT_TRUE(ConnectTo("127.0.0.1"));
    EXPECT_EQ(fakeHistory.appends, (Lines{"WinSock not started, command ignored!\r\n"}));
    EXPECT_EQ(fakeControls, CONNECTING_CONTROLS) << "stalled: the connecting controls stay";
    EXPECT_TRUE(fakeNetwork.calls.empty());
    Forget();
    Disconnect();
    EXPECT_TRUE(fakeHistory.appends.empty());
    EXPECT_EQ(fakeControls, RESET_CLIENT_CONTROLS + POPUP_CONTROLS_OFF);
}

TEST_F(ConnectionTest, OpenConnectionWithoutASocketStalls) {
    Started();
    fakeNetwork.refuseSocket = true;
    EXPECT_TRUE(ConnectTo("127.0.0.1"));
    EXPECT_EQ(fakeHistory.appends, (Lines{"***Error:  Could not create connection socket\r\n"}));
    EXPECT_EQ(fakeControls, CONNECTING_CONTROLS);
    EXPECT_EQ(Flags(), IDLE);
    EXPECT_FALSE(OpenConnection(Address("127.0.0.1")));
}

TEST_F(ConnectionTest, OpenConnectionThatCannotBindResetsAndCloses) {
    Started();
    fakeNetwork.refuseBind = true;
    EXPECT_TRUE(ConnectTo("127.0.0.1"));
    EXPECT_EQ(fakeHistory.appends, (Lines{"***Error: Could not bind connection socket\r\n"}));
    EXPECT_EQ(fakeControls, CONNECTING_CONTROLS + RESET_CLIENT_CONTROLS);
    EXPECT_EQ(fakeNetwork.calls,
              (Lines{"socket -> 100", "nodelay 100", "bind 100 0.0.0.0:0", "close 100", "post connection 100 " + MARKER}));
    EXPECT_EQ(Flags(), IDLE);
}

TEST_F(ConnectionTest, ConnectFailureSaysSoWithTheLastErrorAndNoLineEnd) {
    Started();
    fakeNetwork.connectError = 10051;
    EXPECT_TRUE(ConnectTo("10.9.9.9"));
    EXPECT_EQ(fakeHistory.appends, (Lines{"Could not connect to server...\r\n", "***Last error number is: 10051"}));
    EXPECT_EQ(fakeControls, CONNECTING_CONTROLS + RESET_CLIENT_CONTROLS);
    EXPECT_EQ(fakeNetwork.calls.back(), "post connection 100 " + MARKER);
    EXPECT_EQ(Flags(), IDLE);
    EXPECT_EQ(fakeHistory.text.substr(fakeHistory.text.size() - 5), "10051") << "no line end";
}

TEST_F(ConnectionTest, PrintLastSocketErrorHasNoLineEnd) {
    fakeSocket.lastError = 10060;
    PrintLastSocketError();
    AppendHistory("next");
    EXPECT_EQ(fakeHistory.text, "***Last error number is: 10060next");
}

TEST_F(ConnectionTest, SuccessfulFdConnectMakesAClientAndGreets) {
    Connecting();
    connectionState.peerQuitReceived = 1;
    CopyText(chatSettings.Nickname, "Bob");
    QueueConnectionEvent(FIRST, SOCKET_EVENT_CONNECT);
    DispatchQueue();
    EXPECT_EQ(Flags(), CONNECTED);
    EXPECT_EQ(connectionState.peerQuitReceived, 0);
    EXPECT_EQ(fakeSocket.wire, Hello("Bob"));
    EXPECT_TRUE(fakeHistory.appends.empty());
    EXPECT_TRUE(fakeControls.empty());
}

TEST_F(ConnectionTest, FailedFdConnectShowsTheEventsErrorNotAnUnrelatedLastError) {
    Connecting();
    // Nothing failed on the thread itself: its last error says nothing
    // about why the connection was refused.
    fakeSocket.lastError = 0;
    QueueConnectionEvent(FIRST, SOCKET_EVENT_CONNECT, 10061);
    DispatchQueue();
    EXPECT_EQ(fakeHistory.appends, (Lines{"***Error: Unable to connect\r\n", "***Last error number is: 10061"}));
    EXPECT_EQ(fakeControls, RESET_CLIENT_CONTROLS);
    EXPECT_EQ(fakeNetwork.calls, (Lines{"close 100", "post connection 100 " + MARKER}));
    EXPECT_EQ(connectionState.connSocket, NO_SOCKET);
    EXPECT_EQ(connectionState.clientConnected, 0);
    EXPECT_TRUE(fakeSocket.wire.empty());
}

TEST_F(ConnectionTest, ServerClosingTheClientReturnsToIdle) {
    Connected();
    PeerSends(Hello("Alice") + Quit("shutting down"));
    Forget();
    PeerCloses();
    EXPECT_EQ(fakeHistory.appends, (Lines{"*** ", "Alice", " has quit(Quit: ", "shutting down", ")\r\n"}));
    EXPECT_EQ(fakeControls, RESET_CLIENT_CONTROLS + POPUP_CONTROLS_OFF);
    EXPECT_EQ(Flags(), IDLE);
    EXPECT_EQ(fakeNetwork.calls, (Lines{"close 100", "post connection 100 " + MARKER}));
    // The controls change before the socket closes and the line is written.
    EXPECT_EQ(fakeTimeline[RESET_CLIENT_CONTROLS.size()], "history *** ");
}

TEST_F(ConnectionTest, LostClientConnectionIsAResetUnderTheLastKnownName) {
    Connected();
    PeerSends(Hello("Alice"));
    PeerCloses();
    Forget();
    DispatchQueue();
    // A later connection's peer has not greeted yet: the old name stands.
    ConnectTo("127.0.0.1");
    QueueConnectionEvent(FIRST, SOCKET_EVENT_CONNECT);
    DispatchQueue();
    Forget();
    PeerCloses();
    EXPECT_EQ(fakeHistory.text, "***Alice has quit(Connection reset)\r\n");
}

TEST_F(ConnectionTest, DisconnectWhileConnectedSendsOneQuitMessageThenCloses) {
    Connected();
    CopyText(chatSettings.QuitMessage, "Leaving");
    Disconnect();
    EXPECT_EQ(fakeSocket.wire, Quit("Leaving"));
    ASSERT_EQ(fakeNetwork.closes.size(), 1u);
    EXPECT_EQ(fakeNetwork.closes[0], std::make_pair(FIRST, Quit("Leaving").size()));
    EXPECT_EQ(fakeHistory.appends, (Lines{"Disconnected from server...\r\n"}));
    EXPECT_EQ(fakeControls, RESET_CLIENT_CONTROLS + POPUP_CONTROLS_OFF);
    EXPECT_EQ(Flags(), IDLE);
    EXPECT_EQ(connectionState.quitting, 0);
}

TEST_F(ConnectionTest, DisconnectWhileConnectingSaysDisconnectedButSendsNothing) {
    Connecting();
    Disconnect();
    EXPECT_TRUE(fakeSocket.wire.empty());
    EXPECT_EQ(fakeHistory.appends, (Lines{"Disconnected from server...\r\n"}));
    EXPECT_EQ(fakeNetwork.calls, (Lines{"close 100", "post connection 100 " + MARKER}));
    EXPECT_EQ(fakeControls, RESET_CLIENT_CONTROLS + POPUP_CONTROLS_OFF);
    EXPECT_EQ(Flags(), IDLE);
}

TEST_F(ConnectionTest, DisconnectAfterQuitSendsNoSecondQuitMessage) {
    Connected();
    SendControl(CTRL_QUIT, "typed");
    connectionState.quitting = 1;
    Disconnect();
    EXPECT_EQ(fakeSocket.wire, Quit("typed"));
    EXPECT_EQ(connectionState.quitting, 0);
}

TEST_F(ConnectionTest, DisconnectWithNothingToEndOnlyResetsTheControls) {
    Started();
    Disconnect();
    EXPECT_TRUE(fakeHistory.appends.empty());
    EXPECT_TRUE(fakeNetwork.calls.empty());
    EXPECT_EQ(fakeControls, RESET_CLIENT_CONTROLS + POPUP_CONTROLS_OFF);
}

// ============================================================== shutdown

TEST_F(ConnectionTest, ShutdownWhileServingStopsTheServerWithOneQuitMessage) {
    Serving();
    ShutdownNetwork();
    EXPECT_EQ(fakeSocket.wire, Quit("Leaving"));
    EXPECT_EQ(fakeHistory.appends, (Lines{"Server closed..."}));
    EXPECT_EQ(fakeNetwork.calls.back(), "cleanup");
    EXPECT_EQ(connectionState.winsockStarted, 0);
    EXPECT_EQ(connectionState.listenSocket, NO_SOCKET);
    EXPECT_EQ(connectionState.connSocket, NO_SOCKET);
}

TEST_F(ConnectionTest, ShutdownWhileConnectedDisconnectsWithOneQuitMessage) {
    Connected();
    ShutdownNetwork();
    EXPECT_EQ(fakeSocket.wire, Quit("Leaving"));
    EXPECT_EQ(fakeHistory.appends, (Lines{"Disconnected from server...\r\n"}));
    EXPECT_EQ(fakeNetwork.calls,
              (Lines{"close 100", "post connection 100 " + MARKER, "cleanup"}));
    EXPECT_EQ(connectionState.winsockStarted, 0);
}

TEST_F(ConnectionTest, ShutdownWhileConnectingClosesTheSocketWithoutALine) {
    Connecting();
    ShutdownNetwork();
    EXPECT_TRUE(fakeHistory.appends.empty());
    EXPECT_TRUE(fakeSocket.wire.empty());
    EXPECT_EQ(fakeNetwork.calls, (Lines{"close 100", "post connection 100 " + MARKER, "cleanup"}));
}

TEST_F(ConnectionTest, ShutdownWithoutWinSockCleansNothingUp) {
    fakeNetwork.startResult = 10091;
    InitNetwork();
    Forget();
    ShutdownNetwork();
    EXPECT_TRUE(fakeNetwork.calls.empty());
    EXPECT_TRUE(fakeHistory.appends.empty());
}

TEST_F(ConnectionTest, EveryEndingTheUserAsksForCarriesExactlyOneQuitMessage) {
    struct Ending {
        const char* name;
        bool server;
        void (*end)();
    };
    const Ending endings[] = {
        {"Disconnect", false, [] { Disconnect(); }},
        {"Stop Server", true, [] { StopServer(); }},
        {"exit as client", false, [] { ShutdownNetwork(); }},
        {"exit as server", true, [] { ShutdownNetwork(); }},
        {"/quit as client", false, [] { SendControl(CTRL_QUIT, "q"); connectionState.quitting = 1; Disconnect(); }},
        {"/quit as server", true, [] { SendControl(CTRL_QUIT, "q"); connectionState.quitting = 1; StopServer(); }},
    };
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.name);
        ResetFakes();
        if (ending.server) {
            Serving();
        } else {
            Connected();
        }
        ending.end();
        EXPECT_EQ(QuitsIn(fakeSocket.wire), 1u);
        EXPECT_EQ(fakeSocket.wire.size() % WIRE_BLOCK, 0u);
        EXPECT_EQ(connectionState.quitting, 0);
        EXPECT_EQ(connectionState.connSocket, NO_SOCKET);
    }
}

// ====================================== stale notifications, reused numbers

TEST_F(ConnectionTest, StaleCloseOfAReusedNumberDoesNotEndTheNewConnection) {
    Connected();
    // The peer closes; before its FD_CLOSE is handled the user disconnects
    // and connects again, and the new socket gets the same number.
    QueueConnectionEvent(FIRST, SOCKET_EVENT_CLOSE);
    Disconnect();
    ConnectTo("127.0.0.1");
    ASSERT_EQ(connectionState.connSocket, FIRST);
    Forget();
    QueueConnectionEvent(FIRST, SOCKET_EVENT_CONNECT);  // the new connect completes
    DispatchQueue();
    EXPECT_TRUE(fakeHistory.appends.empty()) << "no quit line for the old connection";
    EXPECT_EQ(Flags(), CONNECTED);
    EXPECT_EQ(fakeSocket.wire, Hello("YourNickName"));
    EXPECT_EQ(connectionState.connMarkersPending, 0);
    // The new connection's own close still counts.
    PeerCloses();
    EXPECT_EQ(fakeHistory.text, "***Peer has quit(Connection reset)\r\n");
}

TEST_F(ConnectionTest, StaleConnectOfAReusedNumberIsDropped) {
    Connecting();
    QueueConnectionEvent(FIRST, SOCKET_EVENT_CONNECT);  // queued for the first attempt
    Disconnect();
    ConnectTo("127.0.0.1");
    ASSERT_EQ(connectionState.connSocket, FIRST);
    Forget();
    DispatchQueue();
    EXPECT_EQ(Flags(), CONNECTING) << "the old attempt's FD_CONNECT is not the new one's";
    EXPECT_TRUE(fakeSocket.wire.empty());
    QueueConnectionEvent(FIRST, SOCKET_EVENT_CONNECT);
    DispatchQueue();
    EXPECT_EQ(Flags(), CONNECTED);
    EXPECT_EQ(fakeSocket.wire, Hello("YourNickName"));
}

TEST_F(ConnectionTest, StaleFailedConnectDoesNotEndTheNextAttempt) {
    Connecting();
    QueueConnectionEvent(FIRST, SOCKET_EVENT_CONNECT, 10061);
    Disconnect();
    ConnectTo("127.0.0.1");
    Forget();
    DispatchQueue();
    EXPECT_TRUE(fakeHistory.appends.empty());
    EXPECT_TRUE(fakeControls.empty());
    EXPECT_EQ(Flags(), CONNECTING);
}

TEST_F(ConnectionTest, StaleCloseOfTheServersOldPeerDoesNotEndTheNextPeer) {
    Serving();
    QueueConnectionEvent(SECOND, SOCKET_EVENT_CLOSE);  // the peer closed as we stopped
    StopServer();
    ASSERT_TRUE(StartServer());
    ++fakeNetwork.waitingClients;
    QueueListenEvent(FIRST, SOCKET_EVENT_ACCEPT);
    Forget();
    DispatchQueue();
    EXPECT_EQ(Flags(), SERVING);
    EXPECT_TRUE(fakeHistory.appends.empty());
}

TEST_F(ConnectionTest, StaleAcceptOfAClosedListeningSocketIsDropped) {
    Listening();
    ++fakeNetwork.waitingClients;
    QueueListenEvent(FIRST, SOCKET_EVENT_ACCEPT);  // queued for the old listening socket
    StopServer();
    ASSERT_TRUE(StartServer());
    ASSERT_EQ(connectionState.listenSocket, FIRST);
    Forget();
    DispatchQueue();
    EXPECT_TRUE(fakeNetwork.calls.empty()) << "no accept on the new listening socket";
    EXPECT_EQ(Flags(), LISTENING);
    QueueListenEvent(FIRST, SOCKET_EVENT_ACCEPT);  // its own
    DispatchQueue();
    EXPECT_EQ(Flags(), SERVING);
}

TEST_F(ConnectionTest, AcceptAfterTheServerStoppedIsDropped) {
    Listening();
    ++fakeNetwork.waitingClients;
    QueueListenEvent(FIRST, SOCKET_EVENT_ACCEPT);
    StopServer();
    Forget();
    DispatchQueue();
    EXPECT_TRUE(fakeNetwork.calls.empty());
    EXPECT_TRUE(fakeHistory.appends.empty()) << "no failed-accept line";
}

TEST_F(ConnectionTest, CloseAndConnectForOtherSocketsAreIgnored) {
    Connecting();
    EXPECT_EQ(OnConnectionEvent(FIRST + 1, SOCKET_EVENT_CONNECT), 0);
    EXPECT_EQ(OnConnectionEvent(FIRST + 1, SOCKET_EVENT_CLOSE), 0);
    EXPECT_EQ(Flags(), CONNECTING);
    EXPECT_TRUE(fakeNetwork.calls.empty());
    ResetFakes();
    Started();
    EXPECT_EQ(OnConnectionEvent(FIRST, SOCKET_EVENT_CLOSE), 0);
    EXPECT_EQ(OnConnectionEvent(FIRST, SOCKET_EVENT_CONNECT), 0);
    EXPECT_TRUE(fakeHistory.appends.empty()) << "no connection, nothing to report";
    EXPECT_TRUE(fakeNetwork.calls.empty());
}

TEST_F(ConnectionTest, SecondConnectNotificationOnAConnectedSocketIsIgnored) {
    Connected();
    QueueConnectionEvent(FIRST, SOCKET_EVENT_CONNECT);
    DispatchQueue();
    EXPECT_TRUE(fakeSocket.wire.empty()) << "no second greeting";
}

TEST_F(ConnectionTest, StaleWriteOfAnotherSocketIsDropped) {
    Connected();
    fakeSocket.sendScript = {WouldBlock()};
    SendChatText("hi");
    ASSERT_EQ(outgoingBuffer.sendInProgress, 1);
    const size_t offers = fakeSocket.sendSockets.size();
    OnConnectionEvent(FIRST + 8, SOCKET_EVENT_WRITE);
    EXPECT_EQ(fakeSocket.sendSockets.size(), offers) << "nothing offered for another socket's FD_WRITE";
    OnConnectionEvent(FIRST, SOCKET_EVENT_WRITE);
    EXPECT_EQ(fakeSocket.wire, ChatBytes("hi"));
}

TEST_F(ConnectionTest, MarkersThatCannotBePostedAreNotWaitedFor) {
    Connected();
    fakeNetwork.refusePosts = true;
    Disconnect();
    EXPECT_EQ(connectionState.connMarkersPending, 0);
    fakeNetwork.refusePosts = false;
    ConnectTo("127.0.0.1");
    QueueConnectionEvent(FIRST, SOCKET_EVENT_CONNECT);
    DispatchQueue();
    EXPECT_EQ(Flags(), CONNECTED);
}

// ============================================== what the peer left behind

TEST_F(ConnectionTest, CloseReportedWhileDataIsUnreadShowsItFirst) {
    Connected();
    PeerSends(Hello("Bob"));
    Forget();
    // The Windows order: FD_CLOSE comes while the last lines and the quit
    // message are still unread, and no FD_READ for them is handled first.
    fakeSocket.Feed(DataChunk(ChatBytes("last words") + Quit("gone")));
    fakeSocket.Feed(ClosedRead());
    QueueConnectionEvent(FIRST, SOCKET_EVENT_CLOSE);
    DispatchQueue();
    EXPECT_EQ(fakeHistory.text, "<Bob> last words\r\n*** Bob has quit(Quit: gone)\r\n");
    EXPECT_EQ(Flags(), IDLE);
    EXPECT_EQ(fakeNetwork.calls, (Lines{"close 100", "post connection 100 " + MARKER}));
    // The reads came from the closing socket, before it was closed.
    for (SocketHandle socket : fakeSocket.recvSockets) EXPECT_EQ(socket, FIRST);
}

TEST_F(ConnectionTest, ClosingPeerThatLeftAFloodIsReadOnlyBoundedly) {
    Serving();
    fakeSocket.Feed(DataChunk(std::string(100000, 'A')));
    PeerCloses();
    EXPECT_EQ(fakeSocket.recvLengths.size(), 4096u);
    EXPECT_EQ(Flags(), LISTENING);
    EXPECT_EQ(fakeHistory.appends.back(), " has quit(Connection reset)\r\n");
}

TEST_F(ConnectionTest, EveryEndLeavesBothTransferBuffersIdleAndEmpty) {
    struct Ending {
        const char* name;
        bool server;
        void (*end)();
    };
    const Ending endings[] = {
        {"peer closes a client", false, [] { OnConnectionEvent(FIRST, SOCKET_EVENT_CLOSE); }},
        {"peer closes the server's peer", true, [] { OnConnectionEvent(SECOND, SOCKET_EVENT_CLOSE); }},
        {"Disconnect", false, [] { Disconnect(); }},
        {"Stop Server", true, [] { StopServer(); }},
    };
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.name);
        ResetFakes();
        if (ending.server) {
            Serving();
        } else {
            Connected();
        }
        // A message stuck waiting for FD_WRITE and half a received one.
        fakeSocket.sendScript = {AcceptBytes(4), WouldBlock(), WouldBlock()};
        SendChatText("a long line that is still going out");
        fakeSocket.Feed(DataChunk("\x01half a li"));
        OnConnectionEvent(connectionState.connSocket, SOCKET_EVENT_READ);
        ASSERT_EQ(outgoingBuffer.sendInProgress, 1);
        ASSERT_GT(incomingBuffer.writePosition, 0u);

        ending.end();
        ExpectTransferIdleAndEmpty();
    }
}

TEST_F(ConnectionTest, NextConnectionIsGreetedWithCleanBytesAfterAStuckMessage) {
    Connected();
    fakeSocket.sendScript = {AcceptBytes(4), WouldBlock()};
    SendChatText("stuck message");
    PeerCloses();
    DispatchQueue();
    fakeSocket.sendScript.clear();
    fakeSocket.sendNext = 0;
    Forget();
    ConnectTo("127.0.0.1");
    QueueConnectionEvent(FIRST, SOCKET_EVENT_CONNECT);
    DispatchQueue();
    EXPECT_EQ(fakeSocket.wire, Hello("YourNickName")) << "the greeting is not refused as busy";
    EXPECT_EQ(fakeHistory.text, "");
    // The old message's FD_WRITE, still queued for the reused number, finds
    // nothing to continue.
    OnConnectionEvent(FIRST, SOCKET_EVENT_WRITE);
    EXPECT_EQ(fakeSocket.wire, Hello("YourNickName"));
}

TEST_F(ConnectionTest, AcceptWhileAClientConnectionHoldsTheSocketWaits) {
    Connecting();
    // Start Server from a toolbar rebuilt while connecting (role still none).
    ASSERT_TRUE(StartServer());
    ++fakeNetwork.waitingClients;
    Forget();
    QueueListenEvent(connectionState.listenSocket, SOCKET_EVENT_ACCEPT);
    DispatchQueue();
    EXPECT_EQ(connectionState.connSocket, FIRST) << "the client's socket is kept";
    EXPECT_EQ(connectionState.serverHasPeer, 0);
    EXPECT_TRUE(fakeNetwork.calls.empty());
}

// ================================================== through the whole path

TEST_F(ConnectionTest, GreetingsCrossAndBothNamesAreLearned) {
    CopyText(chatSettings.Nickname, "Alice");
    Serving();
    PeerSends(Hello("Bob"));
    EXPECT_EQ(fakeHistory.text, "*** You are connected to Bob.\r\n");
    EXPECT_STREQ(connectionState.peerName, "Bob");
    EXPECT_STREQ(connectionState.myName, "Alice");
    EXPECT_EQ(fakeControls, (Lines{Menu(IDM_SEND_POPUP, true), Menu(IDM_TRAY_SEND_POPUP, true, "tray"),
                                   Button(IDT_SEND_POPUP, true)}));
}

}  // namespace
