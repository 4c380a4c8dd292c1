#include "crypto/keys.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "common/text.h"
#include "console/history.h"
#include "seams/settings_store.h"
#include "settings/settings.h"

namespace {

constexpr int BASE64 = sodium_base64_VARIANT_URLSAFE_NO_PADDING;
constexpr size_t Encoded(size_t bytes) { return sodium_base64_ENCODED_LEN(bytes, BASE64) - 1; }

// The longest list this program writes: every entry with the longest name
// and the longest number, and the separators. Anything longer is not ours.
constexpr size_t LONGEST_SECONDS = 20;  // 2^64 - 1 in decimal
constexpr size_t LONGEST_ENTRY = Encoded(KNOWN_PEER_NAME_MOST) + 1 + Encoded(noise::DH_LEN) + 1 + LONGEST_SECONDS;
constexpr size_t LONGEST_LIST = KNOWN_PEERS_CAPACITY * (LONGEST_ENTRY + 1) - 1;

const char* const KEY_UNREADABLE = "***Your encryption key could not be read; a new key was made\r\n";
const char* const LIST_UNREADABLE = "***The list of known encryption keys could not be read; it starts afresh\r\n";

struct KnownPeerEntry {
    std::string name;
    uint8_t key[noise::DH_LEN];
    uint64_t firstSeen;
};

struct KeyStore {
    bool pairRead = false;
    noise::KeyPair pair;
    bool peersRead = false;
    std::vector<KnownPeerEntry> peers;  // used most recently first
};

KeyStore keys;

enum class Stored { Missing, Unreadable, Read };

// The text of a string value, up to its zero, when there is one; a value of
// another type, or one too long, cannot be read.
Stored ReadText(const char* name, size_t longest, std::string* text) {
    RegistryKey key = nullptr;
    if (RegistryOpenForRead(SETTINGS_KEY, &key) == RegistryOpenResult::Failed) return Stored::Missing;
    RegistryValueType type = RegistryValueType::Other;
    std::string bytes;
    const bool found = RegistryReadString(key, name, &type, &bytes);
    RegistryCloseKey(key);
    if (!found) return Stored::Missing;
    text->assign(bytes.c_str(), strnlen(bytes.data(), bytes.size()));
    sodium_memzero(&bytes[0], bytes.size());
    if (type != RegistryValueType::String || text->size() > longest) return Stored::Unreadable;
    return Stored::Read;
}

void WriteText(const char* name, const char* text) {
    RegistryKey key = nullptr;
    if (!RegistryOpenForWrite(SETTINGS_KEY, &key)) return;
    RegistryWriteString(key, name, text);
    RegistryCloseKey(key);
}

// Exactly size bytes in canonical base64url without padding, and nothing else.
bool Decode(const char* text, size_t length, uint8_t* out, size_t capacity, size_t* size) {
    return sodium_base642bin(out, capacity, text, length, nullptr, size, nullptr, BASE64) == 0;
}

std::string Encode(const uint8_t* bytes, size_t size) {
    std::string text(sodium_base64_ENCODED_LEN(size, BASE64), '\0');
    sodium_bin2base64(&text[0], text.size(), bytes, size, BASE64);
    text.resize(text.size() - 1);
    return text;
}

Stored ReadStaticKey(noise::KeyPair& pair) {
    std::string text;
    const Stored stored = ReadText(STATIC_KEY_VALUE, Encoded(noise::DH_LEN), &text);
    if (stored != Stored::Read) return stored;
    uint8_t privateKey[noise::DH_LEN];
    size_t size = 0;
    const bool decoded = Decode(text.data(), text.size(), privateKey, sizeof privateKey, &size) &&
                         size == sizeof privateKey && noise::KeyPairFromPrivate(privateKey, pair);
    sodium_memzero(privateKey, sizeof privateKey);
    sodium_memzero(&text[0], text.size());
    return decoded ? Stored::Read : Stored::Unreadable;
}

void WriteStaticKey(const noise::KeyPair& pair) {
    char text[sodium_base64_ENCODED_LEN(noise::DH_LEN, BASE64)];
    sodium_bin2base64(text, sizeof text, pair.privateKey, noise::DH_LEN, BASE64);
    WriteText(STATIC_KEY_VALUE, text);
    sodium_memzero(text, sizeof text);
}

// A decimal number of at most LONGEST_SECONDS digits that fits 64 bits.
bool ParseSeconds(const std::string& text, uint64_t* seconds) {
    if (text.empty() || text.size() > LONGEST_SECONDS) return false;
    uint64_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (number > (UINT64_MAX - digit) / 10) return false;
        number = number * 10 + digit;
    }
    *seconds = number;
    return true;
}

// name ':' key ':' firstSeen, the name and key in base64url.
bool ParseEntry(const std::string& entry, KnownPeerEntry* peer) {
    const size_t first = entry.find(':');
    const size_t second = first == std::string::npos ? first : entry.find(':', first + 1);
    if (second == std::string::npos) return false;
    uint8_t name[KNOWN_PEER_NAME_MOST];
    size_t nameSize = 0, keySize = 0;
    if (!Decode(entry.data(), first, name, sizeof name, &nameSize)) return false;
    if (std::memchr(name, '\0', nameSize)) return false;  // a name is text
    if (!Decode(entry.data() + first + 1, second - first - 1, peer->key, sizeof peer->key, &keySize) ||
        keySize != sizeof peer->key) {
        return false;
    }
    peer->name.assign(reinterpret_cast<const char*>(name), nameSize);
    return ParseSeconds(entry.substr(second + 1), &peer->firstSeen);
}

