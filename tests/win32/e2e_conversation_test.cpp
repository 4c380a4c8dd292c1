// Two copies hold a whole conversation: typed lines, commands and popups.
#include <gtest/gtest.h>

#include "res/resource.h"
#include "win32/e2e_support.h"

namespace {

std::string TextOf(HWND control) {
    char text[600] = "";
    DWORD_PTR result = 0;
    SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        &result);
    return text;
}

TEST(ConversationTest, TwoUsersChatUseCommandsAndAnswerAPopup) {
    Program alice("Alice");
    Program bob("Bob");
    ASSERT_NO_FATAL_FAILURE(ConnectCopies(alice, "Alice", bob, "Bob"));

    ASSERT_TRUE(bob.Type("hello Alice, 100% sure %s"));
    EXPECT_TRUE(bob.WaitForHistory("<Bob> hello Alice, 100% sure %s\r\n")) << bob.lastHistory;
    EXPECT_TRUE(alice.WaitForHistory("<Bob> hello Alice, 100% sure %s\r\n")) << alice.lastHistory;

    ASSERT_TRUE(alice.Type("/me waves"));
    EXPECT_TRUE(alice.WaitForHistory("*Alice waves\r\n")) << alice.lastHistory;
    EXPECT_TRUE(bob.WaitForHistory("*Alice waves.\r\n")) << bob.lastHistory;

    ASSERT_TRUE(bob.Type("/nick Robert"));
    EXPECT_TRUE(bob.WaitForHistory("***Your are now known as Robert.\r\n")) << bob.lastHistory;
    EXPECT_TRUE(alice.WaitForHistory("***Bob is now known as Robert.\r\n")) << alice.lastHistory;
    ASSERT_TRUE(bob.Type("still me"));
    EXPECT_TRUE(alice.WaitForHistory("<Robert> still me\r\n")) << alice.lastHistory;
    EXPECT_TRUE(bob.WaitForHistory("<Robert> still me\r\n")) << bob.lastHistory;

    // A popup from Alice opens a window on Bob's side, answered with Reply.
    ASSERT_TRUE(alice.Type("/popup Lunch?"));
    HWND received = bob.WaitForDialog("Popup message from Alice");
    ASSERT_TRUE(received);
    EXPECT_EQ(TextOf(GetDlgItem(received, IDC_POPUP_TEXT)), "Lunch?");
    PostMessageA(received, WM_COMMAND, IDC_REPLY, 0);
    HWND reply = bob.WaitForDialog("Send popup message to Alice");
    ASSERT_TRUE(reply);
    DWORD_PTR result = 0;
    SendMessageTimeoutA(GetDlgItem(reply, IDC_POPUP_TEXT), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Yes!"),
                        SMTO_ABORTIFHUNG, 2000, &result);
    PostMessageA(reply, WM_COMMAND, IDC_SEND, 0);
    HWND answer = alice.WaitForDialog("Popup message from Robert");
    ASSERT_TRUE(answer);
    EXPECT_EQ(TextOf(GetDlgItem(answer, IDC_POPUP_TEXT)), "Yes!");

    ASSERT_TRUE(bob.Type("/quit see you"));
    EXPECT_TRUE(bob.WaitForHistory("Disconnected from server...\r\n")) << bob.lastHistory;
    EXPECT_TRUE(alice.WaitForHistory("*** Robert has quit(Quit: see you)\r\n")) << alice.lastHistory;

    // Nothing of the popups went into either history; each line came once.
    EXPECT_EQ(alice.History().find("Lunch?"), std::string::npos);
    EXPECT_EQ(bob.History().find("Yes!"), std::string::npos);
    const std::string bobLines = "*** You are connected to Alice.\r\n"
                                 "<Bob> hello Alice, 100% sure %s\r\n"
                                 "*Alice waves.\r\n"
                                 "***Your are now known as Robert.\r\n"
                                 "<Robert> still me\r\n"
                                 "Disconnected from server...\r\n";
    std::string bobHistory = bob.History();
    ASSERT_GE(bobHistory.size(), bobLines.size());
    EXPECT_EQ(bobHistory.substr(bobHistory.size() - bobLines.size()), bobLines);
    const std::string aliceLines = "*** You are connected to Bob.\r\n"
                                   "<Bob> hello Alice, 100% sure %s\r\n"
                                   "*Alice waves\r\n"
                                   "***Bob is now known as Robert.\r\n"
                                   "<Robert> still me\r\n"
                                   "*** Robert has quit(Quit: see you)\r\n";
    std::string aliceHistory = alice.History();
    ASSERT_GE(aliceHistory.size(), aliceLines.size());
    EXPECT_EQ(aliceHistory.substr(aliceHistory.size() - aliceLines.size()), aliceLines);
}

}  // namespace
