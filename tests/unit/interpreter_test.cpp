#include <gtest/gtest.h>

#include <string>

#include "common/text.h"
#include "console/interpreter.h"
#include "fakes/fake_socket.h"
#include "fakes/fakes.h"
#include "net/connection_state.h"
#include "settings/settings.h"

namespace {

const char* const NOT_CONNECTED = "***Not connected\r\n";
const char* const UNKNOWN = "Error: Unknown Command.  Type /help for a list of available commands.\r\n";

std::string Chat(const std::string& text) {
    std::string message = "\x01" + text + "\x0C\x0D";
    return message + std::string((10 - message.size() % 10) % 10, '\0');
}
std::string Control(char code, const std::string& text) {
    std::string message = std::string("\x02") + code + text + "\x0C\x0D";
    return message + std::string((10 - message.size() % 10) % 10, '\0');
}

class InterpreterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFakes();
        CopyText(connectionState.myName, "Me");
    }
    void Connect() {
        connectionState.clientConnected = 1;
        connectionState.role = ROLE_CLIENT;
        connectionState.connSocket = 7;
    }
    void Type(const std::string& line) {
        fakeInput.text = line;
        fakeInput.focuses = 0;
        HandleInputLine();
        EXPECT_EQ(fakeInput.text, "") << "the input line is emptied for " << line;
    }
};

TEST_F(InterpreterTest, ChatIsEchoedThenSent) {
    Connect();
    Type("hello there");
    EXPECT_EQ(fakeHistory.text, "<Me> hello there\r\n");
    EXPECT_EQ(fakeSocket.wire, Chat("hello there"));
    EXPECT_EQ(fakeInput.focuses, 1);
}

TEST_F(InterpreterTest, RefusalIsWrittenBelowTheEcho) {
    Connect();
    fakeSocket.sendScript = {WouldBlock()};
    Type("first");
    Type("second");
    EXPECT_EQ(fakeHistory.text,
              "<Me> first\r\n<Me> second\r\nError: Previous send not finished, send ignored\n\r");
}

TEST_F(InterpreterTest, WithoutAPeerChatAndPeerCommandsOnlySayNotConnected) {
    for (const char* line : {"hello", "", "/nick Bob", "/me waves", "/quit", "/quit bye", "/popup hi"}) {
        fakeHistory.text.clear();
        Type(line);
        EXPECT_EQ(fakeHistory.text, NOT_CONNECTED) << line;
        EXPECT_EQ(fakeInput.focuses, 0) << "no focus after a failed guard: " << line;
    }
    EXPECT_STREQ(connectionState.myName, "Me");
    EXPECT_TRUE(fakeSocket.wire.empty());
}

TEST_F(InterpreterTest, EmptyLineWhileConnectedIsEmptyChat) {
    Connect();
    Type("");
    EXPECT_EQ(fakeHistory.text, "<Me> \r\n");
    EXPECT_EQ(fakeSocket.wire, Chat(""));
}

TEST_F(InterpreterTest, BlankThenSlashIsChatSentWhole) {
    Connect();
    Type(" /nick Bob");
    EXPECT_EQ(fakeHistory.text, "<Me>  /nick Bob\r\n");
    EXPECT_EQ(fakeSocket.wire, Chat(" /nick Bob"));
    EXPECT_STREQ(connectionState.myName, "Me");
}

TEST_F(InterpreterTest, NickChangesTheNameAndTellsThePeer) {
    Connect();
    Type("/nick Bob");
    EXPECT_STREQ(connectionState.myName, "Bob");
    EXPECT_EQ(fakeSocket.wire, Control('\x04', "Bob"));
    EXPECT_EQ(fakeHistory.text, "***Your are now known as Bob.\r\n");
    EXPECT_STREQ(chatSettings.Nickname, "YourNickName") << "the setting is not changed";
}

TEST_F(InterpreterTest, LongNickIsCutToTwentyAfterItsLine) {
    Connect();
    Type("/nick " + std::string(25, 'n'));
    EXPECT_EQ(fakeHistory.text, "***Nickname is longer than 20 characters, truncated\r\n***Your are now known as " +
                                    std::string(20, 'n') + ".\r\n");
    EXPECT_EQ(std::string(connectionState.myName), std::string(20, 'n'));
    EXPECT_EQ(fakeSocket.wire, Control('\x04', std::string(20, 'n')));
}

TEST_F(InterpreterTest, NickChangesEvenWhenTheSendIsRefused) {
    Connect();
    fakeSocket.sendScript = {WouldBlock()};
    Type("hi");
    Type("/nick Zed %s");
    EXPECT_STREQ(connectionState.myName, "Zed %s");
    EXPECT_EQ(fakeHistory.text, "<Me> hi\r\nError: Previous send not finished, send ignored\n\r"
                                "***Your are now known as Zed %s.\r\n");
}

TEST_F(InterpreterTest, NickWithABlankOnlySetsAnEmptyName) {
    Connect();
    Type("/nick ");
    EXPECT_STREQ(connectionState.myName, "");
    EXPECT_EQ(fakeHistory.text, "***Your are now known as .\r\n");
}

