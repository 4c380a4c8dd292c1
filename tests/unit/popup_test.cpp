#include <gtest/gtest.h>

#include <string>

#include "fakes/fake_socket.h"
#include "fakes/fakes.h"
#include "net/connection_state.h"
#include "popup/popup_rules.h"

namespace {

class PopupRulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFakes();
        connectionState.clientConnected = 1;
        connectionState.connSocket = 7;
    }
};

TEST_F(PopupRulesTest, CaptionsNameThePeerLiterally) {
    char caption[POPUP_CAPTION_SIZE];
    SendPopupCaption(caption, sizeof caption, "Ann");
    EXPECT_STREQ(caption, "Send popup message to Ann");
    ReceivedPopupCaption(caption, sizeof caption, "%s%n%d");
    EXPECT_STREQ(caption, "Popup message from %s%n%d");
    ReceivedPopupCaption(caption, sizeof caption, std::string(23, 'z').c_str());
    EXPECT_EQ(std::string(caption), "Popup message from " + std::string(23, 'z'));
}

TEST_F(PopupRulesTest, CaptionIsCutToItsBufferAndTerminated) {
    char caption[24];
    SendPopupCaption(caption, sizeof caption, "Somebody");
    EXPECT_EQ(std::string(caption), std::string("Send popup message to Somebody").substr(0, 23));
}

TEST_F(PopupRulesTest, EmptyTextSendsNothingAndKeepsTheWindow) {
    EXPECT_FALSE(SendPopupText(""));
    EXPECT_TRUE(fakeSocket.wire.empty());
    EXPECT_TRUE(fakeHistory.text.empty());
}

TEST_F(PopupRulesTest, TextGoesOutAsAPopupControlMessage) {
    EXPECT_TRUE(SendPopupText("Lunch?"));
    EXPECT_EQ(fakeSocket.wire, std::string("\x02\x10Lunch?\x0C\x0D", 10));
    EXPECT_TRUE(SendPopupText("   ")) << "blanks only are not empty";
    EXPECT_EQ(fakeSocket.wire.substr(10), std::string("\x02\x10   \x0C\x0D\0\0\0", 10));
}

TEST_F(PopupRulesTest, RefusalIsTheEnginesLineAndTheWindowStillCloses) {
    connectionState.clientConnected = 0;
    EXPECT_TRUE(SendPopupText("hello"));
    EXPECT_EQ(fakeHistory.text, "***Not connected\r\n");
    EXPECT_TRUE(fakeSocket.wire.empty());
}

}  // namespace
