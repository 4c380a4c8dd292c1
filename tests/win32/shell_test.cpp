// What only the real Win32 shell can get wrong, as the user meets it. The main
// window starts in this process through the program's own start-up code, with
// a private HKEY_CURRENT_USER; modal dialogs and boxes are answered by a thread.
#include <winsock2.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shellapi.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "win32/private_messages.h"
#include "win32/main_window.h"
#include "win32/shell_parts.h"
#include "console/history.h"
#include "win32/console.h"
#include "fakes/reset_core.h"
#include "net/alerts.h"
#include "net/connection.h"
#include "net/connection_state.h"
#include "net/incoming.h"
#include "res/resource.h"
#include "seams/popups.h"
#include "settings/settings.h"

namespace {

// A peer of the test's own for the server started in the test process;
// its reads do not block.
SOCKET PeerOnLoopback() {
    SOCKET peer = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {AF_INET, htons(6374), {{{127, 0, 0, 1}}}, {}};
    EXPECT_EQ(connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    u_long nonBlocking = 1;
    ioctlsocket(peer, FIONBIO, &nonBlocking);
    return peer;
}

void Pump(DWORD milliseconds) {
    MSG message;
    for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(5)) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) TranslateMessage(&message), DispatchMessageA(&message);
    }
}

std::string WindowText(HWND window) {
    std::string text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(window, &text[0], static_cast<int>(text.size()))));
    return text;
}

void Command(int id) { SendMessageA(shell.mainWindow, WM_COMMAND, static_cast<WPARAM>(id), 0); }

// Visible dialog windows of this process whose caption starts so, the topmost first.
std::vector<HWND> Dialogs(const std::string& caption) {
    std::vector<HWND> found;
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32770", nullptr)) != nullptr;) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        bool ours = process == GetCurrentProcessId() && IsWindowVisible(window);
        if (ours && WindowText(window).rfind(caption, 0) == 0) found.push_back(window);
    }
    return found;
}

// From a thread of its own, finds each dialog of this process with the caption, lets onFound look
// at it (the GUI thread answers from inside its modal loop), then posts it the closing command.
struct DialogCloser {
    DialogCloser(const std::string& caption, int closing, std::function<void(HWND)> onFound = {}, int rounds = 200)
        : thread([this, caption, closing, onFound, rounds] {
              for (int round = 1; !stop; Sleep(30), ++round) {
                  for (HWND dialog : Dialogs(caption)) {
                      if (onFound) onFound(dialog);
                      ++seen;
                      PostMessageA(dialog, WM_COMMAND, static_cast<WPARAM>(closing), 0);
                      Sleep(100);
                  }
                  // A dialog of another caption is ended too, unseen, so that no test waits for ever.
                  for (HWND dialog : round == rounds && !seen ? Dialogs("") : std::vector<HWND>())
                      PostMessageA(dialog, WM_COMMAND, static_cast<WPARAM>(closing), 0);
              }
          }) {}
    ~DialogCloser() {
        stop = true;
        thread.join();
    }
    std::atomic<bool> stop{false};
    std::atomic<int> seen{0};
    std::thread thread;  // last: it uses the others
};

void Store(const char* name, DWORD value) {
    RegSetKeyValueA(HKEY_CURRENT_USER, SETTINGS_KEY, name, REG_DWORD, &value, sizeof value);
}

std::string Stored(const char* name) {  // a string as stored, a DWORD in decimal
    char data[512] = "";
    DWORD type = 0, size = sizeof data - 1, value = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, SETTINGS_KEY, name, RRF_RT_ANY, &type, data, &size)) type = 0;
    memcpy(&value, data, sizeof value);
    return type == REG_SZ ? std::string(data) : type == REG_DWORD ? std::to_string(value) : "<missing>";
}

