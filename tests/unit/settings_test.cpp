#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fakes/fakes.h"
#include "settings/settings.h"

namespace {

const std::vector<std::string> kValueOrder = {"Nickname", "Trayicon",    "StartInTray", "IgnorePopup",
                                              "FlashTitle", "Beep",      "PlaySound",   "Toolbar",
                                              "AlwaysOnTop", "SoundPath", "QuitMessage"};

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFakes(); }
    ChatSettings settings{};
};

TEST_F(SettingsTest, FirstRunCreatesKeyAndWritesAllElevenDefaults) {
    LoadSettings(settings);

    EXPECT_TRUE(fakeRegistry.readOrder.empty()) << "a new key is not read";
    EXPECT_EQ(fakeRegistry.writeOrder, kValueOrder);
    EXPECT_EQ(fakeRegistry.values.size(), 11u);
    EXPECT_EQ(fakeRegistry.StringValue("Nickname"), "YourNickName");
    EXPECT_EQ(fakeRegistry.values["Nickname"].data.size(), 13u) << "stored with its zero";
    EXPECT_EQ(fakeRegistry.DwordValue("Trayicon"), 1u);
    EXPECT_EQ(fakeRegistry.DwordValue("StartInTray"), 0u);
    EXPECT_EQ(fakeRegistry.DwordValue("IgnorePopup"), 0u);
    EXPECT_EQ(fakeRegistry.DwordValue("FlashTitle"), 1u);
    EXPECT_EQ(fakeRegistry.DwordValue("Beep"), 1u);
    EXPECT_EQ(fakeRegistry.DwordValue("PlaySound"), 1u);
    EXPECT_EQ(fakeRegistry.DwordValue("Toolbar"), 1u);
    EXPECT_EQ(fakeRegistry.DwordValue("AlwaysOnTop"), 0u);
    EXPECT_EQ(fakeRegistry.StringValue("SoundPath"), "beep.wav");
    EXPECT_EQ(fakeRegistry.StringValue("QuitMessage"), "Leaving");
    EXPECT_EQ(fakeRegistry.values["QuitMessage"].type, RegistryValueType::String);
    EXPECT_EQ(fakeRegistry.values["Toolbar"].type, RegistryValueType::Dword);

    EXPECT_STREQ(settings.Nickname, "YourNickName");
    EXPECT_EQ(settings.Trayicon, 1);
    EXPECT_EQ(settings.AlwaysOnTop, 0);
    EXPECT_STREQ(settings.SoundPath, "beep.wav");
    EXPECT_STREQ(settings.QuitMessage, "Leaving");
    EXPECT_EQ(fakeRegistry.openKeys, 0) << "every key that was opened is closed";
    EXPECT_TRUE(fakeErrorBoxes.empty());
}

TEST_F(SettingsTest, ExistingKeyIsReadInOrderAndMissingValuesAreWrittenBack) {
    fakeRegistry.keyExists = true;
    fakeRegistry.SetString("Nickname", "Ann");
    fakeRegistry.SetDword("Toolbar", 0);
    fakeRegistry.SetDword("AlwaysOnTop", 1);
    fakeRegistry.SetString("QuitMessage", "Bye now");

    LoadSettings(settings);

    EXPECT_EQ(fakeRegistry.readOrder, kValueOrder);
    EXPECT_STREQ(settings.Nickname, "Ann");
    EXPECT_EQ(settings.Toolbar, 0);
    EXPECT_EQ(settings.AlwaysOnTop, 1);
    EXPECT_STREQ(settings.QuitMessage, "Bye now");
    EXPECT_EQ(settings.Beep, 1) << "missing values keep their defaults";
    EXPECT_STREQ(settings.SoundPath, "beep.wav");

    EXPECT_EQ(fakeRegistry.values.size(), 11u);
    EXPECT_EQ(fakeRegistry.StringValue("Nickname"), "Ann");
    EXPECT_EQ(fakeRegistry.DwordValue("Toolbar"), 0u);
    EXPECT_EQ(fakeRegistry.DwordValue("Beep"), 1u);
    EXPECT_EQ(fakeRegistry.StringValue("SoundPath"), "beep.wav");
}

TEST_F(SettingsTest, NicknameOfTwentyNineCharactersLoadsWhole) {
    const std::string name(29, 'n');
    fakeRegistry.keyExists = true;
    fakeRegistry.SetString("Nickname", name);
    LoadSettings(settings);
    EXPECT_EQ(std::string(settings.Nickname), name);
}

