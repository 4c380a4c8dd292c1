#include <gtest/gtest.h>

#include <cstring>

#include "net/protocol.h"

namespace {

// Both copies of the program must agree on every one of these; a changed
// value silently breaks the conversation with every older copy.
TEST(ProtocolTest, ConstantsHaveTheirWireValues) {
    EXPECT_EQ(CHAT_PORT, 6374);
    EXPECT_EQ(KIND_TEXT, 0x01);
    EXPECT_EQ(KIND_CONTROL, 0x02);
    EXPECT_EQ(CTRL_NICK, 0x04);
    EXPECT_EQ(CTRL_ACTION, 0x08);
    EXPECT_EQ(CTRL_POPUP, 0x10);
    EXPECT_EQ(CTRL_HELLO, 0x20);
    EXPECT_EQ(CTRL_QUIT, 0x40);
    EXPECT_EQ(MAX_TEXT_LENGTH, 500u);
    EXPECT_EQ(WIRE_BLOCK, 10u);
    EXPECT_EQ(MESSAGE_BUFFER_SIZE, 510u);
}

TEST(ProtocolTest, TerminatorIsFormFeedThenCarriageReturn) {
    ASSERT_EQ(MSG_TERMINATOR_LENGTH, 2u);
    ASSERT_EQ(std::strlen(MSG_TERMINATOR), 2u);
    EXPECT_EQ(static_cast<unsigned char>(MSG_TERMINATOR[0]), 0x0C);
    EXPECT_EQ(static_cast<unsigned char>(MSG_TERMINATOR[1]), 0x0D);
}

TEST(ProtocolTest, SocketCodesMatchWinSock) {
    EXPECT_EQ(SOCKET_EVENT_READ, 1u);
    EXPECT_EQ(SOCKET_EVENT_WRITE, 2u);
    EXPECT_EQ(SOCKET_EVENT_ACCEPT, 8u);
    EXPECT_EQ(SOCKET_EVENT_CONNECT, 16u);
    EXPECT_EQ(SOCKET_EVENT_CLOSE, 32u);
    EXPECT_EQ(SOCKET_EVENT_READ | SOCKET_EVENT_WRITE | SOCKET_EVENT_CONNECT | SOCKET_EVENT_CLOSE, 51u);
    EXPECT_EQ(SOCKET_ERROR_WOULD_BLOCK, 10035);
}

}  // namespace