bool ParsePeers(const std::string& text, std::vector<KnownPeerEntry>* peers) {
    if (text.empty()) return true;
    for (size_t at = 0; at <= text.size();) {
        size_t end = text.find(';', at);
        if (end == std::string::npos) end = text.size();
        KnownPeerEntry peer;
        if (peers->size() == KNOWN_PEERS_CAPACITY || !ParseEntry(text.substr(at, end - at), &peer)) return false;
        for (const KnownPeerEntry& earlier : *peers) {
            if (earlier.name == peer.name) return false;
        }
        peers->push_back(peer);
        at = end + 1;
    }
    return true;
}

std::vector<KnownPeerEntry>& Peers() {
    if (keys.peersRead) return keys.peers;
    keys.peersRead = true;
    std::string text;
    const Stored stored = ReadText(KNOWN_PEERS_VALUE, LONGEST_LIST, &text);
    if (stored == Stored::Unreadable || (stored == Stored::Read && !ParsePeers(text, &keys.peers))) {
        keys.peers.clear();
        AppendHistory(LIST_UNREADABLE);
    }
    return keys.peers;
}

void WritePeers() {
    std::string text;
    for (const KnownPeerEntry& peer : keys.peers) {
        if (!text.empty()) text += ';';
        text += Encode(reinterpret_cast<const uint8_t*>(peer.name.data()), peer.name.size()) + ':' +
                Encode(peer.key, sizeof peer.key) + ':' + std::to_string(peer.firstSeen);
    }
    WriteText(KNOWN_PEERS_VALUE, text.c_str());
}

// The name as the list keeps it: its first KNOWN_PEER_NAME_MOST bytes.
std::string ListedName(const char* name) {
    return name ? std::string(name, strnlen(name, KNOWN_PEER_NAME_MOST)) : std::string();
}

std::vector<KnownPeerEntry>::iterator Find(std::vector<KnownPeerEntry>& peers, const std::string& name) {
    return std::find_if(peers.begin(), peers.end(), [&](const KnownPeerEntry& peer) { return peer.name == name; });
}

uint64_t Now() {
    const std::time_t now = std::time(nullptr);
    return now > 0 ? static_cast<uint64_t>(now) : 0;
}

}  // namespace

bool LocalStaticKey(noise::KeyPair& pair) {
    if (!keys.pairRead) {
        const Stored stored = ReadStaticKey(keys.pair);
        if (stored != Stored::Read) {
            if (!noise::GenerateKeyPair(keys.pair)) return false;
            WriteStaticKey(keys.pair);
            if (stored == Stored::Unreadable) AppendHistory(KEY_UNREADABLE);
        }
        keys.pairRead = true;
    }
    std::memcpy(pair.publicKey, keys.pair.publicKey, noise::DH_LEN);
    std::memcpy(pair.privateKey, keys.pair.privateKey, noise::DH_LEN);
    return true;
}

PeerKeyStatus RememberPeerKey(const char* name, const uint8_t* key) {
    std::vector<KnownPeerEntry>& peers = Peers();
    const std::string listed = ListedName(name);
    KnownPeerEntry entry{listed, {}, Now()};
    std::memcpy(entry.key, key, noise::DH_LEN);
    PeerKeyStatus status = PeerKeyStatus::FirstContact;
    auto found = Find(peers, listed);
    if (found != peers.end()) {
        const bool same = sodium_memcmp(found->key, key, noise::DH_LEN) == 0;
        status = same ? PeerKeyStatus::Known : PeerKeyStatus::Changed;
        if (same) entry.firstSeen = found->firstSeen;
        peers.erase(found);
    }
    peers.insert(peers.begin(), entry);
    if (peers.size() > KNOWN_PEERS_CAPACITY) peers.pop_back();
    WritePeers();
    return status;
}

bool KnownPeer(const char* name) {
    std::vector<KnownPeerEntry>& peers = Peers();
    return Find(peers, ListedName(name)) != peers.end();
}

void SafetyCode(const uint8_t* oneKey, const uint8_t* otherKey, char* code, size_t size) {
    static const char LABEL[] = "Norrik safety code 1";
    CopyText(code, size, "");
    if (sodium_init() < 0) return;
    // Both sides hash the keys in the same order: the lower one first.
    const bool oneFirst = !std::lexicographical_compare(otherKey, otherKey + noise::DH_LEN, oneKey,
                                                        oneKey + noise::DH_LEN);
    uint8_t digest[crypto_generichash_BYTES];
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, sizeof digest);
    crypto_generichash_update(&state, reinterpret_cast<const uint8_t*>(LABEL), sizeof LABEL - 1);
    crypto_generichash_update(&state, oneFirst ? oneKey : otherKey, noise::DH_LEN);
    crypto_generichash_update(&state, oneFirst ? otherKey : oneKey, noise::DH_LEN);
    crypto_generichash_final(&state, digest, sizeof digest);
    uint64_t number = 0;
    for (int i = 7; i >= 0; --i) number = number << 8 | digest[i];
    number %= 1000000000000ULL;
    char text[SAFETY_CODE_SIZE];
    for (size_t at = SAFETY_CODE_SIZE - 1; at-- > 0;) {
        if (at == 4 || at == 9) {
            text[at] = ' ';
        } else {
            text[at] = static_cast<char>('0' + number % 10);
            number /= 10;
        }
    }
    text[SAFETY_CODE_SIZE - 1] = '\0';
    CopyText(code, size, text);
}

void ForgetKeys() {
    sodium_memzero(keys.pair.privateKey, noise::DH_LEN);
    sodium_memzero(keys.pair.publicKey, noise::DH_LEN);
    keys.pairRead = false;
    keys.peersRead = false;
    keys.peers.clear();
}