class ShellTest : public ::testing::Test {
protected:
    ShellTest() {
        RegDeleteTreeA(HKEY_CURRENT_USER, rootPath_.c_str());  // left by a test that crashed
        RegCreateKeyA(HKEY_CURRENT_USER, rootPath_.c_str(), &root_);
        RegOverridePredefKey(HKEY_CURRENT_USER, root_);
    }
    ~ShellTest() override {
        Stop();
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(root_);
        RegDeleteTreeA(HKEY_CURRENT_USER, rootPath_.c_str());
        boxCloser_.reset();
        EXPECT_EQ(boxes_, expectedBoxes);
    }
    bool Start() {  // as WinMain does
        ResetCoreState();
        int exitCode = -1;
        bool started = StartMainWindow(GetModuleHandleA(nullptr), &exitCode) && exitCode == 0;
        Pump(100);
        return started;
    }
    // Destroys whatever is left, and forgets the window class and the settings.
    void Stop() {
        if (IsWindow(shell.mainWindow)) DestroyWindow(shell.mainWindow);
        Pump(50);  // the quit message and whatever the windows left behind
        UnregisterClassA(MAIN_WINDOW_CLASS, GetModuleHandleA(nullptr));
        RegDeleteTreeA(HKEY_CURRENT_USER, SETTINGS_KEY);
    }
    // The texts of the message boxes the test expects (all are captioned "Error").
    std::vector<std::string> expectedBoxes;

private:
    const std::string rootPath_ = "Software\\NorrikTests\\" + std::to_string(GetCurrentProcessId());
    HKEY root_ = nullptr;
    std::vector<std::string> boxes_;
    std::unique_ptr<DialogCloser> boxCloser_ = std::make_unique<DialogCloser>("Error", IDOK, [this](HWND box) {
        boxes_.push_back(WindowText(GetDlgItem(box, 0xFFFF)));  // where a box keeps its text
    }, 1 << 30);
};

bool IconPresent(HWND owner) {  // asks the notification area without changing the icon
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = owner;
    data.uID = 101;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

std::string Rect(long l, long t, long r, long b) {
    return std::to_string(l) + "," + std::to_string(t) + " " + std::to_string(r) + "," + std::to_string(b);
}

std::string Where(HWND window, HWND parent) {
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return Rect(r.left, r.top, r.right, r.bottom);
}

// The history pane fills the width from below the toolbar (when the setting
// shows one) to a gap above the input line, which fills the bottom.
void ExpectLaidOut(bool toolbar, int gap = 2, int input = 23) {
    RECT c;
    GetClientRect(shell.mainWindow, &c);
    EXPECT_EQ(shell.toolbarWindow && shell.toolbarBottom > 0, toolbar);
    EXPECT_EQ(Where(shell.historyPane, shell.mainWindow),
              Rect(0, toolbar ? shell.toolbarBottom + gap : 0, c.right, c.bottom - gap - input));
    EXPECT_EQ(Where(shell.inputLine, shell.mainWindow), Rect(0, c.bottom - input, c.right, c.bottom));
}

// What shows the scale the window is drawn at: its outer size, the size of
// the toolbar's images and buttons, and of its small and large icons.
std::string Scale() {
    RECT outer;
    GetWindowRect(shell.mainWindow, &outer);
    int images = 0, unused = 0;
    ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendMessageA(shell.toolbarWindow, TB_GETIMAGELIST, 0, 0)), &images,
                          &unused);
    const LRESULT buttons = SendMessageA(shell.toolbarWindow, TB_GETBUTTONSIZE, 0, 0);
    std::string text = std::to_string(outer.right - outer.left) + "x" + std::to_string(outer.bottom - outer.top) +
                       ", images " + std::to_string(images) + ", buttons " + std::to_string(LOWORD(buttons)) + "x" +
                       std::to_string(HIWORD(buttons)) + ", icons";
    for (WPARAM kind : {ICON_SMALL, ICON_BIG}) {
        ICONINFO info = {};
        BITMAP bitmap = {};
        GetIconInfo(reinterpret_cast<HICON>(SendMessageA(shell.mainWindow, WM_GETICON, kind, 0)), &info);
        GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        text += " " + std::to_string(bitmap.bmWidth);
    }
    return text;
}

