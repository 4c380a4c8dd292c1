// The settings file under the core's own rules of loading and saving, in a
// directory of the test's own.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>

#include "settings/settings.h"
#include "term/settings_file.h"

namespace {

const char* const DEFAULT_LINES[] = {"Nickname=YourNickName", "Trayicon=1", "StartInTray=0", "IgnorePopup=0",
                                     "FlashTitle=1", "Beep=1", "PlaySound=1", "Toolbar=1", "AlwaysOnTop=0",
                                     "SoundPath=beep.wav", "QuitMessage=Leaving", "CodePage=1252"};

// The file after loading one that held kept: its lines where they were,
// then every value it lacked, with its default, in the order of saving.
std::string After(const std::string& kept) {
    std::string file = kept;
    for (const std::string line : DEFAULT_LINES) {
        if (("\n" + kept).find("\n" + line.substr(0, line.find('=') + 1)) == std::string::npos) file += line + "\n";
    }
    return file;
}

class TermSettings : public ::testing::Test {
protected:
    void SetUp() override {
        IncludeTerminalSettings();
        char pattern[] = "/tmp/norrik-term-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
    }
    void TearDown() override { ASSERT_EQ(std::system(("rm -rf " + directory).c_str()), 0); }
    std::string directory;
};

struct FileRow {
    const char* before;  // null: no file
    std::string after;
    std::string loaded;  // Nickname and Beep as loaded
};

class TermSettingsFile : public TermSettings, public ::testing::WithParamInterface<FileRow> {};

TEST_P(TermSettingsFile, LoadsByTheCoresRulesAndWritesEveryValueBack) {
    ASSERT_STREQ(std::setlocale(LC_ALL, "C.UTF-8"), "C.UTF-8");
    const std::string path = directory + "/norrik/settings.ini";
    UseSettingsFile(path);
    if (GetParam().before) {
        ASSERT_EQ(mkdir((directory + "/norrik").c_str(), 0700), 0);
        std::ofstream(path, std::ios::binary) << GetParam().before;
    }
    LoadSettings(chatSettings);
    EXPECT_EQ(SettingsFileProblem(), "");
    EXPECT_EQ(chatSettings.Nickname + std::string(" ") + std::to_string(chatSettings.Beep), GetParam().loaded);
    std::ostringstream file;
    file << std::ifstream(path, std::ios::binary).rdbuf();
    EXPECT_EQ(file.str(), GetParam().after);
    EXPECT_NE(access((path + ".new").c_str(), F_OK), 0);
}

using F = FileRow;
INSTANTIATE_TEST_SUITE_P(
    Rows, TermSettingsFile,
    ::testing::Values(F{nullptr, After(""), "YourNickName 1"}, F{"Beep=0\n", After("Beep=0\n"), "YourNickName 0"},
                      F{"Beep=0\r\nNickname=anna\r\n", After("Beep=0\nNickname=anna\n"), "anna 0"},
                      F{"Beep=yes\n", After("Beep=1\n"), "YourNickName 1"},
                      F{"Beep=99999999999\n", After("Beep=1\n"), "YourNickName 1"},
                      F{"Beep=\n", After("Beep=1\n"), "YourNickName 1"}, F{"Beep=-1\n", After("Beep=1\n"), "YourNickName 1"},
                      F{"Beep=4294967296\n", After("Beep=1\n"), "YourNickName 1"},
                      F{"Beep=4294967295\n", After("Beep=4294967295\n"), "YourNickName -1"},
                      F{"Nickname=abcdefghijklmnopqrstuvwxyz0123456789\n",
                        After("Nickname=abcdefghijklmnopqrstuvwxyz012\n"), "abcdefghijklmnopqrstuvwxyz012 1"},
                      F{"# mine\nColour=blue\n\nbeep=0\n", After("# mine\nColour=blue\n\nbeep=0\n"), "YourNickName 1"},
                      // The file is in the locale; the core has the code page's bytes.
                      F{"Nickname=J\xc3\xb6rg 日本\n", After("Nickname=J\xc3\xb6rg ??\n"), "J\xf6rg ?? 1"},
                      F{"CodePage=932\nNickname=日本\n", After("CodePage=932\nNickname=日本\n"), "\x93\xfa\x96\x7b 1"},
                      F{"CodePage=x\nNickname=\xc3\xa9\n", After("CodePage=1252\nNickname=\xc3\xa9\n"), "\xe9 1"}));

// Root ignores permissions: what cannot be written here is a path through a
// plain file, or a folder where the file should be.
TEST_F(TermSettings, AFileThatCannotBeWrittenIsOneLineAndTheDefaultsStand) {
    std::ofstream(directory + "/plain") << "x";
    ASSERT_EQ(mkdir((directory + "/folder").c_str(), 0700), 0);
    const std::string rows[][3] = {{"/plain/settings.ini", "Settings not read: cannot read ", ": Not a directory"},
                                   {"/folder", "Settings not saved: cannot write ", ": Is a directory"}};
    for (const auto& row : rows) {
        UseSettingsFile(directory + row[0]);
        LoadSettings(chatSettings);
        EXPECT_EQ(SettingsFileProblem(), row[1] + directory + row[0] + row[2]);
        EXPECT_STREQ(chatSettings.Nickname, "YourNickName");
    }
}

// Each row: XDG_CONFIG_HOME, HOME, and the file.
using P = std::tuple<const char*, const char*, std::string>;
class TermSettingsPath : public ::testing::TestWithParam<P> {};

TEST_P(TermSettingsPath, FollowsTheEnvironment) {
    EXPECT_EQ(SettingsFilePath(std::get<0>(GetParam()), std::get<1>(GetParam())), std::get<2>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Rows, TermSettingsPath,
                         ::testing::Values(P{"/x", "/h", "/x/norrik/settings.ini"},
                                           P{nullptr, "/h", "/h/.config/norrik/settings.ini"},
                                           P{"", "/h", "/h/.config/norrik/settings.ini"},
                                           P{"x", "/h", "/h/.config/norrik/settings.ini"},
                                           P{nullptr, "h", ""}, P{nullptr, nullptr, ""}));

}  // namespace
