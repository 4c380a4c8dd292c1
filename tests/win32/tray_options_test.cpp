#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "app/private_messages.h"
#include "app/win32/main_window.h"
#include "console/win32/console_win32.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "win32/test_support.h"

namespace {

class TrayTest : public ::testing::Test {
protected:
    PrivateRegistry registry;
    MessageBoxWatcher boxes;
    void TearDown() override { EXPECT_TRUE(boxes.Texts().empty()); }
};

std::string TrayItemText() {
    char text[32] = "";
    if (!GetMenuStringA(trayMenu, IDM_TRAY_HIDE, text, sizeof text, MF_BYCOMMAND)) {
        GetMenuStringA(trayMenu, IDM_TRAY_SHOW, text, sizeof text, MF_BYCOMMAND);
    }
    return text;
}

void TrayMouse(UINT mouseMessage) {
    SendMessageA(mainWindow, WM_TRAY_NOTIFY, 101, static_cast<LPARAM>(mouseMessage));
}

bool IconPresent(HWND owner) {
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = owner;
    data.uID = 101;
    data.uFlags = NIF_TIP;
    strcpy(data.szTip, "Norrik 1.00");
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

void ExpectLaidOut() {
    RECT client;
    GetClientRect(mainWindow, &client);
    EXPECT_EQ(ChildRectInParent(historyPane).bottom, client.bottom - 25);
    EXPECT_EQ(ChildRectInParent(inputLine).top, client.bottom - 23);
    EXPECT_EQ(ChildRectInParent(inputLine).right, client.right);
}

TEST_F(TrayTest, StartsHiddenInTheTrayAndIsLaidOutWhenShown) {
    StoreDword("StartInTray", 1);
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    EXPECT_FALSE(IsWindowVisible(mainWindow));
    EXPECT_TRUE(IconPresent(mainWindow));
    EXPECT_EQ(TrayItemText(), "&Show");
    TrayMouse(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(mainWindow));
    EXPECT_EQ(TrayItemText(), "&Hide");
    ExpectLaidOut();
}

TEST_F(TrayTest, StartInTrayWithoutTheIconShowsTheWindow) {
    StoreDword("Trayicon", 0);
    StoreDword("StartInTray", 1);
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    EXPECT_TRUE(IsWindowVisible(mainWindow));
    EXPECT_FALSE(IconPresent(mainWindow));
    EXPECT_EQ(TrayItemText(), "&Hide");
}

TEST_F(TrayTest, DoubleClickHidesAndShowsAndKeepsTheMenuInStep) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    ASSERT_TRUE(IsWindowVisible(mainWindow));
    TrayMouse(WM_LBUTTONDBLCLK);
    EXPECT_FALSE(IsWindowVisible(mainWindow));
    EXPECT_EQ(TrayItemText(), "&Show");
    TrayMouse(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(mainWindow));
    EXPECT_EQ(TrayItemText(), "&Hide");

    // The menu's Hide, then a double-click, and the menu's Show.
    SendMessageA(mainWindow, WM_COMMAND, IDM_TRAY_HIDE, 0);
    EXPECT_FALSE(IsWindowVisible(mainWindow));
    EXPECT_EQ(TrayItemText(), "&Show");
    TrayMouse(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(mainWindow));
    TrayMouse(WM_LBUTTONDBLCLK);
    SendMessageA(mainWindow, WM_COMMAND, IDM_TRAY_SHOW, 0);
    EXPECT_TRUE(IsWindowVisible(mainWindow));
    EXPECT_EQ(TrayItemText(), "&Hide");
}

TEST_F(TrayTest, MinimisedWindowCountsAsVisibleAndStaysMinimised) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    ShowWindow(mainWindow, SW_MINIMIZE);
    PumpMessages(50);
    ASSERT_TRUE(IsIconic(mainWindow));
    TrayMouse(WM_LBUTTONDBLCLK);
    EXPECT_FALSE(IsWindowVisible(mainWindow));
    TrayMouse(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(mainWindow));
    EXPECT_TRUE(IsIconic(mainWindow));
}

TEST_F(TrayTest, SingleClicksAndMovesDoNothing) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_MBUTTONUP}) {
        TrayMouse(message);
        EXPECT_TRUE(IsWindowVisible(mainWindow)) << message;
        EXPECT_EQ(TrayItemText(), "&Hide");
    }
}

HWND openMenuSeen = nullptr;
RECT openMenuRect;

void CALLBACK CloseOpenMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND menu = FindWindowA("#32768", nullptr);
    if (menu && IsWindowVisible(menu)) {
        openMenuSeen = menu;
        GetWindowRect(menu, &openMenuRect);
        EndMenu();
        KillTimer(nullptr, timer);
    }
}

// Bounds the test should the menu never be seen.
void CALLBACK EndMenuAnyway(HWND, UINT, UINT_PTR timer, DWORD) {
    EndMenu();
    KillTimer(nullptr, timer);
}

