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
        if (folder.empty()) return;
        Shell("tmux -L " + Server() + " kill-server; [ -f " + folder + "/relay.pid ] && kill $(cat " + folder +
              "/relay.pid); rm -rf " + folder);
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
    // The terminal program, in the network namespace whose process is given.
    void Start(const std::string& arguments, const std::string& inNamespaceOf = "") {
        const std::string enter = inNamespaceOf.empty() ? "" : "nsenter -t " + inNamespaceOf + " -n ";
        ASSERT_TRUE(Shell(enter + Tmux() + "-f /dev/null new-session -d -s t -x 80 -y 24 '" + program + " " +
                          arguments + "'"));
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
    ASSERT_TRUE(windows.WaitForHistory("*** You are connected to Tux.\r\n" + FirstContact("Tux")))
        << windows.lastHistory;
    ASSERT_TRUE(WaitForScreen("connected to Win (encrypted)")) << screen;

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
    ASSERT_TRUE(windows.WaitForHistory("*** You are connected to Tux.\r\n" + FirstContact("Tux")))
        << windows.lastHistory;
    ASSERT_TRUE(WaitForScreen("connected to Win (encrypted)")) << screen;

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
    // Sealed too: a plaintext line after the handshake would have been refused.
    EXPECT_TRUE(windows.WaitForHistory("*** You are connected to Script.\r\n" + FirstContact("Script") +
                                       "*** Script has quit(Quit: Leaving)\r\n"))
        << windows.lastHistory;

    ASSERT_TRUE(Shell(program + " send 127.0.0.1 '" + std::string(301, 'x') + "' 2>" + folder + "/err; echo $? >" +
                      folder + "/status"));
    EXPECT_EQ(Read("status") + Read("err"), "1\nnorrik: the chat line is 301 characters; it takes at most 300\n");
    // Cut to 49 characters, the name would be another host's.
    ASSERT_TRUE(Shell(program + " send " + std::string(49, 'h') + ".invalid hi 2>" + folder + "/err; echo $? >" +
                      folder + "/status"));
    EXPECT_EQ(Read("status") + Read("err"),
              "2\nnorrik: the host name is 57 characters; it takes at most 49\nTry 'norrik --help'.\n");
}

// One connection through the relay (relay.py) a row: what it does, what is
// typed and shown on each side, and what it saw each side send, masked. The
// rows run in order between the same two processes, which remember whom
// they met encrypted.
struct Step {
    bool inWindows;  // typed in norrik.exe, shown by the terminal; or the other way
    std::string typed, shown;
};
struct RelayRow {
    const char* mode;
    std::vector<Step> steps;
    std::string windowsGained, clientSent, serverSent, closedFirst;
};

