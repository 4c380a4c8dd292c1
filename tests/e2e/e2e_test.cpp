// Real copies of the program on 127.0.0.1 port 6374, with each other and
// with a peer of the test's own: what each side shows, and what travels on
// the wire, byte by byte. The flood and the soak find what only volume
// shows: lost or split messages, a history that stops growing, a window
// that stops answering; short by default, full size with NORRIK_LONG=1.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <sstream>
#include <thread>

#include "e2e/e2e_support.h"
// After windows.h, which it needs and does not include.
#include <tlhelp32.h>

namespace {

void Say(Program& from, const std::string& typed, Program& to, const std::string& shown) {
    ASSERT_TRUE(from.Type(typed));
    ASSERT_TRUE(to.WaitForHistory(shown)) << typed << "\n" << to.lastHistory;
}

TEST(ConversationTest, TwoCopiesFailToMeetThenChatExchangePopupsPartMeetAgainAndOneVanishes) {
    Program alice("Alice"), bob("Bob");
    // Nobody listens yet (WSAECONNREFUSED, no line end), and .invalid never
    // resolves, if slowly where the name server is out of reach.
    ASSERT_TRUE(bob.ConnectThroughDialog("127.0.0.1"));
    ASSERT_TRUE(bob.WaitForHistory("***Last error number is: 10061")) << bob.lastHistory;
    ASSERT_TRUE(bob.ConnectThroughDialog("no-such-host.invalid"));
    ASSERT_TRUE(bob.WaitForHistory("***Error: Unable to resolve address!\r\n", 1, 3 * E2E_WAIT)) << bob.lastHistory;
    ASSERT_TRUE(ConnectCopies(alice, "Alice", bob, "Bob")) << alice.lastHistory << bob.lastHistory;
    ASSERT_TRUE(alice.WaitForHistory(FirstContact("Bob"))) << alice.lastHistory;
    const size_t aliceFrom = alice.lastHistory.size();
    ASSERT_NO_FATAL_FAILURE(Say(bob, "hello Alice, 100% sure %s", alice, "<Bob> hello Alice, 100% sure %s\r\n"));
    ASSERT_NO_FATAL_FAILURE(Say(alice, "/me waves", bob, "*Alice waves.\r\n"));
    ASSERT_NO_FATAL_FAILURE(Say(bob, "/nick Robert", alice, "***Bob is now known as Robert.\r\n"));
    ASSERT_NO_FATAL_FAILURE(Say(bob, "still me", alice, "<Robert> still me\r\n"));

    // A popup opens a window on the other side, and Reply answers it.
    ASSERT_TRUE(alice.Type("/popup Lunch?"));
    HWND received = bob.WaitForDialog("Popup message from Alice");
    EXPECT_EQ(TextOf(GetDlgItem(received, IDC_POPUP_TEXT)), "Lunch?");
    PostMessageA(received, WM_COMMAND, IDC_REPLY, 0);
    HWND reply = bob.WaitForDialog("Send popup message to Alice");
    const std::string answer = "Yes! " + std::string(495, 'y');  // all the send window takes
    ASSERT_TRUE(SetText(GetDlgItem(reply, IDC_POPUP_TEXT), answer));
    PostMessageA(reply, WM_COMMAND, IDC_SEND, 0);
    EXPECT_EQ(TextOf(GetDlgItem(alice.WaitForDialog("Popup message from Robert"), IDC_POPUP_TEXT)), answer);

    ASSERT_NO_FATAL_FAILURE(Say(bob, "/quit see you", alice, "*** Robert has quit(Quit: see you)\r\n"));
    // The server takes the next client, by name this time; the greeting
    // carries the stored nickname, not the one changed with /nick.
    ASSERT_TRUE(bob.WaitForHistory("Disconnected from server...\r\n"));
    ASSERT_TRUE(bob.ConnectThroughDialog("localhost"));
    ASSERT_TRUE(bob.WaitForHistory("*** You are connected to Alice.\r\n***Encrypted. Alice's key is known\r\n"))
        << bob.lastHistory;
    ASSERT_NO_FATAL_FAILURE(Say(bob, "back as Bob", alice, "<Bob> back as Bob\r\n"));
    EXPECT_TRUE(alice.WaitForGain(
        aliceFrom, "<Bob> hello Alice, 100% sure %s\r\n*Alice waves\r\n***Bob is now known as Robert.\r\n"
                   "<Robert> still me\r\n*** Robert has quit(Quit: see you)\r\n"
                   "*** You are connected to Bob.\r\n***Encrypted. Bob's key is known\r\n<Bob> back as Bob\r\n"))
        << alice.Since(aliceFrom);

    // Alice's machine goes down without a word.
    TerminateProcess(alice.process.hProcess, 1);
    ASSERT_TRUE(bob.WaitForHistory("***Alice has quit(Connection reset)\r\n")) << bob.lastHistory;
    EXPECT_EQ(bob.lastHistory, STARTUP +
                                   "***Error: Unable to connect\r\n***Last error number is: 10061"
                                   "***Error: Unable to resolve address!\r\n"
                                   "*** You are connected to Alice.\r\n" + FirstContact("Alice") +
                                   "<Bob> hello Alice, 100% sure %s\r\n"
                                   "*Alice waves.\r\n***Your are now known as Robert.\r\n<Robert> still me\r\n"
                                   "Disconnected from server...\r\n*** You are connected to Alice.\r\n"
                                   "***Encrypted. Alice's key is known\r\n<Bob> back as Bob\r\n"
                                   "***Alice has quit(Connection reset)\r\n");
}

// One peer after another joins the serving copy, reads its greeting, sends
// its bytes and, once the copy shows them, leaves.
struct PeerRow {
    const char* what;
    std::string bytes;
    bool trickle;  // a byte a segment, so that the copy reads them apart
    bool reset;    // leaves with a reset instead of the orderly close
    std::string shown, left;
};

TEST(ServingCopyTest, ShowsExactlyWhatEachPeerSentAndHowItLeftAndTakesTheNext) {
    Program alice("Alice");
    ASSERT_TRUE(alice.started() && StartServing(alice)) << alice.lastHistory;
    const PeerRow rows[] = {
        {"every kind (0x08 an action, 0x04 a new name), then quit",
         Hello("Raw") + ControlMessage(8, "waves") + ControlMessage(4, "Zed") + ChatMessage("") + Quit("bye"), false,
         false,
         "*** You are connected to Raw.\r\n" + NotEncrypted("Raw") +
             "*Raw waves.\r\n***Raw is now known as Zed.\r\n<Zed> \r\n",
         "*** Zed has quit(Quit: bye)\r\n"},
        {"a byte at a time", Hello("Drip") + ChatMessage("a byte at a time") + ControlMessage(8, "drips"), true, false,
         "*** You are connected to Drip.\r\n" + NotEncrypted("Drip") + "<Drip> a byte at a time\r\n*Drip drips.\r\n",
         "***Drip has quit(Connection reset)\r\n"},
        {"reset, half a message on its way", Hello("Gone") + ChatMessage("talking") + ChatMessage("and").substr(0, 4),
         false, true, "*** You are connected to Gone.\r\n" + NotEncrypted("Gone") + "<Gone> talking\r\n",
         "***Gone has quit(Connection reset)\r\n"},
        {"no greeting: not the last name but Peer, and nothing of the half message", ChatMessage("who am I"), false,
         false, NotEncrypted("Peer") + "<Peer> who am I\r\n", "***Peer has quit(Connection reset)\r\n"},
        {"line breaks and escapes in one line", Hello("Ann\r\nBob") + ChatMessage("hi\r\n*** Bob has quit\x1b[2J"),
         false, false,
         "*** You are connected to Ann??Bob.\r\n" + NotEncrypted("Ann??Bob") +
             "<Ann??Bob> hi??*** Bob has quit?[2J\r\n",
         "***Ann??Bob has quit(Connection reset)\r\n"},
    };
    size_t mark = alice.lastHistory.size();
    for (const PeerRow& row : rows) {
        RawPeer peer;
        ASSERT_TRUE(peer.Connect(PORT)) << row.what;
        EXPECT_EQ(peer.Read(10), Hello("Alice")) << row.what;
        for (size_t at = 0, piece = row.trickle ? 1 : row.bytes.size(); at < row.bytes.size(); at += piece, Sleep(2)) {
            ASSERT_TRUE(peer.Send(row.bytes.substr(at, piece))) << row.what;
        }
        EXPECT_TRUE(alice.WaitForGain(mark, row.shown)) << row.what << "\n" << alice.Since(mark);
        row.reset ? peer.Reset() : peer.Close();
        EXPECT_TRUE(alice.WaitForGain(mark, row.shown + row.left)) << row.what << "\n" << alice.Since(mark);
        mark = alice.lastHistory.size();
    }

    // WinSock tells of a knock once: a client that knocks while the copy
    // serves must be taken when the peer has left.
    RawPeer first, second;
    ASSERT_TRUE(first.Connect(PORT) && first.Read(10) == Hello("Alice") && first.Send(Hello("One")));
    ASSERT_TRUE(alice.WaitForHistory("*** You are connected to One.\r\n"));
    ASSERT_TRUE(second.Connect(PORT) && second.Send(Hello("Two")));
    ASSERT_TRUE(first.Send(ChatMessage("bye") + Quit("q")));
    first.Close();
    EXPECT_EQ(second.Read(10), Hello("Alice"));
    const std::string shown =
        "*** You are connected to One.\r\n" + NotEncrypted("One") + "<One> bye\r\n*** One has quit(Quit: q)\r\n"
        "*** You are connected to Two.\r\n" + NotEncrypted("Two");
    ASSERT_TRUE(alice.WaitForGain(mark, shown)) << alice.Since(mark);
    ASSERT_TRUE(alice.Type("welcome, Two"));
    EXPECT_EQ(second.Read(20), ChatMessage("welcome, Two"));
    EXPECT_TRUE(alice.WaitForGain(mark, shown + "<Alice> welcome, Two\r\n")) << alice.Since(mark);

    // Leaving with a peer there: one quit message, the close, exit code 0.
    PostMessageA(alice.window, WM_CLOSE, 0, 0);
    DWORD exitCode = 99;
    ASSERT_EQ(WaitForSingleObject(alice.process.hProcess, E2E_WAIT), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(alice.process.hProcess, &exitCode) && exitCode == 0) << exitCode;
    bool closed = false;
    EXPECT_EQ(second.Read(SIZE_MAX, &closed), Quit("Leaving"));
    EXPECT_TRUE(closed);
}

// A connection that never greets holds the one slot for 20 seconds, not for
// good: the copy's own timer closes it and takes the client waiting behind.
TEST(ServingCopyTest, ASilentPeerLeavesAfterTwentySecondsAndTheNextIsTaken) {
    Program alice("Alice");
    ASSERT_TRUE(alice.started() && StartServing(alice)) << alice.lastHistory;
    RawPeer silent, next;
    ASSERT_TRUE(silent.Connect(PORT) && silent.Read(10) == Hello("Alice"));
    ASSERT_TRUE(next.Connect(PORT) && next.Send(Hello("Next")));
    const std::string shown = "***No greeting within 20 seconds; connection closed\r\n*** You are connected to Next.\r\n";
    EXPECT_TRUE(alice.WaitForHistory(shown, 1, 3 * E2E_WAIT)) << alice.lastHistory;
    bool closed = false;
    EXPECT_EQ(silent.Read(1, &closed), "");
    EXPECT_TRUE(closed);
    EXPECT_EQ(next.Read(10), Hello("Alice"));
}

// The texts of the process's received popup windows from the peer.
std::multiset<std::string> PopupTexts(const Program& program, const std::string& peer) {
    std::multiset<std::string> texts;
    const std::string caption = "Popup message from " + peer;
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32770", nullptr)) != nullptr;) {
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        if (id == program.process.dwProcessId && TextOf(window) == caption)
            texts.insert(TextOf(GetDlgItem(window, IDC_POPUP_TEXT)));
    }
    return texts;
}

