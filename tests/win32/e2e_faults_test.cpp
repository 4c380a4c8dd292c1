// What goes wrong around a conversation, as a user meets it: the peer
// vanishes, the port is taken, the name does not resolve, nobody listens,
// the settings cannot be written. Each gives its line or box, and the copy
// goes on working afterwards.
#include <gtest/gtest.h>

#include "win32/e2e_support.h"

#include <sddl.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "res/resource.h"

namespace {

const char* const SETTINGS_KEY = "Software\\Velmora\\Norrik";

TEST(FaultTest, PeerThatVanishesWithAResetMidConversationIsReportedAndTheServerGoesOn) {
    Program alice("Alice");
    ASSERT_TRUE(alice.started());
    ASSERT_NO_FATAL_FAILURE(StartServing(alice));
    RawPeer peer;
    ASSERT_NO_FATAL_FAILURE(JoinServer(peer, "Alice"));
    ASSERT_NO_FATAL_FAILURE(GreetAs(peer, alice, "Gone"));
    // Half a message is on its way when the peer's machine drops it.
    ASSERT_TRUE(peer.Send(ChatMessage("we were talking") + ChatMessage("and then").substr(0, 7)));
    ASSERT_TRUE(alice.WaitForHistory("<Gone> we were talking\r\n"));
    peer.Reset();
    ASSERT_TRUE(alice.WaitForHistory("***Gone has quit(Connection reset)\r\n")) << alice.lastHistory;
    EXPECT_FALSE(alice.ButtonEnabled(IDT_SEND_POPUP));
    ASSERT_TRUE(alice.Type("anyone there?"));
    EXPECT_TRUE(alice.WaitForHistory("***Not connected\r\n")) << alice.lastHistory;

    RawPeer next;
    ASSERT_NO_FATAL_FAILURE(JoinServer(next, "Alice"));
    ASSERT_NO_FATAL_FAILURE(GreetAs(next, alice, "Back"));
    ASSERT_TRUE(next.Send(ChatMessage("clean start")));
    EXPECT_TRUE(alice.WaitForHistory("*** You are connected to Back.\r\n<Back> clean start\r\n")) << alice.lastHistory;
}

TEST(FaultTest, ServerPortInUseIsReportedAndStartServerWorksOnceItIsFree) {
    RawPeer peer;  // starts WinSock for this process as well
    // Another program holds the port on every address.
    SOCKET holder = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(holder, INVALID_SOCKET);
    sockaddr_in any = {};
    any.sin_family = AF_INET;
    any.sin_port = htons(PORT);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    ASSERT_EQ(listen(holder, 1), 0);

    Program alice("Alice");
    ASSERT_TRUE(alice.started());
    alice.Command(IDM_START_SERVER);
    ASSERT_TRUE(alice.WaitForHistory("Could not bind listening socket!\r\n")) << alice.lastHistory;
    EXPECT_EQ(alice.History(), STARTUP + "Could not bind listening socket!\r\n");
    EXPECT_TRUE(alice.ButtonEnabled(IDT_START_SERVER));
    EXPECT_TRUE(alice.ButtonEnabled(IDT_CONNECT));

    closesocket(holder);
    ASSERT_NO_FATAL_FAILURE(StartServing(alice));
    ASSERT_NO_FATAL_FAILURE(JoinServer(peer, "Alice"));
}

// A connection to badHost fails with exactly lines after the start-up, the
// controls return to the idle client's, and the next connection (to a raw
// server, through goodHost) works.
void FailsThenConnects(const char* badHost, const std::string& lines, const char* goodHost) {
    Program bob("Bob");
    ASSERT_TRUE(bob.started());
    ASSERT_TRUE(bob.ConnectThroughDialog(badHost));
    // A machine whose name server cannot be reached answers a look-up only
    // after the resolver's own time-outs: three waits, not one.
    bool shown = false;
    for (int wait = 0; wait < 3 && !shown; ++wait) shown = bob.WaitForHistory(lines);
    ASSERT_TRUE(shown) << bob.lastHistory;
    EXPECT_EQ(bob.History(), STARTUP + lines);
    EXPECT_TRUE(bob.ButtonEnabled(IDT_CONNECT));
    EXPECT_FALSE(bob.ButtonEnabled(IDT_DISCONNECT));

    RawPeer server;
    ASSERT_TRUE(server.Listen(PORT));
    ASSERT_NO_FATAL_FAILURE(AcceptTheClient(server, bob, goodHost, "Bob"));
}

TEST(FaultTest, HostNameThatDoesNotResolveIsReportedAndTheControlsComeBack) {
    // The .invalid domain never resolves anywhere.
    FailsThenConnects("no-such-host.invalid", "***Error: Unable to resolve address!\r\n", "localhost");
}

TEST(FaultTest, ConnectingWhereNobodyListensIsReportedWithTheErrorNumber) {
    // WSAECONNREFUSED, and no line end after it.
    FailsThenConnects("127.0.0.1", "***Error: Unable to connect\r\n***Last error number is: 10061", "127.0.0.1");
}

// Sets the settings key's access list from a security descriptor string.
bool SetSettingsAccess(const char* descriptor) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, WRITE_DAC, &key) != ERROR_SUCCESS) return false;
    PSECURITY_DESCRIPTOR sd = nullptr;
    bool done = ConvertStringSecurityDescriptorToSecurityDescriptorA(descriptor, SDDL_REVISION_1, &sd, nullptr) &&
                RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS;
    LocalFree(sd);
    RegCloseKey(key);
    return done;
}