TEST_F(TrayTest, RightClickOpensTheTrayMenuAtTheCursor) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    SetCursorPos(300, 200);
    POINT cursor;
    GetCursorPos(&cursor);
    // The menu runs a loop of its own; the timer runs inside it.
    UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseOpenMenu);
    UINT_PTR guard = SetTimer(nullptr, 0, 5000, EndMenuAnyway);
    TrayMouse(WM_RBUTTONUP);
    KillTimer(nullptr, timer);
    KillTimer(nullptr, guard);
    ASSERT_TRUE(openMenuSeen) << "no menu opened";
    EXPECT_EQ(openMenuRect.left, cursor.x);
    EXPECT_EQ(openMenuRect.top, cursor.y);
    EXPECT_TRUE(IsWindow(mainWindow));
}

TEST_F(TrayTest, IconIsRemovedAtEveryNormalExit) {
    for (int way = 0; way < 3; ++way) {
        ProgramWindow program;
        ASSERT_TRUE(program.started);
        HWND owner = mainWindow;
        EXPECT_TRUE(IconPresent(owner));
        if (way == 0) PostMessageA(mainWindow, WM_CLOSE, 0, 0);
        if (way == 1) PostMessageA(mainWindow, WM_COMMAND, IDM_EXIT, 0);
        if (way == 2) PostMessageA(mainWindow, WM_COMMAND, IDM_TRAY_QUIT, 0);
        int code = -1;
        EXPECT_TRUE(PumpUntilQuit(5000, &code)) << "way " << way;
        EXPECT_EQ(code, 0);
        EXPECT_FALSE(IconPresent(owner)) << "way " << way;
    }
}

// ---- Options sheet ----

class OptionsTest : public TrayTest {};