TEST(PopupFloodTest, ABurstLeavesTwentyWindowsTheRestAsLinesAndTheUserIsAnswered) {
    Program alice("Alice");
    RawPeer peer;
    ASSERT_TRUE(ServeAndJoin(alice, "Alice", peer, "Burst")) << alice.lastHistory;
    const size_t mark = alice.lastHistory.size();
    std::string burst, lines = NotEncrypted("Burst");
    std::multiset<std::string> windows;
    for (int n = 1; n <= 300; ++n) {
        const std::string text = "popup " + std::to_string(n);
        burst += ControlMessage('\x10', text);
        if (n <= 20) windows.insert(text);
        else lines += "***Popup message from Burst: " + text + "\r\n";
    }
    ASSERT_TRUE(peer.Send(burst));
    ASSERT_TRUE(alice.WaitForGain(mark, lines)) << alice.Since(mark);
    ASSERT_TRUE(alice.Type("still here"));
    EXPECT_EQ(peer.Read(20), ChatMessage("still here"));
    EXPECT_TRUE(alice.WaitForGain(mark, lines + "<Alice> still here\r\n")) << alice.Since(mark);
    EXPECT_EQ(PopupTexts(alice, "Burst"), windows);

    // Once the user has closed them, the next popup opens a window again.
    HWND open = nullptr;
    for (int n = 0; n < 40 && (open = VisibleWindowOf(alice.process.dwProcessId, "#32770", "Popup message from")); ++n)
        Ask(open, WM_COMMAND, IDC_CLOSE, 0);
    ASSERT_FALSE(open) << "a popup window that does not close";
    ASSERT_TRUE(peer.Send(ControlMessage('\x10', "after")));
    EXPECT_EQ(TextOf(GetDlgItem(alice.WaitForDialog("Popup message from Burst"), IDC_POPUP_TEXT)), "after");
    EXPECT_EQ(alice.History().substr(mark), lines + "<Alice> still here\r\n");
}

