// The connection manager's Win32 side in the real main window: the start-up
// lines of the real WinSock, the Connect to dialog, the menu items and
// toolbar buttons it changes, and the flash timer.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/app_state.h"
#include "app/win32/main_window.h"
#include "app/win32/shell_parts.h"
#include "console/win32/console_win32.h"
#include "net/alerts.h"
#include "net/connection.h"
#include "net/incoming.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "win32/test_support.h"

namespace {

// A host name that no resolver knows, so that Connect to only starts a
// look-up and never reaches a listening copy of the program.
const char* const UNKNOWN_HOST = "norrik-test.invalid";

class ConnectionWindowTest : public ::testing::Test {
protected:
    PrivateRegistry registry;
    MessageBoxWatcher boxes;
};

void Command(int id) { SendMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

std::string MenuText(HMENU menu, int id) {
    char text[64] = "";
    if (GetMenuStringA(menu, static_cast<UINT>(id), text, sizeof text, MF_BYCOMMAND) <= 0) return "<none>";
    return text;
}

bool MenuGrayed(HMENU menu, int id) {
    return (GetMenuState(menu, static_cast<UINT>(id), MF_BYCOMMAND) & MF_GRAYED) != 0;
}

bool ButtonEnabled(int id) {
    return SendMessageA(toolbarWindow, TB_ISBUTTONENABLED, static_cast<WPARAM>(id), 0) != 0;
}

TEST_F(ConnectionWindowTest, StartUpLinesOfTheRealWinSockShareOneLineForDescriptionAndStatus) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    EXPECT_EQ(WindowText(historyPane),
              "Trying to initialize WinSock 1.1...\r\n"
              "Confirming that WinSock supports 1.1\r\n"
              "WinSock 1.1 started successfully\r\n"
              "WinSock 2.0  Running\r\n");
    EXPECT_EQ(connectionState.winsockStarted, 1);
    EXPECT_STREQ(connectionState.myName, "You");
    EXPECT_STREQ(connectionState.peerName, "Peer");
}

TEST_F(ConnectionWindowTest, OkHandsAtMostFortyNineCharactersToConnectToAndCloses) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    const std::string typed = std::string(60, 'h');
    const DWORD mainThread = GetCurrentThreadId();
    HWND focused = nullptr;
    HWND hostEdit = nullptr;
    DialogCloser closer("Connect to", IDC_CONNECT_OK, [&](HWND dialog) {
        hostEdit = GetDlgItem(dialog, IDC_HOST);
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        if (GetGUIThreadInfo(mainThread, &info)) focused = info.hwndFocus;
        SendMessageA(hostEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
    });
    Command(IDM_CONNECT);  // returns when the modal dialog has ended
    EXPECT_EQ(closer.seen.load(), 1);
    EXPECT_TRUE(hostEdit);
    EXPECT_EQ(focused, hostEdit) << "the host field has the focus";
    EXPECT_EQ(std::string(connectionState.hostText), std::string(49, 'h'));
    EXPECT_EQ(connectionState.resolving, 1) << "a name is looked up";
    Disconnect();
    EXPECT_EQ(connectionState.resolving, 0);
}

TEST_F(ConnectionWindowTest, EscapeTheCloseBoxAndIdcancelLeaveTheDialogOpen) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    bool visibleAfterIdcancel = false;
    bool visibleAfterCloseBox = false;
    DialogCloser closer("Connect to", IDC_CONNECT_OK, [&](HWND dialog) {
        HWND host = GetDlgItem(dialog, IDC_HOST);
        SendMessageA(host, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(UNKNOWN_HOST));
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        visibleAfterIdcancel = IsWindowVisible(dialog) != 0;
        SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        visibleAfterCloseBox = IsWindowVisible(dialog) != 0;
        // Escape goes through the dialog's own message loop, ahead of the OK
        // the closer posts next: had it closed the dialog, OK would find none.
        PostMessageA(host, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(host, WM_KEYUP, VK_ESCAPE, 0);
    });
    Command(IDM_CONNECT);
    EXPECT_EQ(closer.seen.load(), 1);
    EXPECT_TRUE(visibleAfterIdcancel);
    EXPECT_TRUE(visibleAfterCloseBox);
    EXPECT_STREQ(connectionState.hostText, UNKNOWN_HOST) << "OK still found the dialog open";
    EXPECT_EQ(connectionState.resolving, 1);
    Disconnect();
}

TEST_F(ConnectionWindowTest, EnterActsAsOk) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    // The closer's own command is Cancel: only Enter can have connected.
    DialogCloser closer("Connect to", IDC_CONNECT_CANCEL, [&](HWND dialog) {
        HWND host = GetDlgItem(dialog, IDC_HOST);
        SendMessageA(host, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(UNKNOWN_HOST));
        PostMessageA(host, WM_KEYDOWN, VK_RETURN, 0);
        PostMessageA(host, WM_KEYUP, VK_RETURN, 0);
    });
    Command(IDT_CONNECT);
    EXPECT_EQ(closer.seen.load(), 1);
    EXPECT_STREQ(connectionState.hostText, UNKNOWN_HOST);
    EXPECT_EQ(connectionState.resolving, 1);
    Disconnect();
}

TEST_F(ConnectionWindowTest, CancelClosesWithoutConnecting) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    const std::string before = WindowText(historyPane);
    DialogCloser closer("Connect to", IDC_CONNECT_CANCEL, [&](HWND dialog) {
        SendMessageA(GetDlgItem(dialog, IDC_HOST), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(UNKNOWN_HOST));
    });
    Command(IDM_CONNECT);
    EXPECT_EQ(closer.seen.load(), 1);
    EXPECT_STREQ(connectionState.hostText, "");
    EXPECT_EQ(connectionState.resolving, 0);
    EXPECT_EQ(WindowText(historyPane), before);
    EXPECT_TRUE(ButtonEnabled(IDT_CONNECT));
}

