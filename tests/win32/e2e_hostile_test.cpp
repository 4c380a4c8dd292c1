// A peer that breaks the rules, on purpose or by accident: overlong runs,
// overlong names, format characters, every byte value, unknown kinds and
// codes, messages in single-byte pieces, a close in mid-message and a flood.
// The copy must stay up, keep every text inside its field and take the next
// connection as if nothing had happened.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <thread>
#include <vector>

#include "win32/e2e_support.h"

namespace {

const std::string UNRECOGNIZED =
    "***Error: Unrecognized command.  (This should never happen.  Close this program)\r\n";
const std::string OVERFLOW_LINE = "***Error: Received message longer than 510 bytes, discarded\r\n";

std::string Nick(const std::string& name) { return ControlMessage('\x04', name); }
std::string Action(const std::string& text) { return ControlMessage('\x08', text); }
std::string Popup(const std::string& text) { return ControlMessage('\x10', text); }

// What the history gained after a point in it.
std::string Since(const std::string& history, size_t from) {
    return history.size() >= from ? history.substr(from) : std::string();
}

// Alice serves; a raw peer joins and greets as name.
struct HostileFixture : ::testing::Test {
    Program alice{"Alice"};
    RawPeer peer;

    void JoinAs(const std::string& name) {
        ASSERT_TRUE(alice.started());
        ASSERT_NO_FATAL_FAILURE(StartServing(alice));
        ASSERT_NO_FATAL_FAILURE(JoinServer(peer, "Alice"));
        ASSERT_NO_FATAL_FAILURE(GreetAs(peer, alice, name));
    }