const struct { int dpi; std::string scale; int gap, input; } SCALES[] = {
    {96, "400x300, images 16, buttons 23x22, icons 16 32", 2, 23},
    {144, "600x450, images 24, buttons 31x30, icons 24 48", 3, 35},
    {192, "800x600, images 32, buttons 39x38, icons 32 64", 4, 46},
};

TEST_F(ShellTest, StoredSettingsDecideHowItStarts) {
    const struct { const char* name[2]; DWORD value[2]; bool visible, icon, toolbar, topmost; } rows[] = {
        {{"Beep", "Beep"}, {1, 1}, true, true, true, false},  // the defaults
        {{"StartInTray", "Trayicon"}, {1, 1}, false, true, true, false},
        {{"StartInTray", "Trayicon"}, {1, 0}, true, false, true, false},
        {{"Toolbar", "AlwaysOnTop"}, {0, 1}, true, true, false, true},
        {{"AlwaysOnTop", "Toolbar"}, {5, 1}, true, true, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.name[0]) + " " + row.name[1]);
        for (int i : {0, 1}) Store(row.name[i], row.value[i]);
        ASSERT_TRUE(Start());
        EXPECT_EQ(IsWindowVisible(shell.mainWindow) != FALSE, row.visible);
        EXPECT_EQ(IconPresent(shell.mainWindow), row.icon);
        EXPECT_EQ((GetWindowLongA(shell.mainWindow, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, row.topmost);
        EXPECT_EQ(GetMenuState(shell.trayMenu, IDM_TRAY_SEND_POPUP, MF_BYCOMMAND) & MF_GRAYED, UINT(MF_GRAYED)) << "no peer";
        ExpectLaidOut(row.toolbar);
        Stop();
    }
}

// The program's manifest, linked into these tests too, sends the process
// to the themed common controls, version 6. (Wine's one comctl32 says 5.81
// either way, so the redirection is what can be seen.)
TEST(ManifestTest, SendsTheProcessToCommonControlsSix) {
    ACTCTX_SECTION_KEYED_DATA found = {};
    found.cbSize = sizeof found;
    ASSERT_TRUE(FindActCtxSectionStringA(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, "comctl32.dll", &found));
    std::vector<char> info(4096);
    DWORD index = found.ulAssemblyRosterIndex;
    ASSERT_TRUE(QueryActCtxW(0, found.hActCtx, &index, AssemblyDetailedInformationInActivationContext,
                             info.data(), info.size(), nullptr));
    const std::wstring identity =
        reinterpret_cast<ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(info.data())->lpAssemblyEncodedAssemblyIdentity;
    EXPECT_EQ(identity.substr(0, identity.find(L',')), L"Microsoft.Windows.Common-Controls");
    EXPECT_NE(identity.find(L"version=\"6."), std::wstring::npos) << std::string(identity.begin(), identity.end());
}

// Windows proposes the place that keeps the window the same size to the
// eye; the program takes it and redraws everything at the new scale.
TEST_F(ShellTest, MovedToADisplayOfAnotherScaleItRedrawsAtThatScale) {
    ASSERT_TRUE(Start());
    for (int i : {1, 2, 0}) {
        const auto& scale = SCALES[i];
        RECT proposed = {10, 20, 10 + scale.dpi * 400 / 96, 20 + scale.dpi * 300 / 96};
        SendMessageA(shell.mainWindow, WM_DPICHANGED, MAKEWPARAM(scale.dpi, scale.dpi), reinterpret_cast<LPARAM>(&proposed));
        EXPECT_EQ(Scale(), scale.scale);
        EXPECT_EQ(Where(shell.mainWindow, HWND_DESKTOP), Rect(10, 20, proposed.right, proposed.bottom));
        ExpectLaidOut(true, scale.gap, scale.input);
    }
}

// Run on a prefix of its own whose desktop is at 144 DPI (see CMakeLists).
class At144DpiTest : public ShellTest {};
TEST_F(At144DpiTest, StartsDrawnAtTheDesktopScale) {
    ASSERT_EQ(DpiOf(nullptr), 144) << "the desktop is not at 144 DPI";
    ASSERT_TRUE(Start());
    EXPECT_EQ(Scale(), SCALES[1].scale);
    ExpectLaidOut(true, SCALES[1].gap, SCALES[1].input);
}

TEST_F(ShellTest, InputLineHasTheFocusTakesThreeHundredCharactersAndEnterHandsThemOver) {
    ASSERT_TRUE(Start());
    EXPECT_EQ(GetFocus(), shell.inputLine);
    SendMessageA(shell.mainWindow, WM_ACTIVATE, WA_INACTIVE, 0);
    DispatchIncoming("\x01hello");  // flashes the title of an inactive window
    SetFocus(shell.historyPane);
    SendMessageA(shell.mainWindow, WM_ACTIVATE, MAKEWPARAM(WA_CLICKACTIVE, 1), 0);  // clicked while minimised
    EXPECT_EQ(GetFocus(), shell.inputLine);
    EXPECT_FALSE(KillTimer(shell.mainWindow, FLASH_TIMER_ID)) << "activation has stopped the flashing";
    SendMessageA(shell.mainWindow, WM_ACTIVATE, WA_INACTIVE, 0);
    DispatchIncoming("\x01" "again");
    EXPECT_TRUE(KillTimer(shell.mainWindow, FLASH_TIMER_ID)) << "the flashing runs on the main window's timer";
    // Typed characters ('\r' alone is Ctrl+M), then Enter key-downs that the
    // loop translates into characters too.
    const struct { std::string typed; int enters; std::string input, history; } rows[] = {
        {std::string(310, 'x'), 0, std::string(300, 'x'), ""},
        {"he\rllo", 0, "hello", ""},
        {"hello", 1, "", "***Not connected\r\n"},
        {"", 2, "", "***Not connected\r\n***Not connected\r\n"},  // held down
    };
    for (const auto& row : rows) {
        Command(IDM_CLEAR_HISTORY);
        for (char c : row.typed) SendMessageA(shell.inputLine, WM_CHAR, static_cast<unsigned char>(c), 1);
        for (int i = 0; i < row.enters; ++i) PostMessageA(shell.inputLine, WM_KEYDOWN, VK_RETURN, 0x001C0001);
        Pump(50);
        EXPECT_EQ(WindowText(shell.inputLine) + "|" + WindowText(shell.historyPane), row.input + "|" + row.history);
        SetWindowTextA(shell.inputLine, "");
    }
}

TEST_F(ShellTest, HistoryPaneKeepsEveryTextAtTheEndPastThirtyThousandCharacters) {
    ASSERT_TRUE(Start());
    Command(IDM_CLEAR_HISTORY);
    std::string expected = "joined line\r\nodd\n\r";
    for (const char* text : {"joined ", "line\r\n", "odd\n\r"}) AppendHistory(text);
    SendMessageA(shell.historyPane, EM_SETSEL, 0, 3);  // the user selects text higher up
    for (int i = 0; expected.size() < 40000; ++i) {
        std::string line = "line " + std::to_string(i) + " of a long conversation, %s %n kept as is\r\n";
        AppendHistory(line.c_str());
        expected += line;
    }
    EXPECT_EQ(WindowText(shell.historyPane), expected);
    EXPECT_EQ(SendMessageA(shell.historyPane, EM_GETSEL, 0, 0), MAKELONG(expected.size(), expected.size())) << "caret";
}

TEST_F(ShellTest, AFullHistoryPaneDropsItsOldestLinesAndKeepsTheNewest) {
    ASSERT_TRUE(Start());
    Command(IDM_CLEAR_HISTORY);
    std::string lines;  // 10,000 lines of 100 characters: the capacity exactly
    for (int n = 0; n < 10000; ++n) {
        std::string line = "line " + std::to_string(n) + std::string(93 - std::to_string(n).size(), '.') + "\r\n";
        AppendHistory(line.c_str());
        if (n >= 2501) lines += line;
    }
    Pump(50);
    EXPECT_EQ(GetWindowTextLengthA(shell.historyPane), 1000000);
    AppendHistory("the newest");  // in the same burst as the next, still pending
    AppendHistory(" line\r\n");
    EXPECT_TRUE(WindowText(shell.historyPane) == lines + "the newest line\r\n") << WindowText(shell.historyPane).substr(0, 20);
}

void CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(99); }