TEST_F(SettingsTest, OversizedStringsAreCutToTheirFieldAndTerminated) {
    fakeRegistry.keyExists = true;
    fakeRegistry.SetString("Nickname", std::string(40, 'n'));
    fakeRegistry.SetString("SoundPath", std::string(300, 's'));
    fakeRegistry.SetString("QuitMessage", std::string(1000, 'q'));

    LoadSettings(settings);

    EXPECT_EQ(std::string(settings.Nickname), std::string(29, 'n'));
    EXPECT_EQ(std::string(settings.SoundPath), std::string(149, 's'));
    EXPECT_EQ(std::string(settings.QuitMessage), std::string(99, 'q'));
    EXPECT_EQ(fakeRegistry.StringValue("Nickname"), std::string(29, 'n')) << "the cut value is saved back";
}

TEST_F(SettingsTest, StringStoredWithoutItsZeroStillLoadsTerminated) {
    fakeRegistry.keyExists = true;
    fakeRegistry.values["Nickname"] = {RegistryValueType::String, "Bob"};  // no trailing zero
    fakeRegistry.values["QuitMessage"] = {RegistryValueType::String, std::string("See\0junk", 8)};
    LoadSettings(settings);
    EXPECT_STREQ(settings.Nickname, "Bob");
    EXPECT_STREQ(settings.QuitMessage, "See");
}

TEST_F(SettingsTest, ValuesOfTheWrongTypeKeepTheirDefaultsAndAreRewritten) {
    fakeRegistry.keyExists = true;
    fakeRegistry.SetDword("Nickname", 0x41414141);                               // number as a name
    fakeRegistry.SetString("Trayicon", "0");                                      // text as a number
    fakeRegistry.values["Beep"] = {RegistryValueType::Dword, std::string("\x00\x00", 2)};  // half a number
    fakeRegistry.values["SoundPath"] = {RegistryValueType::Other, std::string(150, 'x')};  // binary

    LoadSettings(settings);

    EXPECT_STREQ(settings.Nickname, "YourNickName");
    EXPECT_EQ(settings.Trayicon, 1);
    EXPECT_EQ(settings.Beep, 1);
    EXPECT_STREQ(settings.SoundPath, "beep.wav");
    EXPECT_EQ(fakeRegistry.values["Nickname"].type, RegistryValueType::String);
    EXPECT_EQ(fakeRegistry.StringValue("Nickname"), "YourNickName");
    EXPECT_EQ(fakeRegistry.values["Trayicon"].type, RegistryValueType::Dword);
    EXPECT_EQ(fakeRegistry.DwordValue("Beep"), 1u);
}

TEST_F(SettingsTest, StoredNumbersAreKeptAsTheyAreEvenOutsideZeroAndOne) {
    fakeRegistry.keyExists = true;
    fakeRegistry.SetDword("AlwaysOnTop", 5);
    LoadSettings(settings);
    EXPECT_EQ(settings.AlwaysOnTop, 5);
    EXPECT_EQ(fakeRegistry.DwordValue("AlwaysOnTop"), 5u);
}

TEST_F(SettingsTest, RefusedWriteShowsTheBoxAndWritesNothing) {
    fakeRegistry.keyExists = true;
    fakeRegistry.SetString("Nickname", "Ann");
    fakeRegistry.refuseOpenForWrite = true;

    LoadSettings(settings);
    EXPECT_STREQ(settings.Nickname, "Ann") << "reading still works";
    ASSERT_EQ(fakeErrorBoxes.size(), 1u);
    EXPECT_EQ(fakeErrorBoxes[0], "Unable to open registry! Settings not saved");
    EXPECT_TRUE(fakeRegistry.writeOrder.empty());

    settings.Toolbar = 0;
    EXPECT_FALSE(SaveSettings(settings));
    EXPECT_EQ(fakeErrorBoxes.size(), 2u);
    EXPECT_TRUE(fakeRegistry.writeOrder.empty());
    EXPECT_EQ(settings.Toolbar, 0) << "the record in memory is left as it was";
}

TEST_F(SettingsTest, UnreadableKeyLeavesTheDefaultsAndStillSaves) {
    fakeRegistry.refuseOpenForRead = true;
    LoadSettings(settings);
    EXPECT_STREQ(settings.Nickname, "YourNickName");
    EXPECT_EQ(fakeRegistry.writeOrder, kValueOrder);
    EXPECT_TRUE(fakeErrorBoxes.empty()) << "the read side reports nothing";
}

TEST_F(SettingsTest, SaveWritesWhatTheRecordHolds) {
    SetDefaultSettings(settings);
    std::strcpy(settings.Nickname, "Zed %s %n");
    settings.Toolbar = 0;
    settings.AlwaysOnTop = 1;
    EXPECT_TRUE(SaveSettings(settings));
    EXPECT_EQ(fakeRegistry.StringValue("Nickname"), "Zed %s %n");
    EXPECT_EQ(fakeRegistry.DwordValue("Toolbar"), 0u);
    EXPECT_EQ(fakeRegistry.DwordValue("AlwaysOnTop"), 1u);
    EXPECT_EQ(fakeRegistry.writeOpens, 1);
}

}  // namespace
