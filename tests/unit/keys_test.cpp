// The key store beside the settings: the key pair, the known peers and the
// safety code, as the store holds them and as the history tells of them.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <regex>
#include <string>

#include "crypto/keys.h"
#include "fakes/fakes.h"

namespace {

const std::string KEY_LINE = "***Your encryption key could not be read; a new key was made\r\n";
const std::string LIST_LINE = "***The list of known encryption keys could not be read; it starts afresh\r\n";
// base64url without padding of 32 bytes of 1 and of 2, of 31 bytes of 1, of "anna".
const std::string K1 = "AQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQE", K2 = "AgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgI";
const std::string K1_SHORT = "AQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQ", ANNA = "YW5uYQ";
const uint8_t ONES[32] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
const uint8_t TWOS[32] = {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};

using Value = std::pair<RegistryValueType, std::string>;
Value Text(const std::string& text) { return {RegistryValueType::String, text + '\0'}; }
std::string Stored(const char* name) {
    auto found = fake.values.find(name);
    return found == fake.values.end() ? "<missing>" : found->second.second.c_str();
}
std::string Public(const noise::KeyPair& pair) { return std::string(pair.publicKey, pair.publicKey + 32); }

struct StaticKeyRow {
    const char* name;
    bool stored;
    Value value;
    bool kept;  // the stored key is the one used
};

TEST(KeysTest, TheStaticKeyIsReadOrMadeAndSurvivesAReload) {
    const StaticKeyRow rows[] = {
        {"missing", false, {}, false},
        {"good", true, Text(K1), true},
        {"good, bytes after its zero", true, {RegistryValueType::String, K1 + '\0' + "junk"}, true},
        {"one character short", true, Text(K1_SHORT), false},
        {"with padding", true, Text(K1 + "="), false},
        {"a character not of base64url", true, Text("+" + K1.substr(1)), false},
        {"empty", true, Text(""), false},
        {"a DWORD", true, {RegistryValueType::Dword, "\1\0\0\0"}, false},
    };
    noise::KeyPair fromOnes;
    ASSERT_TRUE(noise::KeyPairFromPrivate(ONES, fromOnes));
    for (const StaticKeyRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetFakes();
        if (row.stored) fake.values[STATIC_KEY_VALUE] = row.value;
        noise::KeyPair first, again, reloaded, derived;
        ASSERT_TRUE(LocalStaticKey(first) && LocalStaticKey(again));
        EXPECT_EQ(Public(first), Public(again));
        EXPECT_EQ(Public(first) == Public(fromOnes), row.kept);
        const std::string stored = Stored(STATIC_KEY_VALUE);
        EXPECT_TRUE(std::regex_match(stored, std::regex("[A-Za-z0-9_-]{42}[AEIMQUYcgkosw048]"))) << stored;
        EXPECT_EQ(stored == K1, row.kept);
        ASSERT_TRUE(noise::KeyPairFromPrivate(first.privateKey, derived));
        EXPECT_EQ(Public(derived), Public(first));
        ForgetKeys();
        ASSERT_TRUE(LocalStaticKey(reloaded));
        EXPECT_EQ(Public(reloaded), Public(first));
        EXPECT_EQ(fake.history, !row.stored || row.kept ? "" : KEY_LINE) << "one line, once";
        EXPECT_EQ(fake.openKeys, 0);
    }
}

std::string Entry(const std::string& name, const std::string& key, const std::string& seconds) {
    return name + ":" + key + ":" + seconds;
}

TEST(KeysTest, APeersKeyIsNewKnownOrChangedAndTheListIsWrittenAtOnce) {
    ResetFakes();
    fake.values[KNOWN_PEERS_VALUE] = Text(Entry("Ym9i", K2, "5"));  // bob
    EXPECT_FALSE(KnownPeer("anna"));
    const std::string now = std::to_string(std::time(nullptr));
    EXPECT_EQ(RememberPeerKey("anna", ONES), PeerKeyStatus::FirstContact);
    const std::string anna = Entry(ANNA, K1, Stored(KNOWN_PEERS_VALUE).substr(ANNA.size() + K1.size() + 2, 10));
    EXPECT_GE(anna.substr(anna.size() - 10), now);
    EXPECT_EQ(Stored(KNOWN_PEERS_VALUE), anna + ";" + Entry("Ym9i", K2, "5"));
    // Known keeps when it was first seen; changed starts again from now.
    EXPECT_EQ(RememberPeerKey("bob", TWOS), PeerKeyStatus::Known);
    EXPECT_EQ(Stored(KNOWN_PEERS_VALUE), Entry("Ym9i", K2, "5") + ";" + anna);
    ForgetKeys();
    EXPECT_TRUE(KnownPeer("anna") && KnownPeer("bob") && !KnownPeer("Anna"));
    EXPECT_EQ(RememberPeerKey("bob", ONES), PeerKeyStatus::Changed);
    EXPECT_EQ(Stored(KNOWN_PEERS_VALUE).substr(0, 50), Entry("Ym9i", K1, now.substr(0, 1)));
    EXPECT_EQ(RememberPeerKey("bob", ONES), PeerKeyStatus::Known);
    EXPECT_EQ(RememberPeerKey("anna", TWOS), PeerKeyStatus::Changed);
    EXPECT_EQ(fake.history, "");
}

// A name longer than the list keeps, of which only that much is compared.
std::string LongName(int n) { return std::to_string(n) + std::string(70, 'x'); }

TEST(KeysTest, TheListKeepsTheSixtyFourNamesUsedLast) {
    ResetFakes();
    for (int n = 0; n < 64; ++n) EXPECT_EQ(RememberPeerKey(LongName(n).c_str(), ONES), PeerKeyStatus::FirstContact);
    EXPECT_EQ(RememberPeerKey(LongName(0).substr(0, 64).c_str(), ONES), PeerKeyStatus::Known) << "cut alike";
    EXPECT_EQ(RememberPeerKey(LongName(64).c_str(), ONES), PeerKeyStatus::FirstContact);  // 1 makes room
    EXPECT_EQ(RememberPeerKey(LongName(65).c_str(), ONES), PeerKeyStatus::FirstContact);  // then 2
    ForgetKeys();
    for (int n = 0; n <= 65; ++n) EXPECT_EQ(KnownPeer(LongName(n).c_str()), n != 1 && n != 2) << n;
    const std::string list = Stored(KNOWN_PEERS_VALUE);
    EXPECT_EQ(std::count(list.begin(), list.end(), ';'), 63);
    EXPECT_EQ(fake.history, "");
}

struct ListRow {
    const char* name;
    Value value;
    const char* known;  // a name the list holds; null: it cannot be read
};

TEST(KeysTest, AnUnreadableListStartsAfreshWithOneLine) {
    const std::string bob = Entry("Ym9i", K2, "5"), anna = Entry(ANNA, K1, "1700000000");
    const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string full;  // sixty-four entries of three-byte names, the first "n 1"
    for (char digit : digits) full += Entry(std::string("bi") + digit + "x", K1, "1") + ";";
    const ListRow rows[] = {
        {"empty", Text(""), nullptr},
        {"two", Text(bob + ";" + anna), "bob"},
        {"an empty name", Text(Entry("", K1, "0") + ";" + anna), ""},
        {"a DWORD", {RegistryValueType::Dword, "\0\0\0\0"}, nullptr},
        {"a field missing", Text("Ym9i:" + K2 + ";" + anna), nullptr},
        {"a field more", Text(bob + ":1;" + anna), nullptr},
        {"a name not of base64url", Text(Entry("Ym9i!", K2, "5")), nullptr},
        {"a name with a zero", Text(Entry("AA", K2, "5")), nullptr},
        {"a name of 65 bytes", Text(Entry(std::string(86, 'e') + "A", K2, "5")), nullptr},
        {"a short key", Text(Entry("Ym9i", K1_SHORT, "5")), nullptr},
        {"a time that is no number", Text(Entry("Ym9i", K2, "5s")), nullptr},
        {"a time past 64 bits", Text(Entry("Ym9i", K2, "18446744073709551616")), nullptr},
        {"a name twice", Text(bob + ";" + Entry("Ym9i", K1, "6")), nullptr},
        {"a separator at the end", Text(bob + ";"), nullptr},
        {"sixty-four", Text(full.substr(0, full.size() - 1)), "n 1"},
        {"sixty-five", Text(full + anna), nullptr},
        {"too long", Text(std::string(10000, 'A')), nullptr},
    };
    for (const ListRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetFakes();
        fake.values[KNOWN_PEERS_VALUE] = row.value;
        const bool readable = row.known || row.value.second.size() == 1;
        EXPECT_EQ(KnownPeer("anna"), readable && row.value.second.find(anna) != std::string::npos);
        if (row.known) {
            EXPECT_TRUE(KnownPeer(row.known));
        }
        EXPECT_EQ(fake.history, readable ? "" : LIST_LINE);
        EXPECT_EQ(RememberPeerKey("carl", ONES), PeerKeyStatus::FirstContact);
        const std::string list = Stored(KNOWN_PEERS_VALUE);
        EXPECT_EQ(std::regex_match(list, std::regex("Y2FybA:" + K1 + ":[0-9]+")), !readable || !row.known) << list;
        EXPECT_EQ(fake.history, readable ? "" : LIST_LINE) << "said once";
    }
}

TEST(KeysTest, TheSafetyCodeIsTheSameBothWaysAndDiffersForOtherKeys) {
    uint8_t a[32], b[32], c[32] = {1}, d[32] = {};
    for (uint8_t i = 0; i < 32; ++i) a[i] = i, b[i] = static_cast<uint8_t>(32 + i);
    d[31] = 255;  // before c in byte order, after it as a little-endian number
    // BLAKE2b-256 of the label and the lower key first, from Python's hashlib.
    const struct { const uint8_t *one, *other; const char* code; } rows[] = {
        {a, b, "7513 6395 6916"}, {b, a, "7513 6395 6916"}, {c, d, "9157 4622 8860"},
        {d, c, "9157 4622 8860"}, {a, c, "9253 6643 3894"},
    };
    for (const auto& row : rows) {
        char code[SAFETY_CODE_SIZE + 5];
        std::memset(code, 'z', sizeof code);
        SafetyCode(row.one, row.other, code, SAFETY_CODE_SIZE);
        EXPECT_STREQ(code, row.code);
        EXPECT_EQ(code[SAFETY_CODE_SIZE], 'z') << "nothing past its size";
    }
    char cut[6];
    SafetyCode(a, b, cut, sizeof cut);
    EXPECT_STREQ(cut, "7513 ");
}

}  // namespace