    // A second peer after the first has gone is greeted and heard normally.
    void NextConnectionWorks() {
        RawPeer next;
        ASSERT_NO_FATAL_FAILURE(JoinServer(next, "Alice"));
        ASSERT_NO_FATAL_FAILURE(GreetAs(next, alice, "Next"));
        ASSERT_TRUE(next.Send(ChatMessage("all well")));
        ASSERT_TRUE(alice.WaitForHistory("*** You are connected to Next.\r\n<Next> all well\r\n")) << alice.lastHistory;
        ASSERT_TRUE(alice.Type("welcome back"));
        EXPECT_EQ(next.Read(20), ChatMessage("welcome back"));
    }
};

TEST_F(HostileFixture, RunsWithoutATerminatorAreDroppedAndTheNextMessageShows) {
    ASSERT_NO_FATAL_FAILURE(JoinAs("Raw"));
    const size_t before = alice.History().size();
    // Two full storages and the read that no longer fits, twice over.
    ASSERT_TRUE(peer.Send(std::string(1040, 'A') + ChatMessage("fine again")));
    ASSERT_TRUE(alice.WaitForHistory("<Raw> fine again\r\n")) << alice.lastHistory;
    EXPECT_EQ(Since(alice.History(), before), OVERFLOW_LINE + OVERFLOW_LINE + "<Raw> fine again\r\n");
}

TEST_F(HostileFixture, OverlongNamesReasonsAndPopupsStayInsideTheirFields) {
    ASSERT_TRUE(alice.started());
    ASSERT_NO_FATAL_FAILURE(StartServing(alice));
    ASSERT_NO_FATAL_FAILURE(JoinServer(peer, "Alice"));
    const std::string longName(500, 'n'), newName(500, 'm'), action(500, 'a'), popup(500, 'p'), reason(500, 'q');
    const size_t before = alice.History().size();
    ASSERT_TRUE(peer.Send(Hello(longName) + Nick(newName) + ChatMessage("short") + Action(action) + Popup(popup)));

    std::string title;
    EXPECT_EQ(alice.WaitForWindowText("Popup message from ", &title), popup);
    EXPECT_EQ(title, "Popup message from " + std::string(23, 'm'));
    ASSERT_TRUE(peer.Send(Quit(reason)));
    peer.Close();
    ASSERT_TRUE(alice.WaitForHistory(" has quit(")) << alice.lastHistory;
    EXPECT_EQ(Since(alice.History(), before), "*** You are connected to " + std::string(23, 'n') + ".\r\n" +
                                                  "***" + std::string(23, 'n') + " is now known as " + newName +
                                                  ".\r\n" + "<" + std::string(23, 'm') + "> short\r\n" + "*" +
                                                  std::string(23, 'm') + " " + action + ".\r\n" + "*** " +
                                                  std::string(23, 'm') + " has quit(Quit: " + std::string(103, 'q') +
                                                  ")\r\n");
    ASSERT_NO_FATAL_FAILURE(NextConnectionWorks());
}

TEST_F(HostileFixture, FormatCharactersInEveryTextAreShownAsTheyCame) {
    ASSERT_TRUE(alice.started());
    ASSERT_NO_FATAL_FAILURE(StartServing(alice));
    ASSERT_NO_FATAL_FAILURE(JoinServer(peer, "Alice"));
    const std::string f = "%s%n%x%d%p%%%08.3f%ls%hhn";
    const std::string name = "%s%n%x%d%p%%";  // 12 characters: fits the name field
    const size_t before = alice.History().size();
    ASSERT_TRUE(peer.Send(Hello(name) + ChatMessage(f) + Action(f) + Nick(name + "2") + Popup(f)));
    EXPECT_EQ(alice.WaitForWindowText("Popup message from "), f);
    ASSERT_TRUE(peer.Send(Quit(f)));
    peer.Close();
    ASSERT_TRUE(alice.WaitForHistory(" has quit(")) << alice.lastHistory;
    EXPECT_EQ(Since(alice.History(), before), "*** You are connected to " + name + ".\r\n" + "<" + name + "> " + f +
                                                  "\r\n" + "*" + name + " " + f + ".\r\n" + "***" + name +
                                                  " is now known as " + name + "2.\r\n" + "*** " + name +
                                                  "2 has quit(Quit: " + f + ")\r\n");
    EXPECT_TRUE(alice.Responsive());
}

TEST_F(HostileFixture, EveryByteValueArrivesUnchangedAndZeroBytesEndTheText) {
    ASSERT_NO_FATAL_FAILURE(JoinAs("Raw"));
    // Every value but zero, with 0x0D placed before 0x0C so that the pair
    // that ends a message never occurs inside the text.
    std::string every;
    for (int value = 1; value < 256; ++value) every += static_cast<char>(value);
    std::swap(every[11], every[12]);
    const size_t before = alice.History().size();
    ASSERT_TRUE(peer.Send(ChatMessage(every)));
    ASSERT_TRUE(peer.Send(ChatMessage(std::string("cut\0hidden", 10))));
    // Zeros between messages are padding, however many there are.
    ASSERT_TRUE(peer.Send(std::string(37, '\0') + ChatMessage("after zeros")));
    ASSERT_TRUE(alice.WaitForHistory("<Raw> after zeros\r\n")) << alice.lastHistory;
    EXPECT_EQ(Since(alice.History(), before), "<Raw> " + every + "\r\n<Raw> cut\r\n<Raw> after zeros\r\n");
}

TEST_F(HostileFixture, UnknownKindsGetOneLineEachAndUnknownCodesNone) {
    ASSERT_NO_FATAL_FAILURE(JoinAs("Raw"));
    const size_t before = alice.History().size();
    std::string bytes;
    for (char code : {'\x00', '\x01', '\x05', '\x7F', '\x80', '\xFF'}) bytes += ControlMessage(code, "code");
    bytes += ChatMessage("\x03 looks like a kind") + std::string("\x03 third kind\x0C\x0D", 15);
    bytes += std::string(5, '\0') + std::string("\xFF" "fifth\x0C\x0D\0\0", 10) + ChatMessage("still here");
    ASSERT_TRUE(peer.Send(bytes));
    ASSERT_TRUE(alice.WaitForHistory("<Raw> still here\r\n")) << alice.lastHistory;
    EXPECT_EQ(Since(alice.History(), before),
              "<Raw> \x03 looks like a kind\r\n" + UNRECOGNIZED + UNRECOGNIZED + "<Raw> still here\r\n");
}

TEST_F(HostileFixture, MessagesInSingleBytePiecesShowOnceEach) {
    ASSERT_NO_FATAL_FAILURE(JoinAs("Raw"));
    const size_t before = alice.History().size();
    ASSERT_TRUE(peer.SendInPieces(ChatMessage("one byte at a time") + Action("trickles") + Nick("Drip"), 1));
    ASSERT_TRUE(peer.SendInPieces(ChatMessage("three at a time"), 3));
    ASSERT_TRUE(peer.Send(ChatMessage("whole again")));
    ASSERT_TRUE(alice.WaitForHistory("<Drip> whole again\r\n")) << alice.lastHistory;
    EXPECT_EQ(Since(alice.History(), before),
              "<Raw> one byte at a time\r\n*Raw trickles.\r\n***Raw is now known as Drip.\r\n"
              "<Drip> three at a time\r\n<Drip> whole again\r\n");
}

TEST_F(HostileFixture, AConnectionClosedInMidMessageLeavesNothingForTheNext) {
    ASSERT_NO_FATAL_FAILURE(JoinAs("Half"));
    const std::string message = ChatMessage("this message is cut off");
    ASSERT_TRUE(peer.Send(message.substr(0, 15)));
    peer.Close();
    ASSERT_TRUE(alice.WaitForHistory("***Half has quit(Connection reset)\r\n")) << alice.lastHistory;
    ASSERT_NO_FATAL_FAILURE(NextConnectionWorks());
    EXPECT_EQ(alice.History().find("cut off"), std::string::npos);
}

// Every line the flood can leave, besides its own chat lines: the user's
// echoes and the lines of the connection's start and end.
bool OtherFloodLine(const std::string& line) {
    static const char* const starts[] = {"<Alice> typed during the flood ", "*** You are connected to Flood.",
                                         "***Flood has quit(Connection reset)"};
    for (const char* start : starts) {
        if (line.compare(0, std::strlen(start), start) == 0) return true;
    }
    return false;
}

TEST_F(HostileFixture, ThirtySecondsOfFloodLeaveTheWindowAnsweringTheUser) {
    ASSERT_NO_FATAL_FAILURE(JoinAs("Flood"));
    const size_t before = alice.History().size();

    // The flood blocks only as long as the copy's side is full; a send that
    // waits more than a second ends it, so the thread always stops.
    DWORD timeout = 1000;
    setsockopt(peer.handle(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    std::atomic<bool> stop{false};
    std::atomic<long> messagesSent{0};
    std::thread flood([&] {
        std::string burst;
        for (long n = 0; !stop; ++n) {
            burst.clear();
            for (int i = 0; i < 16; ++i) burst += ChatMessage("wave " + std::to_string(n * 16 + i) + std::string(40, '~'));
            // A send that timed out goes on from where it stopped while the
            // flood lasts.
            size_t sent = 0;
            while (!stop && sent < burst.size()) {
                int accepted = send(peer.handle(), burst.data() + sent, static_cast<int>(burst.size() - sent), 0);
                if (accepted > 0) {
                    sent += static_cast<size_t>(accepted);
                } else if (WSAGetLastError() != WSAETIMEDOUT) {
                    return;
                }
            }
            messagesSent += 16;
        }
    });

    std::vector<double> echoMs;
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; std::chrono::steady_clock::now() - start < std::chrono::seconds(30); ++n) {
        const auto typed = std::chrono::steady_clock::now();
        // The echo is written while the Enter key is handled, so the time
        // until the key has been handled is the time until the echo shows.
        ASSERT_TRUE(alice.Type("typed during the flood " + std::to_string(n)));
        echoMs.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - typed).count());
        Sleep(500);
    }
    stop = true;
    flood.join();
    peer.Reset();
    ASSERT_TRUE(alice.WaitForHistory("***Flood has quit(Connection reset)\r\n")) << "history size " << alice.lastHistory.size();