TEST_F(ShellTest, EveryWayOutQuitsWithZeroStoresTheTogglesAndRemovesTheIcon) {
    const std::pair<UINT, int> ways[] = {{WM_CLOSE, 0}, {WM_COMMAND, IDM_EXIT}, {WM_COMMAND, IDM_TRAY_QUIT}};
    for (auto way : ways) {
        ASSERT_TRUE(Start());
        HWND window = shell.mainWindow;
        Command(IDM_ALWAYS_ON_TOP);
        Command(IDM_SHOW_TOOLBAR);
        PostMessageA(window, way.first, static_cast<WPARAM>(way.second), 0);
        UINT_PTR guard = SetTimer(nullptr, 0, 5000, GiveUp);
        EXPECT_EQ(RunMessageLoop(), 0) << way.second;  // the program's own loop
        KillTimer(nullptr, guard);
        EXPECT_FALSE(IsWindow(window) || IconPresent(window));
        EXPECT_EQ(Stored("AlwaysOnTop") + Stored("Toolbar") + Stored("QuitMessage"), "10Leaving");
        Stop();
    }
}

// A menu's items, each ended by a comma, separators left out; '~' marks grayed, '+' checked.
std::string Items(HMENU menu) {
    std::string text;
    for (UINT i = 0; i < static_cast<UINT>(GetMenuItemCount(menu)); ++i) {
        char item[64] = "";
        UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        if (!GetMenuStringA(menu, i, item, sizeof item, MF_BYPOSITION)) continue;
        text += std::string(state & MF_GRAYED ? "~" : "") + (state & MF_CHECKED ? "+" : "") + item + ",";
    }
    return text;
}

