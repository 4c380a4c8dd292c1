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

#include "crypto/keys.h"
#include "settings/settings.h"
#include "term/settings_file.h"
#include "term/state.h"

namespace {

const char* const DEFAULT_LINES[] = {"Nickname=YourNickName", "Trayicon=1", "StartInTray=0", "IgnorePopup=0",
                                     "FlashTitle=1", "Beep=1", "PlaySound=1", "Toolbar=1", "AlwaysOnTop=0",
                                     "SoundPath=beep.wav", "QuitMessage=Leaving", "RequireEncryption=0", "CodePage=1252",
                                     "Timestamps=1"};

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
        setenv("LOGNAME", "anna", 1);
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
    EXPECT_TRUE(file.str() == GetParam().after) << file.str().size() << " bytes: " << file.str().substr(0, 200);
}

using F = FileRow;
// A foreign line of 100,000 characters, and a value after it.
const std::string LONG_FILE = "# " + std::string(100000, 'x') + "\nNickname=anna\n";
INSTANTIATE_TEST_SUITE_P(
    Rows, TermSettingsFile,
    ::testing::Values(F{nullptr, After("Nickname=anna\n"), "anna 1"}, F{"Beep=0\n", After("Beep=0\n"), "YourNickName 0"},
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
                      F{"CodePage=x\nNickname=\xc3\xa9\n", After("CodePage=1252\nNickname=\xc3\xa9\n"), "\xe9 1"},
                      F{LONG_FILE.c_str(), After(LONG_FILE), "anna 1"}));

std::string Read(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// The file keeps its mode for its owner and gives no one else any (0600
// when it is new: it holds the private key), a
// symlink to it stays one while its target is written, and a name beside
// it that links elsewhere is never written through.
TEST_F(TermSettings, KeepsTheModeAndTheLinkAndWritesNothingElse) {
    const std::string folder = directory + "/norrik", path = folder + "/settings.ini";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    UseSettingsFile(path);
    const struct { mode_t before, after; } modes[] = {{0, 0600}, {0600, 0600}, {0640, 0600}, {0604, 0600}, {0644, 0600}, {0700, 0700}};
    for (const auto& row : modes) {
        unlink(path.c_str());
        if (row.before) std::ofstream(path) << "Beep=0\n", chmod(path.c_str(), row.before);
        LoadSettings(chatSettings);
        struct stat status = {};
        EXPECT_EQ(stat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, row.after) << std::oct << row.before;
    }
    ASSERT_EQ(mkdir((directory + "/dotfiles").c_str(), 0700), 0);
    std::ofstream(directory + "/dotfiles/norrik.ini") << "Beep=0\n";
    std::ofstream(directory + "/victim") << "keep";
    unlink(path.c_str());
    ASSERT_EQ(symlink("../dotfiles/norrik.ini", path.c_str()), 0);
    ASSERT_EQ(symlink((directory + "/victim").c_str(), (path + ".new").c_str()), 0);
    LoadSettings(chatSettings);
    EXPECT_EQ(SettingsFileProblem(), "");
    struct stat link = {};
    EXPECT_TRUE(lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode));
    EXPECT_EQ(Read(directory + "/dotfiles/norrik.ini"), After("Beep=0\n"));
    EXPECT_EQ(Read(directory + "/victim"), "keep");
    EXPECT_EQ(std::system(("test $(ls -A " + folder + " " + directory + "/dotfiles | wc -l) -eq 6").c_str()), 0)
        << "a temporary file was left";
}

// The key store's values live in the same file: saving the settings keeps
// them, writing them keeps the settings, and neither is a /save.
TEST_F(TermSettings, KeysAndSettingsShareTheFile) {
    const std::string path = directory + "/settings.ini";
    std::ofstream(path) << "Beep=0\n", chmod(path.c_str(), 0644);
    UseSettingsFile(path);
    ForgetKeys();
    LoadSettings(chatSettings);
    const size_t mark = term.history.size();
    noise::KeyPair pair, again;
    const uint8_t key[32] = {7};
    ASSERT_TRUE(LocalStaticKey(pair));
    EXPECT_EQ(RememberPeerKey("anna", key), PeerKeyStatus::FirstContact);
    const std::string keys = Read(path).substr(After("Beep=0\n").size());
    EXPECT_TRUE(Read(path).substr(0, After("Beep=0\n").size()) == After("Beep=0\n")) << Read(path);
    EXPECT_EQ(keys.substr(0, 10) + keys.substr(53, 12), "StaticKey=\nKnownPeers=") << keys;
    chatSettings.Beep = 1;
    SaveSettings(chatSettings);
    EXPECT_TRUE(Read(path) == After("Beep=1\n") + keys) << Read(path);
    ForgetKeys();
    EXPECT_TRUE(KnownPeer("anna") && LocalStaticKey(again));
    EXPECT_TRUE(std::equal(pair.publicKey, pair.publicKey + 32, again.publicKey));
    EXPECT_EQ(RememberPeerKey("anna", key), PeerKeyStatus::Known);
    SaveSettings(chatSettings);
    const std::string saved = "***Nickname YourNickName saved in " + path + "\r\n";
    EXPECT_EQ(term.history.substr(mark), saved + saved) << "each save, and only they";
    struct stat status = {};
    EXPECT_TRUE(stat(path.c_str(), &status) == 0 && (status.st_mode & 0777) == 0600);
}

// Without a file, the nickname is the login name, its first 20
// characters, and a file is made with it; the user is told.
TEST_F(TermSettings, ANewFileTakesTheLoginName) {
    const std::string path = directory + "/settings.ini";
    UseSettingsFile(path);
    // LOGNAME, USER, and the nickname taken.
    const char* const rows[][3] = {
        {"ben", "", "ben"}, {"", "carla", "carla"}, {"abcdefghijklmnopqrstuvwxyz", "", "abcdefghijklmnopqrst"}};
    for (const auto& row : rows) {
        unlink(path.c_str());
        setenv("LOGNAME", row[0], 1), setenv("USER", row[1], 1);
        LoadSettings(chatSettings);
        EXPECT_STREQ(chatSettings.Nickname, row[2]);
        EXPECT_EQ(LoginNameTaken(), row[2]);
        EXPECT_EQ(Read(path).substr(0, Read(path).find('\n')), std::string("Nickname=") + row[2]);
    }
    LoadSettings(chatSettings);
    EXPECT_EQ(LoginNameTaken(), "") << "the file is there now";
}

// A file larger than 1 MB gives its values and is never written.
TEST_F(TermSettings, AFileLargerThanAMegabyteIsLeftAsItIs) {
    const std::string path = directory + "/settings.ini";
    const std::string large = "Nickname=anna\n" + std::string(1 << 20, '#') + "\nBeep=0\n";
    std::ofstream(path, std::ios::binary) << large;
    UseSettingsFile(path);
    LoadSettings(chatSettings);
    EXPECT_STREQ(chatSettings.Nickname, "anna");
    EXPECT_EQ(chatSettings.Beep, 1) << "read past the first megabyte";
    EXPECT_EQ(SettingsFileProblem(), "Settings not saved: " + path + " is larger than 1 MB and is left as it is");
    EXPECT_TRUE(Read(path) == large);
}

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
