// norrik.exe under Wine against the terminal program, on 127.0.0.1. Wine
// starts Linux programs too: each step is a shell script run through Wine,
// which drives the terminal program in tmux and leaves what it saw in files.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "e2e_support.h"

namespace {

// Where the terminal program was built; the test command says so.
std::string TerminalProgram() {
    char path[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA("NORRIK_TERMINAL_PROGRAM", path, sizeof path);
    return length > 0 && length < sizeof path ? path : "";
}

class InteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        program = TerminalProgram();
        if (program.empty() || GetFileAttributesA(("Z:" + program).c_str()) == INVALID_FILE_ATTRIBUTES) {
            GTEST_SKIP() << "no terminal program at NORRIK_TERMINAL_PROGRAM (" << program << "): build it first";
        }
        folder = "/tmp/norrik-interop-" + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(Shell("rm -rf " + folder + " && mkdir -p " + folder + "/.config/norrik && printf 'Nickname=Tux\\n'"
                          " >" + folder + "/.config/norrik/settings.ini"));
    }
    void TearDown() override {
        if (!folder.empty()) Shell("tmux -L " + Server() + " kill-server; rm -rf " + folder);
    }

    // Runs script in sh through Wine; true once it has ended, in time. Wine
    // gives no handle to wait on for a Linux process: the script leaves a
    // mark when it is done.
    bool Shell(const std::string& script) {
        const std::string step = "/tmp/norrik-interop-step-" + std::to_string(GetCurrentProcessId());
        DeleteFileA(("Z:" + step + ".done").c_str());
        std::ofstream("Z:" + step + ".sh", std::ios::binary) << "export HOME=" << folder
                                                             << " TERM=xterm-256color LC_ALL=C.UTF-8\n"
                                                             << script << "\n: >" << step << ".done\n";
        std::string command = "Z:\\bin\\sh " + step + ".sh";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            return false;
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        for (DWORD start = GetTickCount(); !Elapsed(start); Sleep(20)) {
            if (GetFileAttributesA(("Z:" + step + ".done").c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        }
        return false;
    }
    std::string Server() const { return "interop" + std::to_string(GetCurrentProcessId()); }
    std::string Tmux() const { return "tmux -L " + Server() + " "; }
    std::string Read(const std::string& name) const {
        std::ifstream file("Z:" + folder + "/" + name, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    void Start(const std::string& arguments) {
        ASSERT_TRUE(Shell(Tmux() + "-f /dev/null new-session -d -s t -x 80 -y 24 '" + program + " " + arguments + "'"));
    }
    // Keys as tmux names them, each argument one key or one text.
    void Keys(const std::string& keys) { ASSERT_TRUE(Shell(Tmux() + "send-keys -t t " + keys)); }
    // Until the screen shows part, or the wait ran out; screen keeps it.
    bool WaitForScreen(const std::string& part) {
        for (DWORD start = GetTickCount(); !Elapsed(start); Sleep(100)) {
            Shell(Tmux() + "capture-pane -p -t t >" + folder + "/screen");
            screen = Read("screen");
            if (screen.find(part) != std::string::npos) return true;
        }
        return false;
    }

    std::string program, folder, screen;
};

TEST_F(InteropTest, TerminalClientChatsSendsPopupsBothWaysAndQuits) {
    Program windows("Win");
    ASSERT_TRUE(windows.started() && StartServing(windows));
    Start("127.0.0.1");
    ASSERT_TRUE(windows.WaitForHistory("*** You are connected to Tux.\r\n")) << windows.lastHistory;
    ASSERT_TRUE(WaitForScreen("*** You are connected to Win.")) << screen;

    // Windows-1252 on the wire, UTF-8 in the terminal.
    ASSERT_TRUE(windows.Type("h\xe9llo from Windows"));
    EXPECT_TRUE(WaitForScreen("<Win> h\xc3\xa9llo from Windows")) << screen;
    Keys("'h\xc3\xa9llo from the terminal' Enter");
    EXPECT_TRUE(windows.WaitForHistory("<Tux> h\xe9llo from the terminal\r\n")) << windows.lastHistory;

    ASSERT_TRUE(windows.Type("/popup Lunch?"));
    ASSERT_TRUE(WaitForScreen("Popup message from Win")) << screen;
    EXPECT_NE(screen.find("| Lunch?"), std::string::npos) << screen;
    Keys("Tab r 'Yes, at noon' Enter");
    HWND received = windows.WaitForDialog("Popup message from Tux");
    EXPECT_EQ(TextOf(GetDlgItem(received, IDC_POPUP_TEXT)), "Yes, at noon");

    Keys("Escape '/quit see you' Enter");
    EXPECT_TRUE(windows.WaitForHistory("*** Tux has quit(Quit: see you)\r\n")) << windows.lastHistory;
}

TEST_F(InteropTest, WindowsClientOfATerminalServerSendsAPopupAndQuits) {
    Start("--server");
    ASSERT_TRUE(WaitForScreen("Server started...")) << screen;
    Program windows("Win");
    ASSERT_TRUE(windows.started() && windows.ConnectThroughDialog("127.0.0.1"));
    ASSERT_TRUE(windows.WaitForHistory("*** You are connected to Tux.\r\n")) << windows.lastHistory;
    ASSERT_TRUE(WaitForScreen("*** You are connected to Win.")) << screen;

    Keys("'/popup Coffee?' Enter");
    HWND received = windows.WaitForDialog("Popup message from Tux");
    EXPECT_EQ(TextOf(GetDlgItem(received, IDC_POPUP_TEXT)), "Coffee?");
    ASSERT_TRUE(windows.Type("/quit bye"));
    EXPECT_TRUE(WaitForScreen("*** Win has quit(Quit: bye)")) << screen;
}

TEST_F(InteropTest, NorrikSendOpensAPopupInWindowsAndSaysSoInItsStatus) {
    Program windows("Win");
    ASSERT_TRUE(windows.started() && StartServing(windows));
    ASSERT_TRUE(Shell(program + " send --popup --nick Script 127.0.0.1 'Build 1432 is green' >" + folder +
                      "/out 2>" + folder + "/err; echo $? >" + folder + "/status"));
    EXPECT_EQ(Read("status") + Read("out") + Read("err"), "0\n");
    HWND received = windows.WaitForDialog("Popup message from Script");
    EXPECT_EQ(TextOf(GetDlgItem(received, IDC_POPUP_TEXT)), "Build 1432 is green");
    EXPECT_TRUE(windows.WaitForHistory("*** Script has quit(Quit: Leaving)\r\n")) << windows.lastHistory;

    ASSERT_TRUE(Shell(program + " send 127.0.0.1 '" + std::string(301, 'x') + "' 2>" + folder + "/err; echo $? >" +
                      folder + "/status"));
    EXPECT_EQ(Read("status") + Read("err"), "1\nnorrik: the chat line is 301 characters; it takes at most 300\n");
    // Cut to 49 characters, the name would be another host's.
    ASSERT_TRUE(Shell(program + " send " + std::string(49, 'h') + ".invalid hi 2>" + folder + "/err; echo $? >" +
                      folder + "/status"));
    EXPECT_EQ(Read("status") + Read("err"),
              "2\nnorrik: the host name is 57 characters; it takes at most 49\nTry 'norrik --help'.\n");
}

}  // namespace
