#include <gtest/gtest.h>

#include <string>

#include "app/app_state.h"
#include "app/win32/main_window.h"
#include "app/win32/shell_parts.h"
#include "console/history.h"
#include "console/win32/console_win32.h"
#include "settings/settings.h"
#include "win32/test_support.h"

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    PrivateRegistry registry;
    MessageBoxWatcher boxes;
};

void ExpectChildrenLaidOut(int clientWidth, int clientHeight) {
    RECT history = ChildRectInParent(historyPane);
    RECT input = ChildRectInParent(inputLine);
    int historyTop = chatSettings.Toolbar == 1 ? toolbarBottom + 2 : 0;
    EXPECT_EQ(history.left, 0);
    EXPECT_EQ(history.top, historyTop);
    EXPECT_EQ(history.right, clientWidth);
    EXPECT_EQ(history.bottom, clientHeight - 25) << "the history pane ends 25 pixels above the bottom";
    EXPECT_EQ(input.left, 0);
    EXPECT_EQ(input.top, clientHeight - 23);
    EXPECT_EQ(input.right, clientWidth);
    EXPECT_EQ(input.bottom, clientHeight);
}

void TypeCharacters(HWND window, const std::string& text) {
    for (char c : text) SendMessageA(window, WM_CHAR, static_cast<unsigned char>(c), 1);
}

TEST_F(MainWindowTest, StartsShownWithBothEditControlsInPlace) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    ASSERT_TRUE(IsWindow(mainWindow));
    EXPECT_TRUE(IsWindowVisible(mainWindow));
    EXPECT_EQ(WindowText(mainWindow), "Norrik Version 1.9");
    char className[64] = "";
    GetClassNameA(mainWindow, className, sizeof className);
    EXPECT_STREQ(className, "Norrik Version 1.9");
    RECT outer;
    GetWindowRect(mainWindow, &outer);
    EXPECT_EQ(outer.right - outer.left, 400);
    EXPECT_EQ(outer.bottom - outer.top, 300);

    ASSERT_TRUE(historyPane);
    ASSERT_TRUE(inputLine);
    EXPECT_TRUE(IsWindowVisible(historyPane));
    EXPECT_TRUE(IsWindowVisible(inputLine));
    LONG historyStyle = GetWindowLongA(historyPane, GWL_STYLE);
    EXPECT_TRUE(historyStyle & ES_READONLY);
    EXPECT_TRUE(historyStyle & ES_MULTILINE);
    EXPECT_TRUE(historyStyle & WS_VSCROLL);
    EXPECT_FALSE(historyStyle & ES_AUTOHSCROLL) << "long lines wrap";
    EXPECT_FALSE(GetWindowLongA(inputLine, GWL_STYLE) & ES_MULTILINE);

    RECT client;
    GetClientRect(mainWindow, &client);
    ExpectChildrenLaidOut(client.right, client.bottom);
    EXPECT_EQ(GetFocus(), inputLine);
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(MainWindowTest, EveryResizeLaysTheChildrenOutAgain) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    const SIZE sizes[] = {{640, 480}, {250, 120}, {1000, 700}};
    for (SIZE size : sizes) {
        SetWindowPos(mainWindow, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        PumpMessages(30);
        RECT client;
        GetClientRect(mainWindow, &client);
        ExpectChildrenLaidOut(client.right, client.bottom);
    }
}

TEST_F(MainWindowTest, TinyClientAreaDoesNotBreakTheNextLayout) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    SendMessageA(mainWindow, WM_SIZE, 0, MAKELPARAM(100, 10));
    EXPECT_EQ(ChildRectInParent(inputLine).top, 10 - 23);
    SendMessageA(mainWindow, WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 0));
    RequestLayout();
    RECT client;
    GetClientRect(mainWindow, &client);
    ExpectChildrenLaidOut(client.right, client.bottom);
}

TEST_F(MainWindowTest, InputLineTakesAtMostThreeHundredCharacters) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    TypeCharacters(inputLine, std::string(310, 'x'));
    EXPECT_EQ(WindowText(inputLine), std::string(300, 'x'));

    SetWindowTextA(inputLine, "");
    std::string pasted(400, 'p');
    ASSERT_TRUE(OpenClipboard(mainWindow));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, pasted.size() + 1);
    memcpy(GlobalLock(memory), pasted.c_str(), pasted.size() + 1);
    GlobalUnlock(memory);
    SetClipboardData(CF_TEXT, memory);
    CloseClipboard();
    SendMessageA(inputLine, WM_PASTE, 0, 0);
    EXPECT_EQ(WindowText(inputLine), std::string(300, 'p'));
}