// The file names, in lower case, of the modules the process has loaded.
std::set<std::string> LoadedModules(DWORD processId) {
    std::set<std::string> names;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    MODULEENTRY32 module = {};
    module.dwSize = sizeof module;
    for (BOOL more = Module32First(snapshot, &module); more; more = Module32Next(snapshot, &module)) {
        names.insert(CharLowerA(module.szModule));
    }
    CloseHandle(snapshot);
    return names;
}

// The file dialog's library (under Wine it brings the printing system) and
// the sound's are loaded when first used, not at start.
TEST(StartUpTest, LoadsTheFileDialogAndSoundLibrariesOnlyWhenUsed) {
    Program alice("Alice");
    RawPeer peer;
    ASSERT_TRUE(ServeAndJoin(alice, "Alice", peer, "Pop")) << alice.lastHistory;
    const std::set<std::string> started = LoadedModules(alice.process.dwProcessId);
    EXPECT_EQ(started.count("shell32.dll"), 1u) << "the tray icon is there";
    EXPECT_EQ(started.count("comdlg32.dll"), 0u);
    EXPECT_EQ(started.count("winmm.dll"), 0u);
    ASSERT_TRUE(peer.Send(ControlMessage('\x10', "ding")));
    ASSERT_TRUE(alice.WaitForDialog("Popup message from Pop"));
    EXPECT_EQ(LoadedModules(alice.process.dwProcessId).count("winmm.dll"), 1u) << "the popup's sound played";
}