TEST_F(ConnectionWindowTest, ServerControlsSwapInTheRealMenuAndToolbar) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    ASSERT_TRUE(toolbarWindow);
    HMENU menu = GetMenu(mainWindow);
    Command(IDM_START_SERVER);
    ASSERT_EQ(connectionState.serverListening, 1) << WindowText(historyPane);
    EXPECT_EQ(MenuText(menu, IDM_STOP_SERVER), "&Stop Server");
    EXPECT_EQ(MenuText(menu, IDM_START_SERVER), "<none>");
    EXPECT_TRUE(MenuGrayed(menu, IDM_CONNECT));
    EXPECT_FALSE(ButtonEnabled(IDT_START_SERVER));
    EXPECT_TRUE(ButtonEnabled(IDT_STOP_SERVER));
    EXPECT_FALSE(ButtonEnabled(IDT_CONNECT));
    const std::string text = WindowText(historyPane);
    EXPECT_NE(text.find("WinSock 2.0  Running\r\nServer started...\r\n\r\n***Your IP number is: "), std::string::npos)
        << text;

    Command(IDT_STOP_SERVER);
    EXPECT_EQ(connectionState.serverListening, 0);
    EXPECT_EQ(MenuText(menu, IDM_START_SERVER), "&Start Server");
    EXPECT_EQ(MenuText(menu, IDM_STOP_SERVER), "<none>");
    EXPECT_FALSE(MenuGrayed(menu, IDM_CONNECT));
    EXPECT_TRUE(ButtonEnabled(IDT_START_SERVER));
    EXPECT_FALSE(ButtonEnabled(IDT_STOP_SERVER));
    EXPECT_TRUE(ButtonEnabled(IDT_CONNECT));
    EXPECT_TRUE(MenuGrayed(menu, IDM_SEND_POPUP));
    EXPECT_TRUE(MenuGrayed(trayMenu, IDM_TRAY_SEND_POPUP));
    EXPECT_FALSE(ButtonEnabled(IDT_SEND_POPUP));
    const std::string after = WindowText(historyPane);
    EXPECT_EQ(after.substr(after.size() - 16), "Server closed...");
}

TEST_F(ConnectionWindowTest, ClientControlsSwapInTheRealMenuAndToolbar) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    HMENU menu = GetMenu(mainWindow);
    ConnectTo(UNKNOWN_HOST);
    EXPECT_EQ(MenuText(menu, IDM_DISCONNECT), "&Disconnect");
    EXPECT_EQ(MenuText(menu, IDM_CONNECT), "<none>");
    EXPECT_TRUE(MenuGrayed(menu, IDM_START_SERVER));
    EXPECT_FALSE(ButtonEnabled(IDT_CONNECT));
    EXPECT_TRUE(ButtonEnabled(IDT_DISCONNECT));
    EXPECT_FALSE(ButtonEnabled(IDT_START_SERVER));
    EXPECT_FALSE(ButtonEnabled(IDT_STOP_SERVER));

    Command(IDM_DISCONNECT);
    EXPECT_EQ(MenuText(menu, IDM_CONNECT), "&Connect to...");
    EXPECT_EQ(MenuText(menu, IDM_DISCONNECT), "<none>");
    EXPECT_FALSE(MenuGrayed(menu, IDM_START_SERVER));
    EXPECT_TRUE(ButtonEnabled(IDT_CONNECT));
    EXPECT_FALSE(ButtonEnabled(IDT_DISCONNECT));
    EXPECT_TRUE(ButtonEnabled(IDT_START_SERVER));
    EXPECT_EQ(connectionState.resolving, 0);
}

TEST_F(ConnectionWindowTest, GreetingEnablesSendPopupInBothMenusAndTheToolbar) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    EXPECT_TRUE(MenuGrayed(GetMenu(mainWindow), IDM_SEND_POPUP));
    DispatchIncoming("\x02\x20Zed");
    EXPECT_FALSE(MenuGrayed(GetMenu(mainWindow), IDM_SEND_POPUP));
    EXPECT_FALSE(MenuGrayed(trayMenu, IDM_TRAY_SEND_POPUP));
    EXPECT_TRUE(ButtonEnabled(IDT_SEND_POPUP));
    const std::string text = WindowText(historyPane);
    EXPECT_EQ(text.substr(text.size() - 31), "*** You are connected to Zed.\r\n");
}

TEST_F(ConnectionWindowTest, InactiveWindowGetsTheFlashTimerAndActivationStopsIt) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    chatSettings.FlashTitle = 1;
    chatSettings.Beep = 1;  // Beep does not hold the thread under Wine
    SendMessageA(mainWindow, WM_ACTIVATE, WA_INACTIVE, 0);
    ASSERT_EQ(windowActive, 0);
    DispatchIncoming("\x01hello");
    EXPECT_EQ(flashing, 1);
    SendMessageA(mainWindow, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(flashing, 0);
    EXPECT_FALSE(KillTimer(mainWindow, FLASH_TIMER_ID)) << "activation killed the timer";

    SendMessageA(mainWindow, WM_ACTIVATE, WA_INACTIVE, 0);
    DispatchIncoming("\x01" "again");
    EXPECT_TRUE(KillTimer(mainWindow, FLASH_TIMER_ID)) << "timer 100 runs on the main window";
    flashing = 0;
    const std::string text = WindowText(historyPane);
    EXPECT_EQ(text.substr(text.size() - 28), "<Peer> hello\r\n<Peer> again\r\n");
}

}  // namespace
