#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/commands.h"
#include "app/toolbar_rules.h"
#include "net/connection_state.h"
#include "res/resource.h"

namespace {

std::string StatesOf(int32_t role) {
    ButtonStates states = ButtonStatesForRole(role);
    std::string text;
    for (bool on : states.on) text += on ? '1' : '0';
    return text;
}

TEST(ToolbarStatesTest, FollowTheRoleAlone) {
    // Connect, Disconnect, Start Server, Stop Server, Send Popup, Help
    EXPECT_EQ(StatesOf(ROLE_SERVER), "000111");
    EXPECT_EQ(StatesOf(ROLE_CLIENT), "010011");
    EXPECT_EQ(StatesOf(ROLE_NONE), "101001");
    EXPECT_EQ(StatesOf(3), "101001") << "any other value counts as none";
    EXPECT_EQ(StatesOf(-1), "101001");
}

TEST(TooltipTest, EachButtonHasItsText) {
    EXPECT_STREQ(TooltipTextFor(IDT_CONNECT), "Connect");
    EXPECT_STREQ(TooltipTextFor(IDT_DISCONNECT), "Disconnect");
    EXPECT_STREQ(TooltipTextFor(IDT_START_SERVER), "Start Server");
    EXPECT_STREQ(TooltipTextFor(IDT_STOP_SERVER), "Stop Server");
    EXPECT_STREQ(TooltipTextFor(IDT_SEND_POPUP), "Send Popup...");
    EXPECT_STREQ(TooltipTextFor(IDT_HELP), "Help");
    EXPECT_EQ(TooltipTextFor(IDT_CONNECT - 1), nullptr);
    EXPECT_EQ(TooltipTextFor(IDT_HELP + 1), nullptr);
    EXPECT_EQ(TooltipTextFor(0), nullptr);
}

TEST(HelpPathTest, SitsBesideTheExecutable) {
    char path[HELP_PATH_SIZE];
    ASSERT_TRUE(HelpPathFromExecutable("C:\\Tools\\Chat\\norrik.exe", path, sizeof path));
    EXPECT_STREQ(path, "C:\\Tools\\Chat\\nrkhelp.txt");
    ASSERT_TRUE(HelpPathFromExecutable("C:\\norrik.exe", path, sizeof path));
    EXPECT_STREQ(path, "C:\\nrkhelp.txt");
    ASSERT_TRUE(HelpPathFromExecutable("\\\\server\\share\\n.exe", path, sizeof path));
    EXPECT_STREQ(path, "\\\\server\\share\\nrkhelp.txt");
}

TEST(HelpPathTest, TooLongOrWithoutDirectoryIsRefused) {
    char path[HELP_PATH_SIZE] = "untouched";
    // Directory of 268 characters + "nrkhelp.txt" (11) + zero = 280: fits exactly.
    std::string directory = "C:\\" + std::string(264, 'd') + "\\";
    ASSERT_EQ(directory.size(), 268u);
    EXPECT_TRUE(HelpPathFromExecutable((directory + "x.exe").c_str(), path, sizeof path));
    EXPECT_EQ(std::string(path), directory + "nrkhelp.txt");

    std::string longer = "C:\\" + std::string(265, 'd') + "\\";
    strcpy(path, "untouched");
    EXPECT_FALSE(HelpPathFromExecutable((longer + "x.exe").c_str(), path, sizeof path));
    EXPECT_STREQ(path, "untouched");
    EXPECT_FALSE(HelpPathFromExecutable("norrik.exe", path, sizeof path));
    EXPECT_FALSE(HelpPathFromExecutable("", path, sizeof path));
}

TEST(CommandRoutingTest, BothIdentifiersOfEachRowReachTheSameOperation) {
    struct Row {
        std::initializer_list<int> ids;
        Command command;
    } rows[] = {
        {{IDT_CONNECT, IDM_CONNECT}, Command::ConnectDialog},
        {{IDT_DISCONNECT, IDM_DISCONNECT}, Command::Disconnect},
        {{IDT_START_SERVER, IDM_START_SERVER}, Command::StartServer},
        {{IDT_STOP_SERVER, IDM_STOP_SERVER}, Command::StopServer},
        {{IDT_SEND_POPUP, IDM_TRAY_SEND_POPUP, IDM_SEND_POPUP}, Command::SendPopup},
        {{IDT_HELP, IDM_HELP}, Command::Help},
        {{IDM_EXIT, IDM_TRAY_QUIT}, Command::Exit},
        {{IDM_CLEAR_HISTORY}, Command::ClearHistory},
        {{IDM_ABOUT, IDM_TRAY_ABOUT}, Command::About},
        {{IDM_TRAY_HIDE}, Command::HideWindow},
        {{IDM_TRAY_SHOW}, Command::ShowWindow},
        {{IDM_TRAY_OPTIONS, IDM_OPTIONS}, Command::Options},
        {{IDM_ALWAYS_ON_TOP}, Command::ToggleAlwaysOnTop},
        {{IDM_SHOW_TOOLBAR}, Command::ToggleToolbar},
    };
    for (const Row& row : rows) {
        for (int id : row.ids) EXPECT_EQ(CommandFor(id), row.command) << "identifier " << id;
    }
}

TEST(CommandRoutingTest, UnknownIdentifiersDoNothing) {
    for (int id : {0, 1, 2, IDC_TOOLBAR, 7999, 8006, 40004, 40007, 40022, 9923, 65535, -1}) {
        EXPECT_EQ(CommandFor(id), Command::None) << "identifier " << id;
    }
}

}  // namespace