    std::sort(echoMs.begin(), echoMs.end());
    const std::string history = Since(alice.History(), before);
    std::printf("flood: %ld messages offered in 30 s, %zu shown; %zu typed lines, echo median %.1f ms, slowest "
                "%.1f ms\n",
                messagesSent.load(), Occurrences(history, "<Flood> wave "), echoMs.size(), echoMs[echoMs.size() / 2],
                echoMs.back());
    RecordProperty("echo_slowest_ms", static_cast<int>(echoMs.back()));

    for (size_t n = 0; n < echoMs.size(); ++n) {
        EXPECT_EQ(Occurrences(history, "<Alice> typed during the flood " + std::to_string(n) + "\r\n"), 1u) << n;
    }
    // The flood's segments are cut wherever the receive window allows, so
    // reads end anywhere inside its blocks. What the copy read before the
    // reset must be the flood's first messages, each once and in order.
    std::istringstream lines(history);
    std::string line;
    long nextWave = 0;
    size_t count = 0;
    while (std::getline(lines, line)) {
        ++count;
        const std::string wave = "<Flood> wave " + std::to_string(nextWave) + std::string(40, '~') + "\r";
        if (line == wave) {
            ++nextWave;
        } else if (!OtherFloodLine(line)) {
            ADD_FAILURE() << "line " << count << " is not wave " << nextWave << ": " << line.substr(0, 80);
            break;
        }
    }
    EXPECT_GT(nextWave, 1000);
    ASSERT_NO_FATAL_FAILURE(NextConnectionWorks());
}

}  // namespace
