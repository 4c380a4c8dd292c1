// Received messages: the lines, names and reasons they leave, and the alerts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "common/text.h"
#include "fakes/fake_shell.h"
#include "fakes/fakes.h"
#include "net/alerts.h"
#include "net/connection_state.h"
#include "net/incoming.h"
#include "res/resource.h"
#include "settings/settings.h"

namespace {

using Lines = std::vector<std::string>;

const char* const UNRECOGNIZED =
    "***Error: Unrecognized command.  (This should never happen.  Close this program)\r\n";

std::string Control(char code, const std::string& text) { return std::string("\x02") + code + text; }
std::string Chat(const std::string& text) { return "\x01" + text; }

void Dispatch(const std::string& message) { DispatchIncoming(message.c_str()); }

class IncomingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFakes();
        CopyText(connectionState.peerName, "Ann");
        CopyText(connectionState.myName, "Me");
        // Quiet unless a test asks for an alert.
        chatSettings.FlashTitle = 0;
        chatSettings.Beep = 0;
        chatSettings.PlaySound = 0;
    }
};

// ------------------------------------------------------------------- chat

TEST_F(IncomingTest, ChatTextIsWrittenInItsFivePiecesUnderThePeersName) {
    Dispatch(Chat("hello there"));
    EXPECT_EQ(fakeHistory.appends, (Lines{"<", "Ann", "> ", "hello there", "\r\n"}));
    EXPECT_TRUE(fakeAlerts.empty());
}

TEST_F(IncomingTest, EmptyChatTextIsALineWithNameAndNothingElse) {
    Dispatch(Chat(""));
    EXPECT_EQ(fakeHistory.text, "<Ann> \r\n");
}

TEST_F(IncomingTest, PeersTextIsShownLiterallyNeverAsAFormat) {
    CopyText(connectionState.peerName, "%s%n");
    Dispatch(Chat("100% %d %s"));
    EXPECT_EQ(fakeHistory.text, "<%s%n> 100% %d %s\r\n");
}

TEST_F(IncomingTest, ChatFlashesOnlyWhileTheWindowIsInactiveAndStartsTheTimerOnce) {
    chatSettings.FlashTitle = 1;
    Dispatch(Chat("active"));
    EXPECT_TRUE(fakeAlerts.empty()) << "an active window never flashes";
    EXPECT_EQ(flashing, 0);

    windowActive = 0;
    Dispatch(Chat("one"));
    EXPECT_EQ(fakeAlerts, (Lines{"timer start 100 500"}));
    EXPECT_EQ(flashing, 1);
    Dispatch(Chat("two"));
    EXPECT_EQ(fakeAlerts, (Lines{"timer start 100 500"})) << "a running timer is neither restarted nor doubled";

    // What WM_ACTIVATE does.
    EXPECT_TRUE(StopTitleFlash());
    EXPECT_EQ(fakeAlerts, (Lines{"timer start 100 500", "timer stop 100", "flash restore"}));
    EXPECT_EQ(flashing, 0);
    EXPECT_TRUE(StopTitleFlash());
    EXPECT_EQ(fakeAlerts.size(), 3u) << "nothing to stop the second time";

    Dispatch(Chat("three"));
    EXPECT_EQ(fakeAlerts.back(), "timer start 100 500") << "the next inactive arrival flashes again";
}

TEST_F(IncomingTest, FlashTickInvertsTheTitleBar) {
    FlashTick();
    FlashTick();
    EXPECT_EQ(fakeAlerts, (Lines{"flash invert", "flash invert"}));
}

TEST_F(IncomingTest, StartTitleFlashKeepsTheIntervalOfARunningTimer) {
    EXPECT_TRUE(StartTitleFlash(500));
    EXPECT_TRUE(StartTitleFlash(200));
    EXPECT_EQ(fakeAlerts, (Lines{"timer start 100 500"}));
}

TEST_F(IncomingTest, FlashAndBeepCountOnlyWhenExactlyOne) {
    windowActive = 0;
    chatSettings.FlashTitle = 2;
    chatSettings.Beep = -1;
    Dispatch(Chat("hi"));
    EXPECT_TRUE(fakeAlerts.empty());
    EXPECT_EQ(flashing, 0);
}