// File | View | Connection | the tray menu | toolbar buttons Connect to Help.
std::string Controls() {
    std::string text;
    for (int i = 0; i < 3; ++i) text += Items(GetSubMenu(GetMenu(shell.mainWindow), i)) + " | ";
    text += Items(GetSubMenu(shell.trayMenu, 0)) + " | ";
    for (int id = IDT_CONNECT; shell.toolbarWindow && id <= IDT_HELP; ++id)
        text += SendMessageA(shell.toolbarWindow, TB_ISBUTTONENABLED, static_cast<WPARAM>(id), 0) ? '1' : '0';
    return text;
}

const char* const UNKNOWN_HOST = "norrik-test.invalid";  // a look-up that finds nobody

TEST_F(ShellTest, MenusAndToolbarFollowEveryTransitionAndTheButtonsHaveTooltips) {
    ASSERT_TRUE(Start());
    const std::string view = " | &Clear History,&Always on top,+&Show Toolbar,&Options..., | ";
    const std::string idle = "&Connect to...,&Start Server,&Exit," + view;
    const std::string server = "~&Connect to...,&Stop Server,&Exit," + view;
    const std::string gray = "~&Send Popup..., | &Hide,~&Send Popup...,&Options...,&About,&Quit, | ";
    const std::string greeted = "&Send Popup..., | &Hide,&Send Popup...,&Options...,&About,&Quit, | ";
    SOCKET peer = INVALID_SOCKET;
    const struct { std::function<void()> act; std::string controls; } rows[] = {
        {[] {}, idle + gray + "101001"},
        {[] { Command(IDM_START_SERVER); }, server + gray + "000101"},
        {[] { Command(IDM_SHOW_TOOLBAR), Command(IDM_SHOW_TOOLBAR); }, server + gray + "000111"},  // rebuilt
        {[] { Command(IDT_STOP_SERVER); }, idle + gray + "101001"},
        {[] { ConnectTo(UNKNOWN_HOST); }, "&Disconnect,~&Start Server,&Exit," + view + gray + "010001"},
        {[] { Command(IDM_DISCONNECT); }, idle + gray + "101001"},
        {[&peer] {
             Command(IDM_START_SERVER);
             peer = PeerOnLoopback();
             send(peer, "\x02\x20Zed\x0C\x0D\0\0\0\0", 10, 0);  // its greeting
             Pump(300);
         },
         server + greeted + "000111"},
        {[] { Command(IDM_ALWAYS_ON_TOP); }, "~&Connect to...,&Stop Server,&Exit, | &Clear History,+&Always on top,"
                                             "+&Show Toolbar,&Options..., | " + greeted + "000111"},
        {[] { Command(IDM_ALWAYS_ON_TOP), Command(IDM_SHOW_TOOLBAR); },
         "~&Connect to...,&Stop Server,&Exit, | &Clear History,&Always on top,&Show Toolbar,&Options..., | " +
             greeted},
    };
    for (const auto& row : rows) {
        row.act();
        EXPECT_EQ(Controls(), row.controls);
    }
    closesocket(peer);
    ExpectLaidOut(false);
    Command(IDM_SHOW_TOOLBAR);
    const char* const tips[] = {"Connect", "Disconnect", "Start Server", "Stop Server", "Send Popup...", "Help"};
    for (UINT_PTR id = IDT_CONNECT; id <= IDT_HELP; ++id) {
        char text[80] = "";  // as the tooltip control asks the toolbar, which asks the main window
        TTTOOLINFOA tool = {TTTOOLINFOA_V1_SIZE, 0, shell.toolbarWindow, id, {}, nullptr, text, 0, nullptr};
        SendMessageA(shell.toolbarTooltip, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
        EXPECT_STREQ(text, tips[id - IDT_CONNECT]);
        // As Common Controls 6 may ask: in UTF-16.
        NMTTDISPINFOW wide = {{shell.toolbarTooltip, id, TTN_NEEDTEXTW}, nullptr, {}, nullptr, 0, 0};
        SendMessageA(shell.mainWindow, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&wide));
        EXPECT_EQ(std::string(wide.szText, wide.szText + wcslen(wide.szText)), tips[id - IDT_CONNECT]);
    }
}