std::string Wave(long n) { return "wave " + std::to_string(n) + std::string(40, '~'); }

TEST(FloodTest, HostilePeerLosesNoLineSplitsNoneAndTheUserIsStillAnswered) {
    Program alice("Alice");
    RawPeer peer;
    ASSERT_TRUE(ServeAndJoin(alice, "Alice", peer, "Flood")) << alice.lastHistory;
    const size_t joined = alice.lastHistory.size();

    // Bursts, so that the copy rather than the peer sets the pace. A send
    // that gives up goes on where it stopped, and the stop comes within one.
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        std::string rest;
        for (long n = 0; !stop;) {
            while (rest.size() < 1000) rest += ChatMessage(Wave(n++));
            const int taken = send(peer.handle, rest.data(), static_cast<int>(rest.size()), 0);
            if (taken <= 0 && WSAGetLastError() != WSAETIMEDOUT) return;
            rest.erase(0, std::max(taken, 0));
        }
    });
    // The first wave shows that the peer speaks the original protocol; the
    // user types once that is settled, so that the count below is exact.
    const std::string plain = NotEncrypted("Flood");
    const bool settled = alice.WaitFor([&](const std::string& text) {
        return text.size() >= joined + plain.size() && text.compare(joined, plain.size(), plain) == 0;
    });
    const size_t mark = joined + plain.size();
    // The short run ends once the copy has shown far more than the 30,000
    // characters an edit control takes unless told otherwise.
    const DWORD least = LongRun() ? 30000 : 2000;
    int typed = 0;
    for (DWORD start = GetTickCount(), ms = 0; ms < 30000 && (ms < least || alice.HistoryLength() < mark + 70000);
         Sleep(500), ms = GetTickCount() - start) {
        EXPECT_TRUE(alice.Type("typed during the flood " + std::to_string(typed++))) << "the window stopped answering";
    }
    stop = true;
    flood.join();
    EXPECT_TRUE(settled) << alice.lastHistory.substr(joined, 200);
    peer.Reset();
    ASSERT_TRUE(alice.WaitForHistory("***Flood has quit(Connection reset)\r\n")) << alice.lastHistory.size();

    // What the copy read before the reset are the first waves, each whole,
    // once and in order, with the user's lines among them.
    std::istringstream lines(alice.lastHistory.substr(mark));
    std::string line;
    int waves = 0, echoes = 0;
    while (std::getline(lines, line)) {
        if (line == "<Flood> " + Wave(waves) + "\r") ++waves;
        else if (line == "<Alice> typed during the flood " + std::to_string(echoes) + "\r") ++echoes;
        else break;
    }
    EXPECT_EQ(line, "***Flood has quit(Connection reset)\r") << "after wave " << waves << " and echo " << echoes;
    EXPECT_FALSE(std::getline(lines, line)) << line;
    EXPECT_EQ(echoes, typed);
    EXPECT_GT(waves, 1000);
}