// Everyone may read the key and its owner may change the list back; nobody
// may write a value.
void MakeSettingsReadOnly() { SetSettingsAccess("D:P(A;;KR;;;WD)(A;;WD;;;OW)"); }

// Answers every "Error" box of the program with OK and keeps its text.
class BoxAnswerer {
public:
    BoxAnswerer() : thread_([this] { Run(); }) {}
    ~BoxAnswerer() {
        stop_ = true;
        thread_.join();
    }
    std::vector<std::string> texts() {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }
    bool WaitForCount(size_t count) {
        DWORD start = GetTickCount();
        while (texts().size() < count && GetTickCount() - start < E2E_WAIT) Sleep(20);
        return texts().size() >= count;
    }

private:
    void Run() {
        // Bounded even if the test forgets to stop it.
        DWORD start = GetTickCount();
        while (!stop_ && GetTickCount() - start < 120000) {
            HWND box = FindWindowA("#32770", "Error");
            if (box && IsWindowVisible(box)) {
                char text[200] = "";
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    texts_.push_back(text);
                }
                SendMessageTimeoutA(box, WM_COMMAND, IDOK, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
                DWORD closing = GetTickCount();
                while (IsWindow(box) && GetTickCount() - closing < 2000) Sleep(10);
            }
            Sleep(20);
        }
    }

    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> texts_;
    std::thread thread_;
};

// Whatever happens in the test, the next tests find a key they may write.
struct WritableAgainAfterwards {
    ~WritableAgainAfterwards() { SetSettingsAccess("D:P(A;;KA;;;WD)"); }
};

TEST(FaultTest, ReadOnlySettingsKeyGivesItsBoxAndTheProgramStillWorks) {
    const std::string box = "Unable to open registry! Settings not saved";
    WritableAgainAfterwards restore;
    {
        BoxAnswerer answerer;
        Program alice("Reader", MakeSettingsReadOnly, false);
        // The settings are saved once they are read, before the window
        // exists: the box comes first.
        ASSERT_TRUE(answerer.WaitForCount(1));
        EXPECT_EQ(answerer.texts()[0], box);
        ASSERT_TRUE(alice.WaitUntilStarted()) << alice.lastHistory;

        // What could be read was read: the stored nickname greets the peer.
        ASSERT_NO_FATAL_FAILURE(StartServing(alice));
        RawPeer peer;
        ASSERT_NO_FATAL_FAILURE(JoinServer(peer, "Reader"));
        peer.Close();

        // Leaving saves again, and is told again; the program still ends well.
        DWORD exitCode = 99;
        ASSERT_TRUE(alice.CloseAndWait(&exitCode));
        EXPECT_EQ(exitCode, 0u);
        ASSERT_TRUE(answerer.WaitForCount(2));
        EXPECT_EQ(answerer.texts()[1], box);
    }
    EXPECT_TRUE(SetSettingsAccess("D:P(A;;KA;;;WD)"));
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

}  // namespace