TEST_F(InteropTest, ARelaySeesOnlySealedRecordsAndWhatItChangesIsCaught) {
    const std::string connect = "/connect 127.0.0.1", joined = "*** You are connected to Tux.\r\n";
    const std::string downgrade = "***WARNING: Tux was encrypted before and is not now: someone may be in between!\r\n";
    const std::string failed = "***Error: A message failed authentication; connection closed\r\n";
    const RelayRow rows[] = {
        {"forward",
         {{false, connect, joined + FirstContact("Tux")},
          {true, "", "connected to Win (encrypted)"},
          {true, "", "***Encrypted. First conversation with this key of Win:"},
          {false, "quiet words", "<Tux> quiet words\r\n"},
          {false, "/popup sealed note", ""},
          {false, "/me whispers", "*Tux whispers.\r\n"},
          {true, "hidden reply", "<Win> hidden reply"},
          {false, "/quit bye", "*** Tux has quit(Quit: bye)\r\n"}},
         joined + FirstContact("Tux") +
             "<Tux> quiet words\r\n*Tux whispers.\r\n<Win> hidden reply\r\n*** Tux has quit(Quit: bye)\r\n",
         Hello("Tux") + Handshake(43) + Handshake(86) + Record(1 + 11) + Record(2 + 11) + Record(2 + 8) + Record(2 + 3),
         Hello("Win") + Handshake(128) + Record(1 + 12), "client"},
        {"strip",
         {{false, connect, joined + downgrade},
          {true, "", "connected to Win (NOT encrypted)"},
          {true, "", "***WARNING: Win was encrypted before and is not now"},
          {false, "plain words", "<Tux> plain words\r\n"},
          {false, "/quit over", "*** Tux has quit(Quit: over)\r\n"}},
         joined + downgrade + "<Tux> plain words\r\n*** Tux has quit(Quit: over)\r\n",
         Hello("Tux") + Handshake(43) + ChatMessage("plain words") + Quit("over"), Hello("Win"), "client"},
        {"flip",
         {{false, connect, joined + "***Encrypted. Tux's key is known\r\n"},
          {true, "", "***Encrypted. Win's key is known"},
          {false, "tampered words", failed},
          {true, "", "***Win has quit(Connection reset)"}},
         joined + "***Encrypted. Tux's key is known\r\n" + failed,
         Hello("Tux") + Handshake(43) + Handshake(86) + Record(1 + 14), Hello("Win") + Handshake(128), "server"},
    };
    // The last connection is norrik send's, which seals too.
    std::string modes;
    for (const RelayRow& row : rows) modes += std::string(row.mode) + ",";
    modes += "forward";
    ASSERT_TRUE(Shell("/usr/bin/python3 " NORRIK_RELAY_SCRIPT " " + folder + " " + modes + " >" + folder +
                      "/relay.log 2>&1 &"));
    for (DWORD start = GetTickCount(); Read("relay.pid").empty() && Read("relay.error").empty() && !Elapsed(start);)
        Sleep(20);
    if (!Read("relay.error").empty()) {
        GTEST_SKIP() << Read("relay.error");
    }
    ASSERT_FALSE(Read("relay.pid").empty()) << Read("relay.log");
    Program windows("Win");
    ASSERT_TRUE(windows.started() && StartServing(windows));
    Start("", Read("relay.pid"));

    for (size_t n = 0; n < std::size(rows); ++n) {
        const RelayRow& row = rows[n];
        const size_t mark = windows.History().size();
        for (const Step& step : row.steps) {
            if (step.inWindows && !step.typed.empty()) {
                ASSERT_TRUE(windows.Type(step.typed)) << row.mode;
            } else if (!step.typed.empty()) {
                Keys("'" + step.typed + "' Enter");
            }
            if (step.shown.empty()) continue;
            EXPECT_TRUE(step.inWindows ? WaitForScreen(step.shown) : windows.WaitForHistory(step.shown))
                << row.mode << ": " << step.typed << "\n" << screen << windows.Since(mark);
        }
        EXPECT_TRUE(windows.WaitForGain(mark, row.windowsGained)) << row.mode << "\n" << windows.Since(mark);
        const std::string seen = std::to_string(n);
        for (DWORD start = GetTickCount(); Read(seen + ".closed").empty() && !Elapsed(start);) Sleep(20);
        EXPECT_EQ(Read(seen + ".closed"), row.closedFirst) << row.mode;
        EXPECT_EQ(Masked(Read(seen + ".client")), row.clientSent) << row.mode;
        EXPECT_EQ(Masked(Read(seen + ".server")), row.serverSent) << row.mode;
    }
    // The relay read none of the words typed in the encrypted conversations,
    // and could read those of the one it made plaintext.
    const size_t mark = windows.History().size();
    ASSERT_TRUE(Shell("nsenter -t " + Read("relay.pid") + " -n " + program +
                      " send --nick Anna 127.0.0.1 rendezvous lighthouse >" + folder + "/send.out 2>&1; echo $? >>" +
                      folder + "/send.out"));
    EXPECT_EQ(Read("send.out"), "0\n");
    EXPECT_TRUE(windows.WaitForGain(mark, "*** You are connected to Anna.\r\n" + FirstContact("Anna") +
                                              "<Anna> rendezvous lighthouse\r\n*** Anna has quit(Quit: Leaving)\r\n"))
        << windows.Since(mark);
    for (DWORD start = GetTickCount(); Read("3.closed").empty() && !Elapsed(start);) Sleep(20);
    EXPECT_EQ(Masked(Read("3.client")), Hello("Anna") + Handshake(43) + Handshake(86) + Record(1 + 21) + Record(2 + 7));
    const std::string sealedSeen =
        Read("0.client") + Read("0.server") + Read("2.client") + Read("2.server") + Read("3.client") + Read("3.server");
    for (const char* word : {"quiet", "sealed", "whispers", "hidden", "bye", "tampered", "rendezvous", "lighthouse"})
        EXPECT_EQ(sealedSeen.find(word), std::string::npos) << word;
    EXPECT_NE(Read("1.client").find("plain words"), std::string::npos);
}

}  // namespace