// A flood of 1.5 MB leaves at most 1,000,000 characters, from a line's
// start to the last message whole. Over a minute: the long run only.
TEST(FloodTest, AFullHistoryKeepsTheNewestWholeLines) {
    if (!LongRun()) GTEST_SKIP() << "a long run: NORRIK_LONG=1 (scripts/test --long)";
    Program alice("Alice");
    RawPeer peer;
    ASSERT_TRUE(ServeAndJoin(alice, "Alice", peer, "Flood")) << alice.lastHistory;
    auto text = [](int n) { return std::to_string(n) + std::string(500 - std::to_string(n).size(), '#'); };
    std::string rest;
    for (int n = 0; n < 3000; ++n) rest += ChatMessage(text(n));
    for (DWORD start = GetTickCount(); !rest.empty() && !Elapsed(start, 300000);) {
        const int taken = send(peer.handle, rest.data(), static_cast<int>(std::min<size_t>(rest.size(), 65536)), 0);
        if (taken <= 0 && WSAGetLastError() != WSAETIMEDOUT) break;
        rest.erase(0, std::max(taken, 0));
    }
    ASSERT_TRUE(rest.empty());
    const std::string last = "<Flood> " + text(2999) + "\r\n";
    std::string history;
    for (DWORD start = GetTickCount(); !Elapsed(start, 300000); Sleep(500)) {
        history = alice.History();
        if (history.size() >= last.size() && history.compare(history.size() - last.size(), last.size(), last) == 0) break;
    }
    EXPECT_EQ(history.substr(history.size() - std::min(history.size(), last.size())), last);
    EXPECT_LE(history.size(), 1000000u);
    EXPECT_EQ(history.substr(0, 8) + std::to_string(history.find("\r\n")), "<Flood> 508") << "a whole first line";
}

TEST(SoakTest, LinesOfEveryLengthBothWaysArriveOnceAndInOrder) {
    const int each = LongRun() ? 5000 : 250;
    Program alice("Alice"), bob("Bob");
    ASSERT_TRUE(ConnectCopies(alice, "Alice", bob, "Bob")) << alice.lastHistory << bob.lastHistory;
    Program* const copies[] = {&alice, &bob};
    const std::string names[] = {"Alice", "Bob"};
    std::vector<std::string> typed[2];
    for (int n = 0; n < each; ++n) {
        for (int from : {0, 1}) {
            const auto text = std::to_string(n) + " %s%n" + std::string((n * 37 + from * 101) % 290, 'a' + n % 26);
            ASSERT_TRUE(copies[from]->Type(text)) << n;
            typed[from].push_back("<" + names[from] + "> " + text);
        }
    }
    for (int from : {0, 1}) {
        Program& to = *copies[1 - from];
        ASSERT_TRUE(to.WaitForHistory(typed[from].back() + "\r\n", 1, LongRun() ? 120000 : 30000)) << names[from];
        std::istringstream lines(to.lastHistory);
        std::vector<std::string> received;
        for (std::string line; std::getline(lines, line);) {
            // The busy refusal ends "\n\r", before whatever line comes next.
            line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
            if (line.rfind("<" + names[from] + "> ", 0) == 0) received.push_back(line);
        }
        // In order, nothing twice, nothing else; missing only what the
        // sender refused as busy.
        size_t next = 0;
        for (const std::string& line : received) {
            while (next < typed[from].size() && typed[from][next] != line) ++next;
            ASSERT_LT(next++, typed[from].size()) << "out of order, twice or unknown: " << line;
        }
        EXPECT_LE(typed[from].size() - received.size(),
                  Occurrences(copies[from]->History(), "Error: Previous send not finished, send ignored\n\r"));
    }
}

// On a wineserver of its own, which no tray icon has touched: the tray's
// topmost windows outlive the copies that showed them and hid a main window
// that would not become topmost while its toolbar's tooltip was above it.
TEST(OwnServerTest, AlwaysOnTopSetsAndClearsTheTopmostStyle) {
    Program program("Alice", {{"Trayicon", 0}});
    ASSERT_TRUE(program.started());
    for (bool on : {true, false, true, false}) {
        program.Command(IDM_ALWAYS_ON_TOP);
        bool topmost = !on;
        for (DWORD start = GetTickCount(); topmost != on && !Elapsed(start, 2000); Sleep(20)) {
            topmost = (GetWindowLongA(program.window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        }
        EXPECT_EQ(topmost, on);
    }
}

}  // namespace