TEST_F(ShellTest, TrayIconHidesAndShowsTheWindowAndItsMenuSaysWhatComesNext) {
    ASSERT_TRUE(Start());
    // A mouse message over the icon, a command, or 0 to minimise.
    const struct { UINT event; bool visible, iconic; } rows[] = {
        {WM_LBUTTONDBLCLK, false, false}, {WM_LBUTTONDBLCLK, true, false}, {IDM_TRAY_HIDE, false, false},
        {WM_LBUTTONUP, false, false},     {IDM_TRAY_SHOW, true, false},    {WM_LBUTTONDOWN, true, false},
        {WM_MOUSEMOVE, true, false},      {0, true, true},                 {WM_LBUTTONDBLCLK, false, true},
        {WM_LBUTTONDBLCLK, true, true},  // shown again, still minimised
    };
    for (const auto& row : rows) {
        if (row.event == 0) ShowWindow(shell.mainWindow, SW_MINIMIZE);
        if (row.event > 0 && row.event < WM_USER) SendMessageA(shell.mainWindow, WM_TRAY_NOTIFY, 101, row.event);
        if (row.event >= WM_USER) Command(static_cast<int>(row.event));
        Pump(30);
        HMENU tray = GetSubMenu(shell.trayMenu, 0);
        EXPECT_EQ(std::to_string(GetMenuItemID(tray, 0)) + Items(tray).substr(0, 5),
                  row.visible ? "40011&Hide" : "9934&Show") << row.event;  // IDM_TRAY_HIDE, IDM_TRAY_SHOW
        EXPECT_EQ(IsWindowVisible(shell.mainWindow) != FALSE, row.visible) << row.event;
        EXPECT_EQ(IsIconic(shell.mainWindow) != FALSE, row.iconic) << row.event;
    }
}