TEST_F(MainWindowTest, EnterEmptiesTheInputLineAndCarriageReturnTypesNothing) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    TypeCharacters(inputLine, "hello");
    SendMessageA(inputLine, WM_CHAR, '\r', 1);  // Ctrl+M
    EXPECT_EQ(WindowText(inputLine), "hello");
    SendMessageA(inputLine, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(WindowText(inputLine), "");
    // Held down: repeated key-downs find an empty line and do no harm.
    SendMessageA(inputLine, WM_KEYDOWN, VK_RETURN, 1 | (1 << 30));
    EXPECT_EQ(WindowText(inputLine), "");
    TypeCharacters(inputLine, "ab");
    EXPECT_EQ(WindowText(inputLine), "ab") << "other keys still reach the control";
}

TEST_F(MainWindowTest, EnterHandsTheTypedLineToTheInterpreter) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    ClearHistory();
    TypeCharacters(inputLine, "hello");
    SendMessageA(inputLine, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(WindowText(historyPane), "***Not connected\r\n");
    TypeCharacters(inputLine, "/help");
    SendMessageA(inputLine, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(WindowText(historyPane).rfind("***Not connected\r\n***Available Commands:\r\n", 0), 0u);
    EXPECT_EQ(GetFocus(), inputLine);
}

TEST_F(MainWindowTest, HistoryAppendsAtTheEndExactlyAsGiven) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    ClearHistory();
    AppendHistory("Server closed...");
    AppendHistory("next\r\n");
    AppendHistory("odd\n\r");
    SendMessageA(historyPane, EM_SETSEL, 0, 3);  // the user selects text higher up
    AppendHistory("last %s\r\n");
    EXPECT_EQ(WindowText(historyPane), "Server closed...next\r\nodd\n\rlast %s\r\n");
    DWORD start = 0, end = 0;
    SendMessageA(historyPane, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, end);
    EXPECT_EQ(end, static_cast<DWORD>(GetWindowTextLengthA(historyPane)));
    ClearHistory();
    EXPECT_EQ(WindowText(historyPane), "");
}

TEST_F(MainWindowTest, FirstRunCreatesTheKeyWithAllElevenValues) {
    ASSERT_EQ(CountStoredValues(), -1) << "the private registry starts empty";
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    EXPECT_EQ(CountStoredValues(), 11);
    EXPECT_EQ(ReadStoredString("Nickname"), "YourNickName");
    EXPECT_EQ(ReadStoredString("SoundPath"), "beep.wav");
    EXPECT_EQ(ReadStoredString("QuitMessage"), "Leaving");
    DWORD value = 99;
    EXPECT_TRUE(ReadStoredDword("Trayicon", &value));
    EXPECT_EQ(value, 1u);
    EXPECT_TRUE(ReadStoredDword("AlwaysOnTop", &value));
    EXPECT_EQ(value, 0u);
}

TEST_F(MainWindowTest, StoredSettingsAreLoadedAtStart) {
    StoreString("Nickname", "Storedname");
    StoreDword("Toolbar", 0);
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    EXPECT_STREQ(chatSettings.Nickname, "Storedname");
    EXPECT_EQ(chatSettings.Toolbar, 0);
    RECT client;
    GetClientRect(mainWindow, &client);
    ExpectChildrenLaidOut(client.right, client.bottom);
    EXPECT_EQ(ChildRectInParent(historyPane).top, 0) << "no toolbar, no room for one";
}

TEST_F(MainWindowTest, ClosingSavesTheSettingsAndQuitsWithZero) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    strcpy(chatSettings.QuitMessage, "Changed in this run");
    chatSettings.Beep = 0;
    EXPECT_EQ(program.CloseAndWaitForQuit(), 0);
    EXPECT_FALSE(IsWindow(mainWindow));
    EXPECT_EQ(ReadStoredString("QuitMessage"), "Changed in this run");
    DWORD value = 99;
    EXPECT_TRUE(ReadStoredDword("Beep", &value));
    EXPECT_EQ(value, 0u);
}

TEST_F(MainWindowTest, ActivationIsTrackedAndGivesTheInputLineTheFocus) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    SendMessageA(mainWindow, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(windowActive, 0);
    SetFocus(historyPane);
    SendMessageA(mainWindow, WM_ACTIVATE, MAKEWPARAM(WA_CLICKACTIVE, 1), 0);
    EXPECT_EQ(windowActive, 1);
    EXPECT_EQ(GetFocus(), inputLine);
}

TEST_F(MainWindowTest, UnknownCommandsAreAnsweredZeroAndDoNothing) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    AppendHistory("kept\r\n");
    EXPECT_EQ(SendMessageA(mainWindow, WM_COMMAND, 0, 0), 0);
    EXPECT_EQ(SendMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(12345, 0), 0), 0);
    EXPECT_TRUE(IsWindow(mainWindow));
    EXPECT_NE(WindowText(historyPane).find("kept\r\n"), std::string::npos);
}

}  // namespace
