// The connection manager, one row per scenario: the steps of the user, the peer and WinSock, then the
// whole history, every byte the peer received, the flags and open sockets, and the menus and toolbar.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "common/text.h"
#include "fakes/fakes.h"
#include "net/connection.h"
#include "net/control_states.h"
#include "net/protocol.h"
#include "net/secure.h"

namespace {

const std::string INIT_1 = "Trying to initialize WinSock 1.1...\r\n";
const std::string INIT = INIT_1 + "Confirming that WinSock supports 1.1\r\n"
                                  "WinSock 1.1 started successfully\r\nWinSock 2.0  Running\r\n";
const std::string STARTED = INIT + "Server started...\r\n\r\n***Your IP number is: 192.168.1.11\r\n";
const std::string HELLO = Control(CTRL_HELLO, "YourNickName");
const std::string LEAVING = Control(CTRL_QUIT, "Leaving");
const std::string RESET = "***Peer has quit(Connection reset)\r\n";
const std::string NOT_BOUND = "Could not bind listening socket!\r\n";
const std::string NO_GREETING = "***No greeting within 20 seconds; connection closed\r\n";
// The client's opening of the handshake: an ephemeral key, 43 characters.
const std::string OPENING = Control(CTRL_HANDSHAKE, std::string(43, '#'));
const std::string LONG_NAME = "a-host-name-of-49-characters-for-the-dialogs-text";  // 49

const std::string IDLE = "none; winsock";
const std::string LISTENING = "server listening; winsock; 100 bound 0.0.0.0:6374";
const std::string SERVING = "server listening peer; winsock; 100 bound 0.0.0.0:6374; 104 accepted keepalive";
const std::string CONNECTING = "none connecting; winsock; 100 to 127.0.0.1:6374";
const std::string CONNECTED = "client connected; winsock; 100 to 127.0.0.1:6374 keepalive";

const std::string TRAY_POPUP_GRAY = "; tray 40011 &Hide; tray 40012 &Send Popup... (gray)";
const std::string TRAY_POPUP_ON = "; tray 40011 &Hide; tray 40012 &Send Popup...";
const std::string IDLE_C =
    "C-S--H; 40002 &Connect to...; 40003 &Start Server; 40019 &Send Popup... (gray)" + TRAY_POPUP_GRAY;
const std::string CLIENT_C =
    "-D---H; 9922 &Disconnect; 40003 &Start Server (gray); 40019 &Send Popup... (gray)" + TRAY_POPUP_GRAY;
const std::string CLIENT_GREETED_C =
    "-D--PH; 9922 &Disconnect; 40003 &Start Server (gray); 40019 &Send Popup..." + TRAY_POPUP_ON;
const std::string SERVER_C =
    "---X-H; 40002 &Connect to... (gray); 9924 &Stop Server; 40019 &Send Popup... (gray)" + TRAY_POPUP_GRAY;
const std::string SERVER_GREETED_C =
    "---XPH; 40002 &Connect to... (gray); 9924 &Stop Server; 40019 &Send Popup..." + TRAY_POPUP_ON;

std::string State() {
    const ConnectionState& c = connectionState;
    std::string text = c.role == ROLE_SERVER ? "server" : c.role == ROLE_CLIENT ? "client" : "none";
    const std::pair<const char*, int32_t> flags[] = {{" listening", c.serverListening}, {" peer", c.serverHasPeer},
                                                     {" connecting", c.clientConnecting},
                                                     {" connected", c.clientConnected}, {" resolving", c.resolving}};
    for (const auto& flag : flags) text += flag.second ? flag.first : "";
    text += fake.winsockRunning ? "; winsock" : "; no winsock";
    for (SocketHandle socket : fake.open) text += "; " + std::to_string(socket) + " " + fake.remote[socket];
    return text;
}

char dialogText[CONNECT_HOST_SIZE];

// One step of a scenario: what the user, the peer or WinSock does next, or a
// fault WinSock will show from now on.
void Step(const std::string& verb, const std::string& text, bool deliver = true) {
    auto peer = [&](const std::string& bytes) { deliver ? PeerSends(bytes) : fake.inbound.push_back(bytes); };
    const SocketHandle conn = connectionState.connSocket;
    if (verb == "unread") return Step(text.substr(0, text.find(' ')), text.substr(text.find(' ') + 1), false);
    if (verb == "init") InitNetwork();
    else if (verb == "serve") StartServer();
    else if (verb == "stop") StopServer();
    else if (verb == "connect") ConnectTo(text.c_str());
    else if (verb == "connect-retyped") {  // the dialog's text changes while the look-up runs
        CopyText(dialogText, text.c_str());
        ConnectTo(dialogText);
        CopyText(dialogText, "nowhere");
    }
    else if (verb == "disconnect") Disconnect();
    else if (verb == "exit") ShutdownNetwork();
    else if (verb == "type") Type(text);
    else if (verb == "knock") Knock();
    else if (verb == "gives-up") --fake.waitingClients;
    else if (verb == "fd-connect") PostEvent(2, conn, SOCKET_EVENT_CONNECT, std::stoi(text)), Dispatch();
    else if (verb == "queue-close") PostEvent(2, conn, SOCKET_EVENT_CLOSE);
    else if (verb == "queue-connect") PostEvent(2, conn, SOCKET_EVENT_CONNECT);
    else if (verb == "dispatch") Dispatch();
    else if (verb == "answer") AnswerLookup(std::stoul(text)), Dispatch();
    else if (verb == "greets") peer(Control(CTRL_HELLO, text));
    else if (verb == "quits") peer(Control(CTRL_QUIT, text));
    else if (verb == "says") peer(Chat(text));
    else if (verb == "half") peer("\x01" + text);
    else if (verb == "closes") PeerCloses();
    else if (verb == "no-winsock") fake.startResult = 10091;
    else if (verb == "winsock-1.2") fake.version = 0x0201;
    else if (verb == "no-socket") fake.refuseSocket = true;
    else if (verb == "bind") fake.refuseBind = text == "fails";
    else if (verb == "listen") fake.refuseListen = text == "fails";
    else if (verb == "listener-fails") PostEvent(1, fake.listening, SOCKET_EVENT_ACCEPT, 10050), Dispatch();
    else if (verb == "wait") Elapse(std::stoul(text));
    else if (verb == "no-hostname") fake.hostName = nullptr;
    else if (verb == "accept-fails") fake.acceptError = 10055;
    else if (verb == "connect-fails") fake.connectError = 10051;
    else if (verb == "no-lookup") fake.refuseLookup = true;
    else if (verb == "send-stalls") fake.sendAnswers = {4, -1};  // after 4 bytes, until WinSock's FD_WRITE
    else ADD_FAILURE() << "no step " << verb;
}

const std::string CLIENT = "init, connect 127.0.0.1, fd-connect 0";
// A server of the original protocol, speaking first.
const std::string CLIENT_LEGACY = CLIENT + ", says hi";

struct Scenario {
    const char* name;
    std::string steps, history, wire, state, controls;
};

const Scenario SCENARIOS[] = {
    {"start-up", "init", INIT, "", IDLE, IDLE_C},
    {"WinSock does not start", "no-winsock, init, serve, connect 127.0.0.1",
     INIT_1 + "Could not start WinSock, WinSock returned error #: 10091\r\nWinSock not started, command ingnored!\r\n"
              "WinSock not started, command ignored!\r\n",
     "", "none; no winsock", IDLE_C},
    {"WinSock 1.2 is refused and cleaned up", "winsock-1.2, init",
     INIT_1 + "Confirming that WinSock supports 1.1\r\nWinSock does not support version 1.1! returning\r\n", "",
     "none; no winsock", IDLE_C},
    {"server starts", "init, serve", STARTED, "", LISTENING, SERVER_C},
    {"server started twice", "init, serve, serve", STARTED + "Server already started\r\n", "", LISTENING, SERVER_C},
    {"no listening socket", "no-socket, init, serve", INIT + "Could not create listening socket!\r\n", "", IDLE,
     IDLE_C},
    {"port taken, then listen fails, then both work",
     "bind fails, init, serve, bind works, listen fails, serve, listen works, serve",
     INIT + NOT_BOUND + NOT_BOUND + STARTED.substr(INIT.size()), "", LISTENING, SERVER_C},
    {"the listening socket fails", "init, serve, listener-fails, serve",
     STARTED + NOT_BOUND + STARTED.substr(INIT.size()), "", LISTENING, SERVER_C},
    {"the listening socket fails while serving: the peer stays until it leaves",
     "init, serve, knock, greets Bob, listener-fails, knock, closes",
     STARTED + "*** You are connected to Bob.\r\n" + NOT_BOUND + "***Bob has quit(Connection reset)\r\n", HELLO, IDLE,
     IDLE_C},
    {"own name unknown", "no-hostname, init, serve",
     INIT + "Server started...\r\n\r\n***Error: Unable to get local host name!(This should not happen)\r\n", "",
     LISTENING, SERVER_C},
    {"a client is accepted and greeted", "init, serve, knock", STARTED, HELLO, SERVING, SERVER_C},
    {"the client greets", "init, serve, knock, greets Bob", STARTED + "*** You are connected to Bob.\r\n", HELLO,
     SERVING, SERVER_GREETED_C},
    {"the client quits and closes", "init, serve, knock, greets Bob, quits bye now, closes",
     STARTED + "*** You are connected to Bob.\r\n" + NotEncrypted("Bob") + "*** Bob has quit(Quit: bye now)\r\n",
     HELLO, LISTENING, SERVER_C},
    {"the client vanishes; its wait for a greeting ends with it", "init, serve, knock, closes, wait 30000",
     STARTED + RESET, HELLO, LISTENING, SERVER_C},
    {"the next client, on the reused number, is Peer until it greets",
     "init, serve, knock, greets Bob, quits bye, closes, knock, says it's me, greets Cy, closes",
     STARTED + "*** You are connected to Bob.\r\n" + NotEncrypted("Bob") + "*** Bob has quit(Quit: bye)\r\n" +
         NotEncrypted("Peer") + "<Peer> it's me\r\n*** You are connected to Cy.\r\n***Cy has quit(Connection reset)\r\n",
     HELLO + HELLO, LISTENING, SERVER_C},
    {"a client that does not greet has 20 seconds", "init, serve, knock, wait 19999", STARTED, HELLO, SERVING,
     SERVER_C},
    {"a client that does not greet is closed at 20 seconds, and the one waiting is taken",
     "init, serve, knock, knock, says hi, wait 20000, greets Cy, wait 60000",
     STARTED + NotEncrypted("Peer") + "<Peer> hi\r\n" + NO_GREETING + "*** You are connected to Cy.\r\n" +
         NotEncrypted("Cy"),
     HELLO + HELLO, SERVING,
     SERVER_GREETED_C},
    {"a quit reason's control bytes show as ?", "init, serve, knock, greets B\x1b[2Job, quits b\ry\ne, closes",
     STARTED + "*** You are connected to B?[2Job.\r\n" + NotEncrypted("B?[2Job") +
         "*** B?[2Job has quit(Quit: b?y?e)\r\n",
     HELLO, LISTENING,
     SERVER_C},
    {"a client waits while the server is busy and is taken when the peer leaves", "init, serve, knock, knock, closes",
     STARTED + RESET, HELLO + HELLO, SERVING, SERVER_C},
    {"the waiting client gave up", "init, serve, knock, knock, gives-up, closes", STARTED + RESET, HELLO, LISTENING,
     SERVER_C},
    {"accept fails", "init, serve, accept-fails, knock", STARTED + "Unable to accept connection from client!!\r\n",
     "", LISTENING, SERVER_C},
    {"Stop Server while listening", "init, serve, stop", STARTED + "Server closed...", "", IDLE, IDLE_C},
    {"Stop Server while serving", "init, serve, knock, greets Bob, wait 2000, stop",
     STARTED + "*** You are connected to Bob.\r\n" + NotEncrypted("Bob") + "Server closed...", HELLO + LEAVING, IDLE,
     IDLE_C},
    {"Stop Server while it is not known whether the peer encrypts: no quit message in the clear",
     "init, serve, knock, greets Bob, stop", STARTED + "*** You are connected to Bob.\r\nServer closed...", HELLO, IDLE,
     IDLE_C},
    {"/quit with a reason on the server", "init, serve, knock, greets Bob, wait 2000, type /quit gone",
     STARTED + "*** You are connected to Bob.\r\n" + NotEncrypted("Bob") + "Server closed...",
     HELLO + Control(CTRL_QUIT, "gone"), IDLE, IDLE_C},
    {"/quit on a server without a peer", "init, serve, type /quit", STARTED + "***Not connected\r\n", "", LISTENING,
     SERVER_C},
    {"exit while serving", "init, serve, knock, says hi, exit", STARTED + NotEncrypted("Peer") + "<Peer> hi\r\n" +
     "Server closed...", HELLO + LEAVING,
     "none; no winsock", IDLE_C},
    {"connect to a dotted address", "init, connect 127.0.0.1", INIT, "", CONNECTING, CLIENT_C},
    {"connected and greeting, the client waits as long as it takes; nothing is decided before the server greets",
     CLIENT + ", wait 30000, type held", INIT + "<You> held\r\n", HELLO, CONNECTED, CLIENT_C},
    {"the server greets, the client opens the handshake", CLIENT + ", greets Alice",
     INIT + "*** You are connected to Alice.\r\n", HELLO + OPENING, CONNECTED, CLIENT_GREETED_C},
    {"a greeting undoes an earlier /nick; what was typed waits for the outcome",
     CLIENT + ", type /nick Changed, greets Zed, type hi, wait 1999, wait 1",
     INIT + "***Your are now known as Changed.\r\n*** You are connected to Zed.\r\n<YourNickName> hi\r\n" +
         NotEncrypted("Zed"),
     HELLO + OPENING + Control(CTRL_NICK, "Changed") + Chat("hi"), CONNECTED, CLIENT_GREETED_C},
    {"the server quits and closes", CLIENT + ", greets Alice, quits shutting down, closes",
     INIT + "*** You are connected to Alice.\r\n" + NotEncrypted("Alice") +
         "*** Alice has quit(Quit: shutting down)\r\n",
     HELLO + OPENING, IDLE, IDLE_C},
    {"the connection is lost", CLIENT + ", closes", INIT + RESET, HELLO, IDLE, IDLE_C},
    {"the connect is refused: the number the notification carried", "init, connect 127.0.0.1, fd-connect 10061",
     INIT + "***Error: Unable to connect\r\n***Last error number is: 10061", "", IDLE, IDLE_C},
    {"connect fails at once", "connect-fails, init, connect 10.9.9.9",
     INIT + "Could not connect to server...\r\n***Last error number is: 10051", "", IDLE, IDLE_C},
    {"no connection socket: back to idle", "no-socket, init, connect 127.0.0.1",
     INIT + "***Error:  Could not create connection socket\r\n", "", IDLE, IDLE_C},
    {"connection socket cannot bind", "bind fails, init, connect 127.0.0.1",
     INIT + "***Error: Could not bind connection socket\r\n", "", IDLE, IDLE_C},
    {"connect while connecting", "init, connect 127.0.0.1, connect 127.0.0.1",
     INIT + "Connection socket handle is valid, already connected?\r\n", "", CONNECTING, CLIENT_C},
    {"connect while serving", "init, serve, knock, connect 127.0.0.1",
     STARTED + "***Error: Already in Server mode\r\n", HELLO, SERVING, SERVER_C},
    {"connect while connected", CLIENT + ", connect 127.0.0.1", INIT + "***Error: Already connected\r\n", HELLO,
     CONNECTED, CLIENT_C},
    {"Disconnect while connected", CLIENT + ", greets Alice, wait 2000, disconnect",
     INIT + "*** You are connected to Alice.\r\n" + NotEncrypted("Alice") + "Disconnected from server...\r\n",
     HELLO + OPENING + LEAVING, IDLE, IDLE_C},
    {"Disconnect while connecting", "init, connect 127.0.0.1, disconnect", INIT + "Disconnected from server...\r\n",
     "", IDLE, IDLE_C},
    {"/quit with a reason as client", CLIENT_LEGACY + ", type /quit see you",
     INIT + NotEncrypted("Peer") + "<Peer> hi\r\n" + "Disconnected from server...\r\n", HELLO + Control(CTRL_QUIT, "see you"), IDLE,
     IDLE_C},
    {"exit while connected", CLIENT_LEGACY + ", exit", INIT + NotEncrypted("Peer") + "<Peer> hi\r\n" + "Disconnected from server...\r\n",
     HELLO + LEAVING,
     "none; no winsock", IDLE_C},
    {"the look-up answers", "init, connect officepc, answer 0", INIT, "",
     "none connecting; winsock; 100 to 192.168.1.20:6374", CLIENT_C},
    {"49 characters are looked up whole", "init, connect " + LONG_NAME + ", answer 0", INIT, "",
     "none connecting; winsock; 100 to 10.0.0.49:6374", CLIENT_C},
    {"50 characters are refused, not cut", "init, connect " + LONG_NAME + "x", INIT +
     "***Error: Host name longer than 49 characters\r\n", "", IDLE, IDLE_C},
    {"the look-up reads its own copy of the name when it answers", "init, connect-retyped officepc, answer 0", INIT,
     "", "none connecting; winsock; 100 to 192.168.1.20:6374", CLIENT_C},
    {"the look-up fails", "init, connect nosuchhost, answer 0", INIT + "***Error: Unable to resolve address!\r\n", "",
     IDLE, IDLE_C},
    {"a second name while resolving; the first is looked up", "init, connect officepc, connect hostb, answer 0",
     INIT + "***Error: Resolving address, click cancel to continue\r\n", "",
     "none connecting; winsock; 100 to 192.168.1.20:6374", CLIENT_C},
    {"Disconnect while resolving; the late answer is ignored", "init, connect officepc, disconnect, answer 0", INIT,
     "", IDLE, IDLE_C},
    {"an abandoned look-up answers first", "init, connect officepc, disconnect, connect hostb, answer 0, answer 1",
     INIT, "", "none connecting; winsock; 100 to 10.0.0.2:6374", CLIENT_C},
    {"a look-up that cannot start stays resolving", "no-lookup, init, connect officepc", INIT, "",
     "none resolving; winsock", CLIENT_C},
    {"a stale close on a reused number", CLIENT_LEGACY + ", queue-close, disconnect, connect 127.0.0.1, fd-connect 0",
     INIT + NotEncrypted("Peer") + "<Peer> hi\r\n" + "Disconnected from server...\r\n", HELLO + LEAVING + HELLO, CONNECTED, CLIENT_C},
    {"a stale connect on a reused number",
     "init, connect 127.0.0.1, queue-connect, disconnect, connect 127.0.0.1, dispatch",
     INIT + "Disconnected from server...\r\n", "", CONNECTING, CLIENT_C},
    {"a close with unread bytes shows them",
     CLIENT + ", greets Bob, unread says last words, unread quits gone, closes",
     INIT + "*** You are connected to Bob.\r\n" + NotEncrypted("Bob") +
         "<Bob> last words\r\n*** Bob has quit(Quit: gone)\r\n",
     HELLO + OPENING, IDLE, IDLE_C},
    {"half a message is dropped at the close; the next server is Peer until it greets",
     CLIENT + ", greets Al, half half a li, closes, connect 127.0.0.1, fd-connect 0, says hi",
     INIT + "*** You are connected to Al.\r\n***Al has quit(Connection reset)\r\n" + NotEncrypted("Peer") +
         "<Peer> hi\r\n",
     HELLO + OPENING + HELLO, CONNECTED, CLIENT_C},
    {"a message stuck at a close",
     CLIENT_LEGACY + ", send-stalls, type a long line, closes, connect 127.0.0.1, fd-connect 0",
     INIT + NotEncrypted("Peer") + "<Peer> hi\r\n" + "<You> a long line\r\n" + RESET, HELLO + Chat("a long line").substr(0, 4) + HELLO,
     CONNECTED, CLIENT_C},
    {"a line typed before the outcome is not lost without a word at a close",
     CLIENT + ", type a line, closes",
     INIT + "<You> a line\r\n" + RESET + "***Error: The connection closed before encryption was settled; what you "
            "sent meanwhile was not sent\r\n", HELLO, IDLE, IDLE_C},
};

void RunSteps(const std::string& steps) {
    ResetFakes();
    for (size_t at = 0; at < steps.size();) {
        size_t end = std::min(steps.find(", ", at), steps.size());
        std::string step = steps.substr(at, end - at);
        size_t blank = std::min(step.find(' '), step.size());
        Step(step.substr(0, blank), step.substr(std::min(blank + 1, step.size())));
        at = end + 2;
    }
}

TEST(ConnectionTest, Scenarios) {
    for (const Scenario& scenario : SCENARIOS) {
        SCOPED_TRACE(scenario.name);
        RunSteps(scenario.steps);
        EXPECT_EQ(fake.history, scenario.history);
        EXPECT_EQ(Masked(fake.wire), scenario.wire);
        EXPECT_EQ(State(), scenario.state);
        EXPECT_EQ(Controls(), scenario.controls);
    }
}

// One row per state of the connection: the buttons and items a transition
// into it leaves, and the buttons of a toolbar created in it, which follow
// the role alone (a server offers Send Popup before any peer has greeted).
struct ControlStateRow {
    const char* state;
    std::string steps, controls, createdToolbar;
};

const ControlStateRow CONTROL_STATES[] = {
    {"idle", "init", IDLE_C, "C-S--H"},
    {"resolving", "init, connect officepc", CLIENT_C, "C-S--H"},
    {"connecting", "init, connect 127.0.0.1", CLIENT_C, "C-S--H"},
    {"client connected", CLIENT, CLIENT_C, "-D--PH"},
    {"client greeted", CLIENT + ", greets Bob", CLIENT_GREETED_C, "-D--PH"},
    {"listening", "init, serve", SERVER_C, "---XPH"},
    {"serving a peer", "init, serve, knock", SERVER_C, "---XPH"},
    {"serving a greeted peer", "init, serve, knock, greets Bob", SERVER_GREETED_C, "---XPH"},
    {"serving the next peer, not greeted yet", "init, serve, knock, greets Bob, closes, knock", SERVER_C, "---XPH"},
};

TEST(ConnectionTest, ControlStates) {
    for (const ControlStateRow& row : CONTROL_STATES) {
        SCOPED_TRACE(row.state);
        RunSteps(row.steps);
        EXPECT_EQ(Controls(), row.controls);
        std::fill(std::begin(fake.buttons), std::end(fake.buttons), true);
        ApplyCreatedToolbarStates();
        EXPECT_EQ(Controls().substr(0, 6), row.createdToolbar);
    }
}

}  // namespace