TEST_F(ShellTest, ConnectDialogTakesFortyNineCharactersAndOnlyOkOrEnterEndIt) {
    ASSERT_TRUE(Start());
    const struct { std::string typed; bool enter; int closing; std::string host; } rows[] = {
        {UNKNOWN_HOST, false, IDC_CONNECT_CANCEL, ""},
        {UNKNOWN_HOST, true, IDC_CONNECT_CANCEL, UNKNOWN_HOST},
        {std::string(60, 'h'), false, IDC_CONNECT_OK, std::string(49, 'h')},
    };
    for (const auto& row : rows) {
        bool focused = false;
        LRESULT typable = 0;
        DialogCloser closer("Connect to", row.closing, [&](HWND dialog) {
            HWND host = GetDlgItem(dialog, IDC_HOST);
            typable = SendMessageA(host, EM_GETLIMITTEXT, 0, 0);
            GUITHREADINFO info = {sizeof info, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, {}};
            focused = GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus == host;
            SendMessageA(host, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(row.typed.c_str()));
            // None of these ends it; the keys go through its loop ahead of the closing command.
            SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            PostMessageA(host, WM_KEYDOWN, VK_ESCAPE, 0);
            if (row.enter) PostMessageA(host, WM_KEYDOWN, VK_RETURN, 0);
        });
        Command(IDT_CONNECT);
        // Ended by the first closing command, the focus in the host field at first.
        EXPECT_EQ(std::to_string(closer.seen) + (focused ? " focused " : " ") + connectionState.hostText,
                  "1 focused " + row.host);
        EXPECT_EQ(typable, 49) << "typing stops at the longest host name";
        EXPECT_EQ(Items(GetSubMenu(GetMenu(shell.mainWindow), 0)).substr(0, 3), row.host.empty() ? "&Co" : "&Di");
        Disconnect();
    }
}

TEST_F(ShellTest, OptionsShowTheStoreAndOnlyOkStoresWhatWasEntered) {
    Store("IgnorePopup", 7);
    Store("Beep", 0);
    ASSERT_TRUE(Start());
    const struct { int id; const char* name; std::string before, entered, after; } texts[] = {
        {IDC_NICKNAME, "Nickname", "YourNickName", std::string(35, 'n'), std::string(29, 'n')},
        {IDC_SOUNDPATH, "SoundPath", "beep.wav", "C:\\" + std::string(190, 'p'), "C:\\" + std::string(146, 'p')},
        {IDC_QUITMESSAGE, "QuitMessage", "Leaving", "Gone %s fishing", "Gone %s fishing"},
    };
    // Each box clicked once, in this order: Start in tray goes with the icon.
    const struct { int id; const char* name; const char* before; const char* after; } boxes[] = {
        {IDC_FLASHTITLE, "FlashTitle", "1", "0"}, {IDC_BEEP, "Beep", "0", "1"},
        {IDC_IGNOREPOPUP, "IgnorePopup", "7", "0"}, {IDC_PLAYSOUND, "PlaySound", "1", "0"},
        {IDC_STARTINTRAY, "StartInTray", "0", "0"}, {IDC_TRAYICON, "Trayicon", "1", "0"},
        {IDC_REQUIREENCRYPTION, "RequireEncryption", "0", "1"},
    };
    for (int closing : {IDCANCEL, IDOK}) {
        std::string shown;
        DialogCloser browse("Browse for .wav file(Norrik)", IDCANCEL);
        DialogCloser closer("Options", closing, [&](HWND sheet) {
            HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
            for (const auto& text : texts) shown += WindowText(GetDlgItem(page, text.id)) + "|";
            for (const auto& box : boxes) shown += SendDlgItemMessageA(page, box.id, BM_GETCHECK, 0, 0) ? 'x' : '-';
            for (const auto& text : texts) SetDlgItemTextA(page, text.id, text.entered.c_str());
            for (const auto& box : boxes) SendDlgItemMessageA(page, box.id, BM_CLICK, 0, 0);
            shown += IsWindowEnabled(GetDlgItem(page, IDC_STARTINTRAY)) ? " enabled" : " disabled";
            SendDlgItemMessageA(page, IDC_BROWSE, BM_CLICK, 0, 0);  // cancelled: the field stays
        });
        Command(closing == IDOK ? IDM_OPTIONS : IDM_TRAY_OPTIONS);
        ASSERT_EQ(closer.seen.load() + browse.seen.load(), 2);
        EXPECT_EQ(shown, "YourNickName|beep.wav|Leaving|x-xx-x- disabled");
        for (const auto& text : texts) EXPECT_EQ(Stored(text.name), closing == IDOK ? text.after : text.before);
        for (const auto& box : boxes) EXPECT_EQ(Stored(box.name), closing == IDOK ? box.after : box.before);
    }
}