TEST_F(InterpreterTest, MeIsSentBeforeItsEchoWithoutAFullStop) {
    Connect();
    Type("/me waves");
    EXPECT_EQ(fakeSocket.wire, Control('\x08', "waves"));
    EXPECT_EQ(fakeHistory.text, "*Me waves\r\n");

    fakeHistory.text.clear();
    fakeSocket.sendScript = {WouldBlock()};
    Type("/me one");
    Type("/me two");
    EXPECT_EQ(fakeHistory.text, "*Me one\r\nError: Previous send not finished, send ignored\n\r*Me two\r\n");
}

TEST_F(InterpreterTest, NearMissesAreUnknownCommands) {
    Connect();
    for (const char* line : {"/nick", "/nickBob", "/me", "/mewaves", "/", "/NICK Bob", "/Me waves", "/HELP",
                             "/cle", "/pop hi", "/qui", "//nick Bob"}) {
        fakeHistory.text.clear();
        Type(line);
        EXPECT_EQ(fakeHistory.text, UNKNOWN) << line;
        EXPECT_EQ(fakeInput.focuses, 1) << line;
    }
    EXPECT_TRUE(fakeSocket.wire.empty());
}

TEST_F(InterpreterTest, UnknownCommandNeedsNoPeer) {
    Type("/what");
    EXPECT_EQ(fakeHistory.text, UNKNOWN);
}

TEST_F(InterpreterTest, ClearAndHelpWorkByPrefixWithoutAPeer) {
    fakeHistory.text = "old\r\n";
    Type("/clearly");
    EXPECT_EQ(fakeHistory.text, "");
    Type("/helpme");
    EXPECT_EQ(fakeHistory.text,
              "***Available Commands:\r\n"
              "/nick NewNickname\t\tChanges your nickname\r\n"
              "/me message goes here\tAction\r\n"
              "/clear\t\t\tClears the history window\r\n"
              "***End Available Commands\r\n");
    EXPECT_EQ(fakeInput.focuses, 1);
}

TEST_F(InterpreterTest, PopupSendsItsTextAndWritesNothing) {
    Connect();
    Type("/popup Lunch?");
    EXPECT_EQ(fakeSocket.wire, Control('\x10', "Lunch?"));
    EXPECT_EQ(fakeHistory.text, "");
    EXPECT_TRUE(fakeErrorBoxes.empty());
}

TEST_F(InterpreterTest, PopupWithoutTextShowsTheBoxAndSendsNothing) {
    Connect();
    Type("/popup");
    Type("/popup ");
    ASSERT_EQ(fakeErrorBoxes.size(), 2u);
    EXPECT_EQ(fakeErrorBoxes[0], "Unable to comply(empty message)");
    EXPECT_TRUE(fakeSocket.wire.empty());
    EXPECT_EQ(fakeHistory.text, "");
}

TEST_F(InterpreterTest, ThreeHundredCharacterLineStaysUnderTheEngineLimit) {
    Connect();
    std::string line(300, 'L');
    Type(line);
    EXPECT_EQ(fakeHistory.text, "<Me> " + line + "\r\n");
    EXPECT_EQ(fakeSocket.wire, Chat(line));
    // A line longer than the input line can hold is cut where the control cuts it.
    fakeHistory.text.clear();
    Type(std::string(400, 'M'));
    EXPECT_EQ(fakeHistory.text, "<Me> " + std::string(300, 'M') + "\r\n");
}

TEST_F(InterpreterTest, QuitSendsOneQuitMessageWithItsReasonFromTheSeventhCharacter) {
    struct Case {
        const char* line;
        const char* reason;
    } cases[] = {
        {"/quit", "Leaving"},          {"/quit gone fishing", "gone fishing"},
        {"/quitx", "Leaving"},         {"/quitxyz", "yz"},
        {"/quit ", "Leaving"},         {"/quit %s%n", "%s%n"},
    };
    for (const Case& c : cases) {
        ResetFakes();
        Connect();
        Type(c.line);
        EXPECT_EQ(fakeSocket.wire, Control('\x40', c.reason)) << c.line;
        EXPECT_EQ(fakeHistory.text, "Disconnected from server...\r\n")
            << "no line of its own, only the one of the Disconnect that follows: " << c.line;
        EXPECT_EQ(connectionState.quitting, 0) << "the close takes the flag back: " << c.line;
    }
}

TEST_F(InterpreterTest, QuitUsesTheConfiguredMessageWhenNoneIsTyped) {
    Connect();
    CopyText(chatSettings.QuitMessage, "See you");
    Type("/quit");
    EXPECT_EQ(fakeSocket.wire, Control('\x40', "See you"));
}

TEST_F(InterpreterTest, QuitOnAListeningServerWithoutAPeerIsNotConnected) {
    connectionState.serverListening = 1;
    connectionState.role = ROLE_SERVER;
    Type("/quit");
    EXPECT_EQ(fakeHistory.text, NOT_CONNECTED);
    EXPECT_EQ(connectionState.serverListening, 1) << "the server keeps listening";
    EXPECT_TRUE(fakeSocket.wire.empty());
}

TEST_F(InterpreterTest, CommandLinesAreNeverEchoedAsTyped) {
    Connect();
    Type("/popup secret");
    Type("/clear");
    EXPECT_EQ(fakeHistory.text.find("/popup"), std::string::npos);
    EXPECT_EQ(fakeHistory.text.find("secret"), std::string::npos);
}

}  // namespace
