#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/win32/main_window.h"
#include "console/win32/console_win32.h"
#include "net/connection_state.h"
#include "popup/popup.h"
#include "res/resource.h"
#include "win32/test_support.h"

namespace {

// A real loopback connection whose one end the program sends on, so that
// what a popup puts on the wire can be read back.
class LoopbackPeer {
public:
    LoopbackPeer() {
        WSADATA data;
        WSAStartup(MAKEWORD(1, 1), &data);
        SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        int length = sizeof address;
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        listen(listener, 1);
        programEnd = socket(AF_INET, SOCK_STREAM, 0);
        connect(programEnd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        peerEnd = accept(listener, nullptr, nullptr);
        closesocket(listener);
    }
    ~LoopbackPeer() {
        closesocket(programEnd);
        closesocket(peerEnd);
        WSACleanup();
    }
    // Everything that arrives within the time.
    std::string Received(DWORD milliseconds) {
        std::string bytes;
        DWORD start = GetTickCount();
        while (GetTickCount() - start < milliseconds) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(peerEnd, &readable);
            timeval wait = {0, 50 * 1000};
            if (select(0, &readable, nullptr, nullptr, &wait) <= 0) {
                if (!bytes.empty()) break;
                continue;
            }
            char block[600];
            int n = recv(peerEnd, block, sizeof block, 0);
            if (n <= 0) break;
            bytes.append(block, static_cast<size_t>(n));
        }
        return bytes;
    }
    SOCKET programEnd = INVALID_SOCKET;
    SOCKET peerEnd = INVALID_SOCKET;
};

struct PopupSearch {
    std::string captionStart;
    std::vector<HWND> found;  // top of the window order first
};

BOOL CALLBACK CollectPopup(HWND window, LPARAM context) {
    PopupSearch* search = reinterpret_cast<PopupSearch*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
        WindowText(window).rfind(search->captionStart, 0) == 0) {
        search->found.push_back(window);
    }
    return TRUE;
}

