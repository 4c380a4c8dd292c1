// Two real copies of the program, and the program against a peer of the
// test's own, on 127.0.0.1 port 6374: what each side shows and what travels
// on the wire, byte by byte.
#include <gtest/gtest.h>

#include "win32/e2e_support.h"

#include <commctrl.h>

#include <string>

#include "res/resource.h"

namespace {

// The history with the local address, which differs from machine to
// machine, replaced by "<address>"; empty when the line is not there.
std::string WithoutAddress(const std::string& history) {
    size_t at = history.find(SERVER_STARTED);
    if (at == std::string::npos) return history;
    size_t from = at + SERVER_STARTED.size();
    size_t end = history.find("\r\n", from);
    if (end == std::string::npos) return "";
    std::string address = history.substr(from, end - from);
    if (address.empty() || address.find_first_not_of("0123456789.") != std::string::npos) return "";
    return history.substr(0, from) + "<address>" + history.substr(end);
}


TEST(EndToEndTest, TwoCopiesConnectByAddressAndByNameGreetAndPart) {
    Program alice("Alice");
    ASSERT_TRUE(alice.started());
    StartServing(alice);
    Program bob("Bob");
    ASSERT_TRUE(bob.started());
    // Side by side, so that a screenshot of the desktop shows both.
    SetWindowPos(alice.window(), nullptr, 20, 20, 420, 320, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(bob.window(), nullptr, 460, 20, 420, 320, SWP_NOZORDER | SWP_NOACTIVATE);

    ASSERT_TRUE(bob.ConnectThroughDialog("127.0.0.1"));
    ASSERT_TRUE(bob.WaitForHistory("*** You are connected to Alice.\r\n")) << bob.lastHistory;
    ASSERT_TRUE(alice.WaitForHistory("*** You are connected to Bob.\r\n")) << alice.lastHistory;
    EXPECT_TRUE(bob.ButtonEnabled(IDT_SEND_POPUP));
    EXPECT_TRUE(bob.ButtonEnabled(IDT_DISCONNECT));
    EXPECT_FALSE(bob.ButtonEnabled(IDT_CONNECT));
    EXPECT_TRUE(alice.ButtonEnabled(IDT_SEND_POPUP));
    EXPECT_TRUE(alice.ButtonEnabled(IDT_STOP_SERVER));

    bob.Command(IDM_DISCONNECT);
    ASSERT_TRUE(alice.WaitForHistory("*** Bob has quit(Quit: Leaving)\r\n")) << alice.lastHistory;
    EXPECT_FALSE(alice.ButtonEnabled(IDT_SEND_POPUP));
    EXPECT_TRUE(alice.ButtonEnabled(IDT_STOP_SERVER)) << "still serving";
    EXPECT_TRUE(bob.ButtonEnabled(IDT_CONNECT));

    // The server takes the next client: the same copy, by name this time.
    ASSERT_TRUE(bob.ConnectThroughDialog("localhost"));
    ASSERT_TRUE(bob.WaitForHistory("*** You are connected to Alice.\r\n", 2)) << bob.lastHistory;
    ASSERT_TRUE(alice.WaitForHistory("*** You are connected to Bob.\r\n", 2)) << alice.lastHistory;

    alice.Command(IDM_STOP_SERVER);
    ASSERT_TRUE(bob.WaitForHistory("*** Alice has quit(Quit: Leaving)\r\n")) << bob.lastHistory;
    ASSERT_TRUE(alice.WaitForHistory("Server closed..."));

    EXPECT_EQ(bob.History(), STARTUP +
                                 "*** You are connected to Alice.\r\n"
                                 "Disconnected from server...\r\n"
                                 "*** You are connected to Alice.\r\n"
                                 "*** Alice has quit(Quit: Leaving)\r\n");
    EXPECT_EQ(WithoutAddress(alice.History()), STARTUP +
                                                   "Server started...\r\n\r\n"
                                                   "***Your IP number is: <address>\r\n"
                                                   "*** You are connected to Bob.\r\n"
                                                   "*** Bob has quit(Quit: Leaving)\r\n"
                                                   "*** You are connected to Bob.\r\n"
                                                   "Server closed...");
    EXPECT_TRUE(bob.ButtonEnabled(IDT_CONNECT));
    EXPECT_FALSE(bob.ButtonEnabled(IDT_SEND_POPUP));
}

TEST(EndToEndTest, ServerGreetsARawPeerAndShowsWhatItSendsExactly) {
    Program alice("Alice");
    ASSERT_TRUE(alice.started());
    StartServing(alice);
    RawPeer peer;
    ASSERT_TRUE(peer.Connect(PORT));
    EXPECT_EQ(peer.Read(10), std::string("\x02\x20" "Alice\x0C\x0D\x00", 10));

    ASSERT_TRUE(peer.Send(Hello("Rawpeer") + ChatMessage("hello there") + ControlMessage('\x08', "waves") +
                          ControlMessage('\x04', "Zed") + ChatMessage("after 100% %s") + ChatMessage("") +
                          ControlMessage('\x05', "ignored") + Quit("bye for now")));
    peer.Close();
    ASSERT_TRUE(alice.WaitForHistory("*** Zed has quit(Quit: bye for now)\r\n")) << alice.lastHistory;
    EXPECT_EQ(WithoutAddress(alice.History()), STARTUP +
                                                   "Server started...\r\n\r\n"
                                                   "***Your IP number is: <address>\r\n"
                                                   "*** You are connected to Rawpeer.\r\n"
                                                   "<Rawpeer> hello there\r\n"
                                                   "*Rawpeer waves.\r\n"
                                                   "***Rawpeer is now known as Zed.\r\n"
                                                   "<Zed> after 100% %s\r\n"
                                                   "<Zed> \r\n"
                                                   "*** Zed has quit(Quit: bye for now)\r\n");

    // Still listening: the next peer is greeted the same way.
    RawPeer next;
    ASSERT_TRUE(next.Connect(PORT));
    EXPECT_EQ(next.Read(10), Hello("Alice"));
}

TEST(EndToEndTest, PeerThatClosesWithoutAQuitMessageIsAReset) {
    Program alice("Alice");
    ASSERT_TRUE(alice.started());
    StartServing(alice);
    RawPeer peer;
    ASSERT_NO_FATAL_FAILURE(JoinServer(peer, "Alice"));
    ASSERT_NO_FATAL_FAILURE(GreetAs(peer, alice, "Gone"));
    peer.Close();
    ASSERT_TRUE(alice.WaitForHistory("***Gone has quit(Connection reset)\r\n")) << alice.lastHistory;
    EXPECT_FALSE(alice.ButtonEnabled(IDT_SEND_POPUP));
}

TEST(EndToEndTest, StopServerPutsOneQuitMessageOnTheWireBeforeTheClose) {
    Program alice("Alice");
    ASSERT_TRUE(alice.started());
    StartServing(alice);
    RawPeer peer;
    ASSERT_NO_FATAL_FAILURE(JoinServer(peer, "Alice"));
    ASSERT_NO_FATAL_FAILURE(GreetAs(peer, alice, "Raw"));

    alice.Command(IDM_STOP_SERVER);
    bool closed = false;
    EXPECT_EQ(peer.ReadUntilClosed(&closed), Quit("Leaving"));
    EXPECT_TRUE(closed);
    ASSERT_TRUE(alice.WaitForHistory("Server closed..."));
    const std::string history = alice.History();
    EXPECT_EQ(history.substr(history.size() - 47), "*** You are connected to Raw.\r\nServer closed...");
    EXPECT_TRUE(alice.ButtonEnabled(IDT_START_SERVER));
}

TEST(EndToEndTest, ClientGreetsARawServerAndDisconnectPutsOneQuitMessageOnTheWire) {
    RawPeer server;
    ASSERT_TRUE(server.Listen(PORT));
    Program bob("Bob");
    ASSERT_TRUE(bob.started());
    ASSERT_NO_FATAL_FAILURE(AcceptTheClient(server, bob, "127.0.0.1", "Bob"));
    ASSERT_TRUE(server.Send(Hello("Srv") + ChatMessage("hi Bob") + ControlMessage('\x08', "nods")));
    ASSERT_TRUE(bob.WaitForHistory("*Srv nods.\r\n")) << bob.lastHistory;

    bob.Command(IDM_DISCONNECT);
    bool closed = false;
    EXPECT_EQ(server.ReadUntilClosed(&closed), Quit("Leaving"));
    EXPECT_TRUE(closed);
    ASSERT_TRUE(bob.WaitForHistory("Disconnected from server...\r\n"));
    EXPECT_EQ(bob.History(), STARTUP +
                                 "*** You are connected to Srv.\r\n"
                                 "<Srv> hi Bob\r\n"
                                 "*Srv nods.\r\n"
                                 "Disconnected from server...\r\n");
    EXPECT_TRUE(bob.ButtonEnabled(IDT_CONNECT));
}

TEST(EndToEndTest, ServerThatVanishesIsAResetForTheClient) {
    RawPeer server;
    ASSERT_TRUE(server.Listen(PORT));
    Program bob("Bob");
    ASSERT_TRUE(bob.started());
    ASSERT_NO_FATAL_FAILURE(AcceptTheClient(server, bob, "127.0.0.1", "Bob"));
    ASSERT_TRUE(server.Send(Hello("Srv")));
    ASSERT_TRUE(bob.WaitForHistory("*** You are connected to Srv.\r\n"));
    server.Close();
    ASSERT_TRUE(bob.WaitForHistory("***Srv has quit(Connection reset)\r\n")) << bob.lastHistory;
    EXPECT_TRUE(bob.ButtonEnabled(IDT_CONNECT));
    EXPECT_FALSE(bob.ButtonEnabled(IDT_DISCONNECT));
    EXPECT_FALSE(bob.ButtonEnabled(IDT_SEND_POPUP));
}

TEST(EndToEndTest, ExitWithAPeerConnectedSendsOneQuitMessage) {
    Program alice("Alice");
    ASSERT_TRUE(alice.started());
    StartServing(alice);
    RawPeer peer;
    ASSERT_NO_FATAL_FAILURE(JoinServer(peer, "Alice"));
    DWORD exitCode = 99;
    ASSERT_TRUE(alice.CloseAndWait(&exitCode));
    EXPECT_EQ(exitCode, 0u);
    bool closed = false;
    EXPECT_EQ(peer.ReadUntilClosed(&closed), Quit("Leaving"));
    EXPECT_TRUE(closed);
}

TEST(EndToEndTest, ClientThatKnocksWhileServingIsTakenOnceThePeerHasLeft) {
    Program alice("Alice");
    ASSERT_TRUE(alice.started());
    StartServing(alice);
    RawPeer first;
    ASSERT_NO_FATAL_FAILURE(JoinServer(first, "Alice"));
    ASSERT_NO_FATAL_FAILURE(GreetAs(first, alice, "One"));

    // The connection completes in the backlog; its greeting waits there.
    RawPeer second;
    ASSERT_TRUE(second.Connect(PORT));
    ASSERT_TRUE(second.Send(Hello("Two")));
    ASSERT_TRUE(first.Send(ChatMessage("still me") + Quit("q")));
    ASSERT_TRUE(alice.WaitForHistory("<One> still me\r\n"));
    first.Close();

    ASSERT_TRUE(alice.WaitForHistory("*** You are connected to Two.\r\n")) << alice.lastHistory;
    EXPECT_EQ(second.Read(10), Hello("Alice"));
    const std::string history = alice.History();
    const std::string tail =
        "*** You are connected to One.\r\n"
        "<One> still me\r\n"
        "*** One has quit(Quit: q)\r\n"
        "*** You are connected to Two.\r\n";
    ASSERT_GE(history.size(), tail.size());
    EXPECT_EQ(history.substr(history.size() - tail.size()), tail);
}

}  // namespace
