// Settings in the registry, and the shell's decisions that need no window:
// layout, start visibility, the Options page, the tray icon, the help file
// and the popup windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/toolbar_rules.h"
#include "app/tray_rules.h"
#include "app/window_rules.h"
#include "fakes/fakes.h"
#include "net/protocol.h"
#include "net/transfer.h"
#include "popup/popup_rules.h"
#include "settings/options_page.h"
#include "settings/settings.h"
#include "settings/settings_table.h"

namespace {

// Texts as they are, numbers after a '#': the record's own fields, as the
// code that uses them names them.
std::string Summary(const ChatSettings& s) {
    std::string text = s.Nickname;
    for (int32_t n : {s.Trayicon, s.StartInTray, s.IgnorePopup, s.FlashTitle, s.Beep, s.PlaySound, s.Toolbar,
                      s.AlwaysOnTop}) {
        text += " #" + std::to_string(n);
    }
    return text + " " + s.SoundPath + " " + s.QuitMessage + " #" + std::to_string(s.RequireEncryption);
}

using Value = std::pair<RegistryValueType, std::string>;
Value Text(const std::string& text) { return {RegistryValueType::String, text + '\0'}; }
Value Number(uint32_t value) { return {RegistryValueType::Dword, std::string(reinterpret_cast<char*>(&value), 4)}; }

// The same of the stored values, by the table's names: a string counts with
// exactly its one zero, a number with exactly four bytes.
std::string StoredSummary() {
    std::string text;
    for (const Setting& setting : SETTINGS) {
        // The terminal's own are never in the registry.
        if (setting.terminalOnly) {
            text += fake.values.count(setting.name) ? " <terminal's own stored>" : "";
            continue;
        }
        auto [type, data] =
            fake.values.count(setting.name) ? fake.values[setting.name] : Value{RegistryValueType::Other, ""};
        uint32_t number = 0;
        std::memcpy(&number, data.data(), std::min<size_t>(data.size(), 4));
        const bool isText = type == RegistryValueType::String && data.find('\0') + 1 == data.size();
        const bool isNumber = type == RegistryValueType::Dword && data.size() == 4;
        text += isNumber ? " #" + std::to_string(number) : isText ? " " + data.substr(0, data.size() - 1) : " <bad>";
    }
    return text.substr(1);
}

const std::string DEFAULTS = "YourNickName #1 #0 #0 #1 #1 #1 #1 #0 beep.wav Leaving #0";
const std::string N29(29, 'n'), S149(149, 's'), Q99(99, 'q');

struct SettingsRow {
    const char* name;
    bool refuseRead, refuseWrite;
    std::map<std::string, Value> stored;  // the key exists when it holds a value
    std::string loaded;
};

const SettingsRow SETTINGS[] = {
    {"first run: all twelve defaults written", false, false, {}, DEFAULTS},
    {"some values: the rest default and are written back", false, false,
     {{"Nickname", Text("Ann")}, {"Toolbar", Number(0)}, {"AlwaysOnTop", Number(5)}, {"QuitMessage", Text("Bye %s")},
      {"RequireEncryption", Number(1)}},
     "Ann #1 #0 #0 #1 #1 #1 #0 #5 beep.wav Bye %s #1"},
    {"the longest texts load whole", false, false,
     {{"Nickname", Text(N29)}, {"SoundPath", Text(S149)}, {"QuitMessage", Text(Q99)}},
     N29 + " #1 #0 #0 #1 #1 #1 #1 #0 " + S149 + " " + Q99 + " #0"},
    {"one character more is cut", false, false,
     {{"Nickname", Text(N29 + "x")}, {"SoundPath", Text(S149 + "x")}, {"QuitMessage", Text(Q99 + "x")}},
     N29 + " #1 #0 #0 #1 #1 #1 #1 #0 " + S149 + " " + Q99 + " #0"},
    {"wrong types and a short number keep the defaults", false, false,
     {{"Nickname", Number(0x41414141)}, {"Trayicon", Text("0")},
      {"Beep", {RegistryValueType::Dword, std::string("\x05\x00", 2)}},
      {"SoundPath", {RegistryValueType::Other, std::string(150, 'x')}}, {"RequireEncryption", Text("1")}},
     DEFAULTS},
    {"an unreadable key", true, false, {}, DEFAULTS},
    {"a key that refuses writes", false, true, {{"Nickname", Text("Ann")}},
     "Ann #1 #0 #0 #1 #1 #1 #1 #0 beep.wav Leaving #0"},
};

TEST(SettingsTest, LoadedFromTheRegistryAndWrittenBack) {
    for (const SettingsRow& row : SETTINGS) {
        SCOPED_TRACE(row.name);
        ResetFakes();
        fake.keyExists = !row.stored.empty();
        fake.values = row.stored;
        fake.refuseRead = row.refuseRead;
        fake.refuseWrite = row.refuseWrite;
        ChatSettings settings;
        LoadSettings(settings);
        EXPECT_EQ(Summary(settings), row.loaded);
        if (row.refuseWrite) {
            EXPECT_EQ(fake.values, row.stored) << "nothing written";
            EXPECT_EQ(fake.boxes, std::vector<std::string>{"icon: Unable to open registry! Settings not saved"});
        } else {
            EXPECT_EQ(StoredSummary(), row.loaded);
            EXPECT_TRUE(fake.boxes.empty());
        }
        EXPECT_EQ(fake.openKeys, 0) << "every key opened is closed";
    }
}

TEST(LayoutTest, HistoryEndsAGapAboveTheInputLineAtEveryScale) {
    const int rows[][9] = {
        // DPI, w, h, Toolbar, toolbar bottom -> history y and height, input y and height
        {96, 384, 242, 0, 0, 0, 217, 219, 23},  {96, 384, 242, 1, 28, 30, 187, 219, 23},
        {96, 200, 100, 5, 28, 0, 75, 77, 23},   {96, 200, 100, 1, 0, 2, 73, 77, 23},
        {96, 50, 24, 0, 0, 0, 0, 1, 23},        {96, 50, 40, 1, 28, 30, 0, 17, 23},
        {120, 484, 303, 1, 34, 37, 234, 274, 29}, {144, 584, 392, 1, 40, 43, 311, 357, 35},
        {144, 584, 392, 0, 0, 0, 354, 357, 35}, {192, 784, 542, 1, 52, 56, 436, 496, 46},
    };
    for (const auto& r : rows) {
        MainLayout layout = ComputeLayout(r[1], r[2], r[3], r[4], r[0]);
        EXPECT_EQ(std::vector<int>({layout.history.x, layout.history.y, layout.history.width, layout.history.height,
                                    layout.input.x, layout.input.y, layout.input.width, layout.input.height}),
                  std::vector<int>({0, r[5], r[1], r[6], 0, r[7], r[1], r[8]}))
            << r[1] << "x" << r[2] << " toolbar " << r[3] << " at " << r[0] << " DPI";
    }
}

TEST(LayoutTest, WindowToolbarImagesAndIconsFollowTheDpi) {
    const int rows[][6] = {
        // DPI -> window width and height, toolbar image, small and large icon
        {96, 400, 300, 16, 16, 32},  {120, 500, 375, 16, 20, 40}, {144, 600, 450, 24, 24, 48},
        {168, 700, 525, 24, 28, 56}, {192, 800, 600, 32, 32, 64}, {288, 1200, 900, 32, 48, 96},
    };
    for (const auto& r : rows) {
        const int dpi = r[0];
        EXPECT_EQ(std::vector<int>({ScaledForDpi(MAIN_WINDOW_WIDTH, dpi), ScaledForDpi(MAIN_WINDOW_HEIGHT, dpi),
                                    ToolbarImageSize(dpi), ScaledForDpi(SMALL_ICON_SIZE, dpi),
                                    ScaledForDpi(LARGE_ICON_SIZE, dpi)}),
                  std::vector<int>(r + 1, r + 6))
            << dpi << " DPI";
    }
}

TEST(WindowRulesTest, StartsHiddenOnlyWithAnIconAndStartInTray) {
    const int rows[][4] = {{1, 1, 1, 1}, {1, 1, 0, 0}, {0, 1, 1, 0}, {1, 0, 1, 0}, {2, 1, 1, 0}};
    for (const auto& r : rows) {
        ChatSettings settings;
        SetDefaultSettings(settings);
        settings.Trayicon = r[0];
        settings.StartInTray = r[1];
        EXPECT_EQ(StartsHidden(settings, r[2] == 1), r[3] == 1) << r[0] << r[1] << r[2];
    }
    for (uint32_t other : {0x0200u, 0x0201u, 0x0202u, 0x0204u, 0x0206u, 0x0207u}) {
        EXPECT_EQ(ActionForTrayMessage(other, true), TrayAction::None) << other;
    }
    EXPECT_EQ(ActionForTrayMessage(TRAY_LEFT_DOUBLE_CLICK, true), TrayAction::HideWindow);
    EXPECT_EQ(ActionForTrayMessage(TRAY_LEFT_DOUBLE_CLICK, false), TrayAction::ShowWindow);
    EXPECT_EQ(ActionForTrayMessage(TRAY_RIGHT_BUTTON_UP, false), TrayAction::OpenMenu);
}

// The page as its controls show it: texts as they are, boxes 'x' or '-'.
std::string Shown(const OptionsPageValues& page) {
    std::string text;
    for (const OptionsPageField& field : page.fields) {
        text += " " + (field.isBox ? field.checked ? "x" : "-" : field.text);
    }
    return text.substr(1);
}

TEST(OptionsPageTest, ShowsAnyNonZeroAsCheckedAndStoresCutTextsAndZeroOrOne) {
    ChatSettings settings;
    SetDefaultSettings(settings);
    settings.IgnorePopup = 7, settings.Beep = 0, settings.AlwaysOnTop = 5, settings.Toolbar = 3;
    OptionsPageValues page = OptionsPageFromSettings(settings);
    EXPECT_EQ(Shown(page), "YourNickName x - x x - x beep.wav Leaving -");  // neither Toolbar nor AlwaysOnTop
    const std::vector<std::string> entered = {N29 + "nnnnnn", S149 + "s", Q99 + "qqqqq"};
    size_t texts = 0;
    for (OptionsPageField& field : page.fields) {
        if (field.isBox) field.checked = !field.checked;  // each box clicked once
        if (!field.isBox) field.text = entered.at(texts++);
    }
    ApplyOptionsPage(page, settings);
    EXPECT_EQ(Summary(settings), N29 + " #0 #1 #0 #0 #1 #0 #3 #5 " + S149 + " " + Q99 + " #1");
    // "Start minimized to tray": disabled without the icon, its check left as stored when the page opens.
    settings.Trayicon = 0, settings.StartInTray = 1;
    const StartInTrayBox opened = StartInTrayWhenOpened(OptionsPageFromSettings(settings)),
                         off = StartInTrayAfterTrayiconClick(false, true),
                         on = StartInTrayAfterTrayiconClick(true, false);
    EXPECT_TRUE(!opened.enabled && opened.checked && !off.enabled && !off.checked && on.enabled && !on.checked);
}

TEST(HelpPathTest, BesideTheExecutableWhenItFits) {
    char path[HELP_PATH_SIZE] = "";
    ASSERT_TRUE(HelpPathFromExecutable("C:\\Tools\\Chat\\norrik.exe", path, sizeof path));
    EXPECT_STREQ(path, "C:\\Tools\\Chat\\nrkhelp.txt");
    const std::string fits = "C:\\" + std::string(264, 'd') + "\\";  // 268 + 11 + the zero = 280; 269 would not fit
    ASSERT_TRUE(HelpPathFromExecutable((fits + "n.exe").c_str(), path, sizeof path));
    EXPECT_EQ(path, fits + "nrkhelp.txt");
    EXPECT_FALSE(HelpPathFromExecutable(("C:\\d" + fits.substr(3) + "n.exe").c_str(), path, sizeof path));
    EXPECT_FALSE(HelpPathFromExecutable("norrik.exe", path, sizeof path));
}

TEST(PopupRulesTest, CaptionsNameThePeerLiterallyAndSendNeedsAText) {
    char caption[POPUP_CAPTION_SIZE];
    SendPopupCaption(caption, sizeof caption, "Ann");
    EXPECT_STREQ(caption, "Send popup message to Ann");
    ReceivedPopupCaption(caption, 24, "%s%n");
    EXPECT_STREQ(caption, "Popup message from %s%n");
    Connected();
    EXPECT_TRUE(!SendPopupText("") && SendPopupText("   "));
    EXPECT_EQ(fake.wire, Control(CTRL_POPUP, "   "));
    EXPECT_EQ(fake.boxes, std::vector<std::string>{"icon: Unable to comply(empty message)"});
}

}  // namespace