std::vector<HWND> PopupWindows(const char* captionStart) {
    PopupSearch search{captionStart, {}};
    EnumWindows(CollectPopup, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class PopupWindowTest : public ::testing::Test {
protected:
    PrivateRegistry registry;
    MessageBoxWatcher boxes;
    ProgramWindow program;
    void SetUp() override {
        ASSERT_TRUE(program.started);
        strcpy(connectionState.peerName, "Ann");
    }
    void TearDown() override {
        // The test's own socket is gone by now; the program must not end it.
        connectionState.clientConnected = 0;
        connectionState.connSocket = NO_SOCKET;
        for (HWND window : PopupWindows("Send popup message to ")) DestroyWindow(window);
        for (HWND window : PopupWindows("Popup message from ")) DestroyWindow(window);
    }
    void ConnectTo(LoopbackPeer& peer) {
        connectionState.connSocket = static_cast<SocketHandle>(peer.programEnd);
        connectionState.clientConnected = 1;
    }
};

void Type(HWND control, const std::string& text) {
    for (char c : text) SendMessageA(control, WM_CHAR, static_cast<unsigned char>(c), 1);
}

TEST_F(PopupWindowTest, SendWindowOpensAddressedToThePeerAtTheCorner) {
    OpenSendPopup();
    std::vector<HWND> windows = PopupWindows("Send popup message to ");
    ASSERT_EQ(windows.size(), 1u);
    HWND window = windows[0];
    EXPECT_EQ(WindowText(window), "Send popup message to Ann");
    EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(GetFocus(), GetDlgItem(window, IDC_POPUP_TEXT));
    EXPECT_TRUE(SendMessageA(window, WM_GETICON, ICON_BIG, 0));
    EXPECT_TRUE(SendMessageA(window, WM_GETICON, ICON_SMALL, 0));
}

TEST_F(PopupWindowTest, TypingStopsAtFiveHundredAndSendTakesTheFirst149) {
    LoopbackPeer peer;
    ConnectTo(peer);
    OpenSendPopup();
    HWND window = PopupWindows("Send popup message to ")[0];
    HWND text = GetDlgItem(window, IDC_POPUP_TEXT);
    Type(text, std::string(510, 'x'));
    EXPECT_EQ(GetWindowTextLengthA(text), 500);

    SetWindowTextA(text, "");
    std::string typed;
    for (int i = 0; i < 200; ++i) typed.push_back(static_cast<char>('a' + i % 26));
    Type(text, typed);
    SendMessageA(window, WM_COMMAND, IDC_SEND, 0);
    EXPECT_FALSE(IsWindow(window)) << "Send closes the window";
    std::string wire = peer.Received(2000);
    std::string expected = std::string("\x02\x10") + typed.substr(0, 149) + "\x0C\x0D";
    ASSERT_EQ(wire.size(), 160u);
    EXPECT_EQ(wire.substr(0, expected.size()), expected);
    EXPECT_EQ(wire.substr(expected.size()), std::string(160 - expected.size(), '\0'));
}

TEST_F(PopupWindowTest, LineBreakCountsTwoAndArrivesAsALineBreak) {
    LoopbackPeer peer;
    ConnectTo(peer);
    OpenSendPopup();
    HWND window = PopupWindows("Send popup message to ")[0];
    HWND text = GetDlgItem(window, IDC_POPUP_TEXT);
    Type(text, "one");
    SendMessageA(text, WM_CHAR, '\r', 1);  // Enter starts a new line
    Type(text, "two");
    EXPECT_EQ(WindowText(text), "one\r\ntwo");
    SendMessageA(window, WM_COMMAND, IDC_SEND, 0);
    EXPECT_EQ(peer.Received(2000), std::string("\x02\x10one\r\ntwo\x0C\x0D\0\0\0\0\0\0\0\0\0\0", 20));

    ShowReceivedPopup("one\r\ntwo");
    HWND received = PopupWindows("Popup message from ")[0];
    EXPECT_EQ(WindowText(GetDlgItem(received, IDC_POPUP_TEXT)), "one\r\ntwo");
}

TEST_F(PopupWindowTest, EmptySendKeepsTheWindowOpenWithTheBox) {
    OpenSendPopup();
    HWND window = PopupWindows("Send popup message to ")[0];
    SendMessageA(window, WM_COMMAND, IDC_SEND, 0);  // the watcher closes the box
    EXPECT_TRUE(IsWindow(window));
    std::vector<std::string> texts = boxes.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "Unable to comply(empty message)");
    SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(IsWindow(window)) << "Cancel closes it";
}

TEST_F(PopupWindowTest, ReplyAfterThePeerLeftSaysNotConnectedAndCloses) {
    ShowReceivedPopup("Lunch?");
    std::vector<HWND> received = PopupWindows("Popup message from ");
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(WindowText(GetDlgItem(received[0], IDC_POPUP_TEXT)), "Lunch?");
    SendMessageA(received[0], WM_COMMAND, IDC_REPLY, 0);
    EXPECT_TRUE(IsWindow(received[0])) << "the received window stays";
    std::vector<HWND> reply = PopupWindows("Send popup message to ");
    ASSERT_EQ(reply.size(), 1u);
    EXPECT_EQ(WindowText(GetDlgItem(reply[0], IDC_POPUP_TEXT)), "") << "a reply starts empty";
    SetDlgItemTextA(reply[0], IDC_POPUP_TEXT, "Yes!");
    std::string before = WindowText(historyPane);
    SendMessageA(reply[0], WM_COMMAND, IDC_SEND, 0);
    EXPECT_FALSE(IsWindow(reply[0]));
    EXPECT_EQ(WindowText(historyPane), before + "***Not connected\r\n");
    SendMessageA(received[0], WM_COMMAND, IDC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(received[0]));
}

TEST_F(PopupWindowTest, TwoArrivalsGiveTwoWindowsTheNewerOnTop) {
    ShowReceivedPopup("first");
    strcpy(connectionState.peerName, "Bob");
    ShowReceivedPopup("second");
    std::vector<HWND> windows = PopupWindows("Popup message from ");
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(WindowText(GetDlgItem(windows[0], IDC_POPUP_TEXT)), "second") << "the newer one is on top";
    EXPECT_EQ(WindowText(windows[0]), "Popup message from Bob");
    EXPECT_EQ(WindowText(windows[1]), "Popup message from Ann") << "a caption keeps the name of its moment";
    for (HWND window : windows) {
        RECT rect;
        GetWindowRect(window, &rect);
        EXPECT_EQ(rect.left, 0);
        EXPECT_EQ(rect.top, 0);
    }
}

TEST_F(PopupWindowTest, ReceivedWindowShowsWhileTheMainWindowIsHidden) {
    ShowWindow(mainWindow, SW_HIDE);
    ShowReceivedPopup("still here");
    std::vector<HWND> windows = PopupWindows("Popup message from ");
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_TRUE(IsWindowVisible(windows[0]));
}

}  // namespace