TEST_F(ShellTest, SendWindowPutsAllItHoldsOnTheWire) {
    ASSERT_TRUE(Start());
    Command(IDM_START_SERVER);
    SOCKET peer = PeerOnLoopback();
    auto received = [peer] {  // all that has come after a moment of messages
        Pump(300);
        char block[600];
        int length = recv(peer, block, sizeof block, 0);
        return std::string(block, static_cast<size_t>(length > 0 ? length : 0));
    };
    ASSERT_EQ(received().substr(0, 2), "\x02\x20") << "the program's greeting";
    EXPECT_STREQ(shell.trayIcon.szTip, "Norrik 1.00");
    // Ann greets and speaks first in the original protocol: the program
    // sends in the clear at once, without waiting for a handshake.
    const std::string hello("\x02\x20" "Ann\x0C\x0D\0\0\0" "\x01hi\x0C\x0D\0\0\0\0\0", 20);
    ASSERT_EQ(send(peer, hello.data(), static_cast<int>(hello.size()), 0), 20);
    Pump(300);
    EXPECT_STREQ(shell.trayIcon.szTip, "Norrik 1.00 (NOT encrypted)") << "the tip says what the peer proved";
    std::string letters;  // "abc...zabc..."
    for (size_t i = 0; i < 510; ++i) letters += static_cast<char>('a' + i % 26);
    const struct { std::string typed, field, wire; } rows[] = {  // '\r' is the Enter key
        {letters, letters.substr(0, 500), "\x02\x10" + letters.substr(0, 500) + "\x0C\x0D" + std::string(6, '\0')},
        {"one\rtwo", "one\r\ntwo", std::string("\x02\x10one\r\ntwo\x0C\x0D\0\0\0\0\0\0\0\0\0\0", 20)},
        {"   ", "   ", std::string("\x02\x10   \x0C\x0D\0\0\0", 10)},
        {"", "", ""},  // refused with a box, and the window stays
    };
    for (const auto& row : rows) {
        Command(IDT_SEND_POPUP);
        std::vector<HWND> windows = Dialogs("Send popup message to ");
        ASSERT_EQ(windows.size(), 1u);
        HWND window = windows[0], text = GetDlgItem(window, IDC_POPUP_TEXT);
        EXPECT_EQ(WindowText(window) + " at " + Where(window, nullptr).substr(0, 3),
                  "Send popup message to Ann at 0,0");  // the screen's top-left corner
        EXPECT_EQ(GetFocus(), text);
        for (char c : row.typed) SendMessageA(text, WM_CHAR, static_cast<unsigned char>(c), 1);
        EXPECT_EQ(WindowText(text), row.field);
        SendMessageA(window, WM_COMMAND, IDC_SEND, 0);
        EXPECT_EQ(IsWindow(window) != FALSE, row.wire.empty());
        EXPECT_EQ(received(), row.wire);
        SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
        EXPECT_FALSE(IsWindow(window));
    }
    closesocket(peer);
    expectedBoxes = {"Unable to comply(empty message)"};
}

}  // namespace