TEST_F(IncomingTest, ChatBeepsWhetherOrNotTheWindowIsActive) {
    chatSettings.Beep = 1;
    Dispatch(Chat("active"));
    windowActive = 0;
    Dispatch(Chat("inactive"));
    EXPECT_EQ(fakeAlerts, (Lines{"beep 500 1000", "beep 500 1000"}));
}

TEST_F(IncomingTest, ChatWritesItsLineBeforeFlashingAndBeeping) {
    chatSettings.Beep = 1;
    chatSettings.FlashTitle = 1;
    windowActive = 0;
    Dispatch(Chat("x"));
    EXPECT_EQ(fakeTimeline, (Lines{"history <", "history Ann", "history > ", "history x", "history \r\n",
                                   "timer start 100 500", "beep 500 1000"}));
}

// ---------------------------------------------------------------- controls

TEST_F(IncomingTest, NicknameChangeShowsTheOldNameThenTakesTheNewOne) {
    Dispatch(Control('\x04', "Bob"));
    EXPECT_EQ(fakeHistory.appends, (Lines{"***", "Ann", " is now known as ", "Bob", ".\r\n"}));
    EXPECT_STREQ(connectionState.peerName, "Bob");
    Dispatch(Chat("hi"));
    EXPECT_EQ(fakeHistory.text, "***Ann is now known as Bob.\r\n<Bob> hi\r\n");
}

TEST_F(IncomingTest, ActionEndsWithAFullStop) {
    Dispatch(Control('\x08', "waves"));
    EXPECT_EQ(fakeHistory.appends, (Lines{"*", "Ann", " ", "waves", ".\r\n"}));
}

TEST_F(IncomingTest, PopupPlaysTheSoundFirstThenOpensItsWindowAndWritesNoLine) {
    chatSettings.PlaySound = 1;
    CopyText(chatSettings.SoundPath, "C:\\sounds\\ding.wav");
    Dispatch(Control('\x10', "Lunch?"));
    EXPECT_EQ(fakeAlerts, (Lines{"sound C:\\sounds\\ding.wav", "popup Lunch?"}));
    EXPECT_TRUE(fakeHistory.appends.empty());
}

TEST_F(IncomingTest, PopupWithoutPlaySoundOpensOnlyItsWindow) {
    for (int playSound : {0, 2}) {
        fakeAlerts.clear();
        chatSettings.PlaySound = playSound;
        Dispatch(Control('\x10', "Lunch?"));
        EXPECT_EQ(fakeAlerts, (Lines{"popup Lunch?"})) << "PlaySound " << playSound;
    }
}

TEST_F(IncomingTest, IgnoredPopupLeavesNoTrace) {
    chatSettings.PlaySound = 1;
    chatSettings.Beep = 1;
    chatSettings.FlashTitle = 1;
    windowActive = 0;
    for (int ignore : {1, 7, -1}) {
        chatSettings.IgnorePopup = ignore;
        Dispatch(Control('\x10', "Lunch?"));
    }
    EXPECT_TRUE(fakeTimeline.empty()) << "no line, no sound, no window";
    EXPECT_TRUE(fakeControls.empty());
    EXPECT_EQ(flashing, 0);
}

TEST_F(IncomingTest, GreetingLearnsTheNameRestoresMyNicknameAndEnablesSendPopup) {
    CopyText(chatSettings.Nickname, "Alice");
    CopyText(connectionState.myName, "ChangedByNick");
    Dispatch(Control('\x20', "Zed"));
    EXPECT_STREQ(connectionState.peerName, "Zed");
    EXPECT_STREQ(connectionState.myName, "Alice");
    EXPECT_EQ(fakeTimeline, (Lines{"history *** You are connected to ", "history Zed", "history .\r\n",
                                   "menu main " + std::to_string(IDM_SEND_POPUP) + " enabled",
                                   "menu tray " + std::to_string(IDM_TRAY_SEND_POPUP) + " enabled",
                                   "button " + std::to_string(IDT_SEND_POPUP) + " on"}));
}

TEST_F(IncomingTest, SecondGreetingActsAgainInFull) {
    Dispatch(Control('\x20', "Zed"));
    Dispatch(Control('\x20', "Yan"));
    EXPECT_EQ(fakeHistory.text, "*** You are connected to Zed.\r\n*** You are connected to Yan.\r\n");
    EXPECT_EQ(fakeControls.size(), 6u);
}

