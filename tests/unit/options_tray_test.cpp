#include <gtest/gtest.h>

#include <string>

#include "app/tray_rules.h"
#include "settings/options_page.h"
#include "settings/settings.h"

namespace {

TEST(OptionsPageTest, BoxesShowAnyNonZeroValueAsChecked) {
    ChatSettings settings;
    SetDefaultSettings(settings);
    settings.IgnorePopup = 7;
    settings.Beep = 0;
    OptionsPageValues values = OptionsPageFromSettings(settings);
    EXPECT_EQ(values.nickname, "YourNickName");
    EXPECT_EQ(values.soundPath, "beep.wav");
    EXPECT_EQ(values.quitMessage, "Leaving");
    EXPECT_TRUE(values.ignorePopup);
    EXPECT_FALSE(values.beep);
    EXPECT_TRUE(values.trayicon);
    EXPECT_FALSE(values.startInTray);
}

TEST(OptionsPageTest, OkCutsTheTextsAndStoresExactlyZeroOrOne) {
    ChatSettings settings;
    SetDefaultSettings(settings);
    settings.IgnorePopup = 7;
    settings.Toolbar = 0;
    settings.AlwaysOnTop = 5;
    OptionsPageValues values = OptionsPageFromSettings(settings);
    values.nickname = std::string(35, 'n');
    values.soundPath = "C:\\" + std::string(200, 's');
    values.quitMessage = std::string(120, 'q') + "%s%n";
    values.beep = false;
    ApplyOptionsPage(values, settings);
    EXPECT_EQ(std::string(settings.Nickname), std::string(29, 'n'));
    EXPECT_EQ(std::string(settings.SoundPath), ("C:\\" + std::string(200, 's')).substr(0, 149));
    EXPECT_EQ(std::string(settings.QuitMessage), std::string(99, 'q'));
    EXPECT_EQ(settings.IgnorePopup, 1);
    EXPECT_EQ(settings.Beep, 0);
    EXPECT_EQ(settings.Trayicon, 1);
    EXPECT_EQ(settings.Toolbar, 0) << "not on the page";
    EXPECT_EQ(settings.AlwaysOnTop, 5) << "not on the page";
}

TEST(OptionsPageTest, StartInTrayFollowsTheTrayIconBox) {
    OptionsPageValues values{};
    values.trayicon = false;
    values.startInTray = true;
    StartInTrayBox opened = StartInTrayWhenOpened(values);
    EXPECT_FALSE(opened.enabled);
    EXPECT_TRUE(opened.checked) << "the stored check is left as it is";

    StartInTrayBox off = StartInTrayAfterTrayiconClick(false, true);
    EXPECT_FALSE(off.enabled);
    EXPECT_FALSE(off.checked);
    StartInTrayBox on = StartInTrayAfterTrayiconClick(true, false);
    EXPECT_TRUE(on.enabled);
    EXPECT_FALSE(on.checked) << "enabled again, not checked";
}

TEST(TrayActionTest, DoubleClickTogglesAndRightButtonUpOpensTheMenu) {
    EXPECT_EQ(ActionForTrayMessage(0x0203, true), TrayAction::HideWindow);
    EXPECT_EQ(ActionForTrayMessage(0x0203, false), TrayAction::ShowWindow);
    EXPECT_EQ(ActionForTrayMessage(0x0205, true), TrayAction::OpenMenu);
    EXPECT_EQ(ActionForTrayMessage(0x0205, false), TrayAction::OpenMenu);
    // Moves, single clicks, button-down, left-up, middle and right double-click do nothing.
    for (uint32_t message : {0x0200u, 0x0201u, 0x0202u, 0x0204u, 0x0206u, 0x0207u, 0x0208u, 0x0209u}) {
        EXPECT_EQ(ActionForTrayMessage(message, true), TrayAction::None) << message;
        EXPECT_EQ(ActionForTrayMessage(message, false), TrayAction::None) << message;
    }
}

}  // namespace
