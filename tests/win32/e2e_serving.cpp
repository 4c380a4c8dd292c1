#include <gtest/gtest.h>

#include "res/resource.h"
#include "win32/e2e_support.h"

void StartServing(Program& program) {
    program.Command(IDM_START_SERVER);
    ASSERT_TRUE(program.WaitForHistory(SERVER_STARTED)) << program.lastHistory;
    ASSERT_TRUE(program.WaitForHistory("\r\n", 7)) << "the address line is complete: " << program.lastHistory;
}

void JoinServer(RawPeer& peer, const std::string& serverName) {
    ASSERT_TRUE(peer.Connect(PORT));
    ASSERT_EQ(peer.Read(10), Hello(serverName));
}

void GreetAs(RawPeer& peer, Program& program, const std::string& name) {
    ASSERT_TRUE(peer.Send(Hello(name)));
    ASSERT_TRUE(program.WaitForHistory("*** You are connected to " + name + ".\r\n")) << program.lastHistory;
}

void ConnectCopies(Program& server, const std::string& serverName, Program& client, const std::string& clientName) {
    ASSERT_TRUE(server.started());
    ASSERT_TRUE(client.started());
    ASSERT_NO_FATAL_FAILURE(StartServing(server));
    ASSERT_TRUE(client.ConnectThroughDialog("127.0.0.1"));
    ASSERT_TRUE(client.WaitForHistory("*** You are connected to " + serverName + ".\r\n")) << client.lastHistory;
    ASSERT_TRUE(server.WaitForHistory("*** You are connected to " + clientName + ".\r\n")) << server.lastHistory;
}

void AcceptTheClient(RawPeer& server, Program& client, const char* host, const std::string& clientName) {
    ASSERT_TRUE(client.ConnectThroughDialog(host));
    ASSERT_TRUE(server.Accept());
    ASSERT_EQ(server.Read(10), Hello(clientName));
}
