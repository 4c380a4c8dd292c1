// TEMPORARY stand-in until the store lands.
#include "crypto/keys.h"
#include <sodium.h>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
namespace {
bool have = false;
uint8_t priv[noise::DH_LEN];
std::map<std::string, std::string> known;
}
bool LocalStaticKey(noise::KeyPair& pair) {
    if (!have) { noise::KeyPair p; if (!noise::GenerateKeyPair(p)) return false; std::memcpy(priv, p.privateKey, 32); have = true; }
    return noise::KeyPairFromPrivate(priv, pair);
}
PeerKeyStatus RememberPeerKey(const char* name, const uint8_t* key) {
    std::string k(reinterpret_cast<const char*>(key), 32);
    auto f = known.find(name);
    PeerKeyStatus s = f == known.end() ? PeerKeyStatus::FirstContact : f->second == k ? PeerKeyStatus::Known : PeerKeyStatus::Changed;
    known[name] = k;
    return s;
}
bool KnownPeer(const char* name) { return known.count(name) > 0; }
void SafetyCode(const uint8_t* a, const uint8_t* b, char* code, size_t size) {
    uint8_t both[64]; const bool aFirst = std::memcmp(a, b, 32) < 0;
    std::memcpy(both, aFirst ? a : b, 32); std::memcpy(both + 32, aFirst ? b : a, 32);
    uint8_t h[32]; crypto_generichash(h, 32, both, 64, nullptr, 0);
    std::snprintf(code, size, "%02x%02x %02x%02x %02x%02x", h[0], h[1], h[2], h[3], h[4], h[5]);
}
void ForgetKeys() { have = false; known.clear(); }