TEST_F(IncomingTest, QuitKeepsTheReasonAndWritesNothingYet) {
    Dispatch(Control('\x40', "gone fishing"));
    EXPECT_STREQ(connectionState.peerQuitReason, "gone fishing");
    EXPECT_EQ(connectionState.peerQuitReceived, 1);
    EXPECT_TRUE(fakeTimeline.empty());
}

TEST_F(IncomingTest, OnlyChatTextRaisesAlerts) {
    chatSettings.Beep = 1;
    chatSettings.FlashTitle = 1;
    chatSettings.PlaySound = 1;
    windowActive = 0;
    Dispatch(Control('\x08', "waves"));
    Dispatch(Control('\x04', "Bob"));
    Dispatch(Control('\x20', "Bob"));
    Dispatch(Control('\x40', "bye"));
    EXPECT_TRUE(fakeAlerts.empty());
    Dispatch(Control('\x10', "pop"));
    EXPECT_EQ(fakeAlerts, (Lines{"sound beep.wav", "popup pop"})) << "a popup never flashes or beeps";
    EXPECT_EQ(flashing, 0);
}

TEST_F(IncomingTest, UnknownControlCodesAreDroppedSilently) {
    for (char code : {'\x05', '\x01', '\x02', '\x7F', '\x80', '\xFF', '\x24'}) Dispatch(Control(code, "text"));
    Dispatch("\x02");  // the kind byte alone: no code, no text
    EXPECT_TRUE(fakeTimeline.empty());
    EXPECT_STREQ(connectionState.peerName, "Ann");
    EXPECT_EQ(connectionState.peerQuitReceived, 0);
}

TEST_F(IncomingTest, UnknownKindWritesTheOneErrorLineAndNothingElse) {
    Dispatch("");  // first byte 0x00: leftover padding after a break in alignment
    EXPECT_EQ(fakeHistory.appends, (Lines{UNRECOGNIZED}));
    for (const char* message : {"\x03" "\x20" "Bob", "\xFFhello", "\x40", "A"}) {
        fakeHistory.appends.clear();
        Dispatch(message);
        EXPECT_EQ(fakeHistory.appends, (Lines{UNRECOGNIZED})) << static_cast<int>(message[0]);
    }
    EXPECT_STREQ(connectionState.peerName, "Ann");
    EXPECT_TRUE(fakeAlerts.empty());
    EXPECT_TRUE(fakeControls.empty());
}

// ------------------------------------------------------------- long texts

TEST_F(IncomingTest, NamesAndReasonsAreCutToTheirFields) {
    const std::string longText(500, 'n');
    CopyText(chatSettings.Nickname, std::string(29, 'k').c_str());  // the longest the registry gives

    Dispatch(Control('\x20', longText));
    EXPECT_EQ(std::string(connectionState.peerName), std::string(23, 'n'));
    EXPECT_EQ(std::string(connectionState.myName), std::string(27, 'k'));
    EXPECT_EQ(fakeHistory.text, "*** You are connected to " + std::string(23, 'n') + ".\r\n");

    fakeHistory.text.clear();
    Dispatch(Control('\x04', std::string(300, 'b')));
    EXPECT_EQ(std::string(connectionState.peerName), std::string(23, 'b'));
    EXPECT_EQ(fakeHistory.text, "***" + std::string(23, 'n') + " is now known as " + std::string(300, 'b') + ".\r\n")
        << "the line shows what the peer sent; only the field is cut";

    Dispatch(Control('\x40', longText));
    EXPECT_EQ(std::string(connectionState.peerQuitReason), std::string(103, 'n'));
    // The fields after the cut ones are untouched.
    EXPECT_EQ(connectionState.listenSocket, NO_SOCKET);
    EXPECT_EQ(connectionState.connSocket, NO_SOCKET);
    EXPECT_EQ(connectionState.connMarkersPending, 0);
    EXPECT_EQ(connectionState.listenMarkersPending, 0);
}

TEST_F(IncomingTest, TextsThatFitAreKeptWhole) {
    Dispatch(Control('\x20', std::string(23, 'p')));
    EXPECT_EQ(std::string(connectionState.peerName), std::string(23, 'p'));
    Dispatch(Control('\x40', std::string(103, 'r')));
    EXPECT_EQ(std::string(connectionState.peerQuitReason), std::string(103, 'r'));
}

}  // namespace