HWND CurrentPage(HWND sheet) { return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)); }
bool BoxChecked(HWND page, int id) { return SendMessageA(GetDlgItem(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
void OpenOptions() { SendMessageA(mainWindow, WM_COMMAND, IDM_OPTIONS, 0); }

TEST_F(OptionsTest, PageStartsFromTheStoredSettings) {
    StoreString("Nickname", "Ann");
    StoreDword("IgnorePopup", 7);
    StoreDword("Beep", 0);
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    std::string nickname, sound, quit, tab;
    bool tray = false, ignore = false, flash = false, play = false, beep = true, start = true, startEnabled = false;
    bool applyShown = true;
    DialogCloser closer("Options", IDCANCEL, [&](HWND sheet) {
        HWND page = CurrentPage(sheet);
        nickname = WindowText(GetDlgItem(page, IDC_NICKNAME));
        sound = WindowText(GetDlgItem(page, IDC_SOUNDPATH));
        quit = WindowText(GetDlgItem(page, IDC_QUITMESSAGE));
        tray = BoxChecked(page, IDC_TRAYICON);
        ignore = BoxChecked(page, IDC_IGNOREPOPUP);
        flash = BoxChecked(page, IDC_FLASHTITLE);
        play = BoxChecked(page, IDC_PLAYSOUND);
        beep = BoxChecked(page, IDC_BEEP);
        start = BoxChecked(page, IDC_STARTINTRAY);
        startEnabled = IsWindowEnabled(GetDlgItem(page, IDC_STARTINTRAY));
        HWND apply = GetDlgItem(sheet, 0x3021);  // the sheet's Apply button
        applyShown = apply && IsWindowVisible(apply);
    });
    OpenOptions();
    ASSERT_EQ(closer.seen.load(), 1);
    EXPECT_EQ(nickname, "Ann");
    EXPECT_EQ(sound, "beep.wav");
    EXPECT_EQ(quit, "Leaving");
    EXPECT_TRUE(tray);
    EXPECT_TRUE(ignore) << "any non-zero value shows as checked";
    EXPECT_TRUE(flash);
    EXPECT_TRUE(play);
    EXPECT_FALSE(beep);
    EXPECT_FALSE(start);
    EXPECT_TRUE(startEnabled);
    EXPECT_FALSE(applyShown);
}

TEST_F(OptionsTest, StartInTrayGoesWithTheTrayIconBox) {
    StoreDword("Trayicon", 0);
    StoreDword("StartInTray", 1);
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    bool enabledAtOpen = true, checkedAtOpen = false, enabledAfterOn = false, checkedAfterOn = true;
    bool enabledAfterOff = true, checkedAfterOff = true;
    DialogCloser closer("Options", IDCANCEL, [&](HWND sheet) {
        HWND page = CurrentPage(sheet);
        HWND startBox = GetDlgItem(page, IDC_STARTINTRAY);
        enabledAtOpen = IsWindowEnabled(startBox);
        checkedAtOpen = BoxChecked(page, IDC_STARTINTRAY);
        SendMessageA(GetDlgItem(page, IDC_TRAYICON), BM_CLICK, 0, 0);  // on
        SendMessageA(GetDlgItem(page, IDC_TRAYICON), BM_CLICK, 0, 0);  // off: clears it
        enabledAfterOff = IsWindowEnabled(startBox);
        checkedAfterOff = BoxChecked(page, IDC_STARTINTRAY);
        SendMessageA(GetDlgItem(page, IDC_TRAYICON), BM_CLICK, 0, 0);  // on again
        enabledAfterOn = IsWindowEnabled(startBox);
        checkedAfterOn = BoxChecked(page, IDC_STARTINTRAY);
    });
    OpenOptions();
    ASSERT_EQ(closer.seen.load(), 1);
    EXPECT_FALSE(enabledAtOpen);
    EXPECT_TRUE(checkedAtOpen) << "its check mark is left as stored";
    EXPECT_FALSE(enabledAfterOff);
    EXPECT_FALSE(checkedAfterOff);
    EXPECT_TRUE(enabledAfterOn);
    EXPECT_FALSE(checkedAfterOn);
}

TEST_F(OptionsTest, OkCutsTheTextsAndStoresEverything) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    const std::string longName(35, 'n');
    const std::string longPath = "C:\\" + std::string(190, 'p') + ".wav";
    DialogCloser closer("Options", IDOK, [&](HWND sheet) {
        HWND page = CurrentPage(sheet);
        SetWindowTextA(GetDlgItem(page, IDC_NICKNAME), longName.c_str());
        SetWindowTextA(GetDlgItem(page, IDC_SOUNDPATH), longPath.c_str());
        SetWindowTextA(GetDlgItem(page, IDC_QUITMESSAGE), "Gone %s fishing");
        SendMessageA(GetDlgItem(page, IDC_BEEP), BM_CLICK, 0, 0);
        SendMessageA(GetDlgItem(page, IDC_IGNOREPOPUP), BM_CLICK, 0, 0);
    });
    OpenOptions();
    ASSERT_EQ(closer.seen.load(), 1);
    EXPECT_EQ(std::string(chatSettings.Nickname), std::string(29, 'n'));
    EXPECT_EQ(std::string(chatSettings.SoundPath), longPath.substr(0, 149));
    EXPECT_STREQ(chatSettings.QuitMessage, "Gone %s fishing");
    EXPECT_EQ(chatSettings.Beep, 0);
    EXPECT_EQ(chatSettings.IgnorePopup, 1);
    EXPECT_EQ(ReadStoredString("Nickname"), std::string(29, 'n'));
    EXPECT_EQ(ReadStoredString("SoundPath"), longPath.substr(0, 149));
    EXPECT_EQ(ReadStoredString("QuitMessage"), "Gone %s fishing");
    DWORD value = 99;
    EXPECT_TRUE(ReadStoredDword("Beep", &value));
    EXPECT_EQ(value, 0u);
}

TEST_F(OptionsTest, CancelStoresNothing) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    DialogCloser closer("Options", IDCANCEL, [&](HWND sheet) {
        HWND page = CurrentPage(sheet);
        SetWindowTextA(GetDlgItem(page, IDC_NICKNAME), "Changed");
        SendMessageA(GetDlgItem(page, IDC_FLASHTITLE), BM_CLICK, 0, 0);
    });
    OpenOptions();
    ASSERT_EQ(closer.seen.load(), 1);
    EXPECT_STREQ(chatSettings.Nickname, "YourNickName");
    EXPECT_EQ(chatSettings.FlashTitle, 1);
    EXPECT_EQ(ReadStoredString("Nickname"), "YourNickName");
}

TEST_F(OptionsTest, EachOpeningReloadsAndRewritesTheStoreAndNothingElse) {
    ProgramWindow program;
    ASSERT_TRUE(program.started);
    for (int opening = 0; opening < 2; ++opening) {
        chatSettings.AlwaysOnTop = 1;  // a View toggle not yet saved
        HKEY key = nullptr;
        RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_SET_VALUE, &key);
        RegDeleteValueA(key, "QuitMessage");
        RegCloseKey(key);
        ASSERT_EQ(CountStoredValues(), 10);

        DialogCloser closer("Options", IDCANCEL);
        OpenOptions();
        ASSERT_EQ(closer.seen.load(), 1);
        EXPECT_EQ(CountStoredValues(), 11) << "opening " << opening << " wrote every value";
        EXPECT_EQ(ReadStoredString("QuitMessage"), "Leaving");
        EXPECT_EQ(chatSettings.AlwaysOnTop, 0) << "the stored value replaces the unsaved toggle";
        EXPECT_FALSE(GetMenuState(GetMenu(mainWindow), IDM_ALWAYS_ON_TOP, MF_BYCOMMAND) & MF_CHECKED);
    }
}

}  // namespace
