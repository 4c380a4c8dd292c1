// Two copies talk as fast as they are typed to: ten thousand messages of
// every kind and size, both ways. Every message that was not refused arrives
// once, in order, and both copies still answer at the end.
#include <gtest/gtest.h>

#include "win32/e2e_support.h"

#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int MESSAGES = 10000;
const std::string BUSY = "Error: Previous send not finished, send ignored\n\r";

void IgnorePopups() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Velmora\\Norrik", 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
    DWORD one = 1;
    RegSetValueExA(key, "IgnorePopup", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    RegCloseKey(key);
}

// One side of the conversation: what it types, and the lines the other
// side must show for it, in order (a popup shows none).
struct Side {
    Program& program;
    std::string name;      // as the other side shows it
    std::string prefix;    // of its nicknames
    std::vector<std::string> expected;
    int typed = 0;
};

std::string Filler(std::mt19937& random, size_t length) {
    static const char characters[] = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789 %s%n.,;:!?'\"()[]{}";
    std::uniform_int_distribution<size_t> pick(0, sizeof characters - 2);
    std::string text;
    for (size_t i = 0; i < length; ++i) text += characters[pick(random)];
    return text;
}

// Types the next message of a random kind; every text but the empty chat
// line starts with a tag that is unique in the whole run.
bool TypeNext(Side& side, std::mt19937& random, int number) {
    const std::string tag = side.prefix + std::to_string(number) + " ";
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<size_t> length(0, 300);
    std::string line;
    switch (kind(random)) {
    case 0: {  // a new nickname, which the other side announces
        std::string name = side.prefix + std::to_string(number);
        line = "/nick " + name;
        side.expected.push_back("***" + side.name + " is now known as " + name + ".");
        side.name = name;
        break;
    }
    case 1: {
        std::string text = (tag + Filler(random, length(random))).substr(0, 296);
        line = "/me " + text;
        side.expected.push_back("*" + side.name + " " + text + ".");
        break;
    }
    case 2:  // ignored by the receiver: no trace there
        line = "/popup " + (tag + Filler(random, length(random))).substr(0, 293);
        break;
    case 3:
        line = "";
        side.expected.push_back("<" + side.name + "> ");
        break;
    default: {
        line = (tag + Filler(random, length(random))).substr(0, 300);
        side.expected.push_back("<" + side.name + "> " + line);
        break;
    }
    }
    ++side.typed;
    return side.program.Type(line);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t end; (end = text.find("\r\n", from)) != std::string::npos; from = end + 2) {
        lines.push_back(text.substr(from, end - from));
    }
    return lines;
}

// The lines of history that came from the other side, whose names all
// start with prefix.
std::vector<std::string> ReceivedFrom(std::string history, const std::string& prefix) {
    // The busy line ends the other way round; what follows it is a line of
    // its own all the same.
    for (size_t at = 0; (at = history.find(BUSY, at)) != std::string::npos; at += BUSY.size()) {
        history.replace(at + BUSY.size() - 2, 2, "\r\n");
    }
    std::vector<std::string> received;
    for (const std::string& line : Lines(history)) {
        for (const char* start : {"<", "*", "***"}) {
            if (line.compare(0, std::strlen(start) + prefix.size(), start + prefix) == 0) {
                received.push_back(line);
                break;
            }
        }
    }
    return received;
}

// received must be expected with refused messages left out: in order,
// nothing twice, nothing else.
void ExpectInOrderWithGaps(const std::vector<std::string>& received, const std::vector<std::string>& expected,
                           size_t refused, const char* direction) {
    size_t next = 0, skipped = 0;
    for (size_t i = 0; i < received.size(); ++i) {
        while (next < expected.size() && expected[next] != received[i]) {
            ++next;
            ++skipped;
        }
        if (next == expected.size()) {
            ADD_FAILURE() << direction << ": line " << i << " out of order, twice or unknown: " << received[i].substr(0, 60);
            return;
        }
        ++next;
    }
    skipped += expected.size() - next;
    EXPECT_EQ(received.size(), expected.size() - skipped) << direction;
    // A refused popup leaves no gap on the other side, so there can be
    // fewer gaps than refusals, never more.
    EXPECT_LE(skipped, refused) << direction;
}

size_t PeakMemoryKb(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return 0;
    return counters.PeakWorkingSetSize / 1024;
}

TEST(SoakTest, TenThousandMixedMessagesBothWaysArriveOnceAndInOrder) {
    Program alice("Alice", IgnorePopups, true);
    Program bob("Bob", IgnorePopups, true);
    ASSERT_NO_FATAL_FAILURE(ConnectCopies(alice, "Alice", bob, "Bob"));

    Side fromAlice{alice, "Alice", "Al", {}};
    Side fromBob{bob, "Bob", "Bo", {}};
    std::mt19937 random(20261207);
    std::bernoulli_distribution aliceTypes(0.5);
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < MESSAGES; ++n) {
        ASSERT_TRUE(TypeNext(aliceTypes(random) ? fromAlice : fromBob, random, n)) << "message " << n;
    }
    // A last line each way: once it shows, everything before it has come.
    ASSERT_TRUE(alice.Type("Alend"));
    ASSERT_TRUE(bob.Type("Boend"));
    fromAlice.expected.push_back("<" + fromAlice.name + "> Alend");
    fromBob.expected.push_back("<" + fromBob.name + "> Boend");
    const DWORD waitStart = GetTickCount();
    bool arrived = false;
    while (!arrived && GetTickCount() - waitStart < 120000) {
        arrived = bob.WaitForHistory("> Alend\r\n") && alice.WaitForHistory("> Boend\r\n");
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(arrived);

    const std::string aliceHistory = alice.History();
    const std::string bobHistory = bob.History();
    const size_t aliceRefused = Occurrences(aliceHistory, BUSY);
    const size_t bobRefused = Occurrences(bobHistory, BUSY);
    std::printf("soak: %d messages (%d from Alice, %d from Bob) in %.1f s, %.0f a second; refused as busy: %zu and "
                "%zu; peak working set Alice %zu KB, Bob %zu KB; history %zu and %zu bytes\n",
                MESSAGES, fromAlice.typed, fromBob.typed, seconds, MESSAGES / seconds, aliceRefused, bobRefused,
                PeakMemoryKb(alice.process()), PeakMemoryKb(bob.process()), aliceHistory.size(), bobHistory.size());

    ExpectInOrderWithGaps(ReceivedFrom(bobHistory, "Al"), fromAlice.expected, aliceRefused, "Alice to Bob");
    ExpectInOrderWithGaps(ReceivedFrom(aliceHistory, "Bo"), fromBob.expected, bobRefused, "Bob to Alice");
    // Popups were ignored: no window opened on either side.
    EXPECT_EQ(alice.WaitForWindowText("Popup message from ", nullptr, 0), "");
    EXPECT_TRUE(alice.Responsive());
    EXPECT_TRUE(bob.Responsive());
}

}  // namespace
