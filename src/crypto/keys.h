#pragma once
// This installation's static key pair and the keys of the peers it has had
// encrypted conversations with, kept with the settings (the registry key,
// or the settings file, which is the user's alone). A value that cannot be
// read is never fatal: a new key pair, or an empty list, and one history
// line that says so.
#include <cstddef>
#include <cstdint>

#include "crypto/noise.h"

// The values the key store keeps beside the settings, under SETTINGS_KEY:
// the private key, and the list of known peers, both as text. They are not
// settings: loading and saving the settings leave them as they are.
inline constexpr const char* STATIC_KEY_VALUE = "StaticKey";
inline constexpr const char* KNOWN_PEERS_VALUE = "KnownPeers";

// The static key pair, read from the store on first use and kept for the
// run; made and stored when there is none or it cannot be read. False only
// when no pair could be made at all (no random source).
bool LocalStaticKey(noise::KeyPair& pair);

// What the list of known peers says of a key under a peer's name.
enum class PeerKeyStatus { FirstContact, Known, Changed };

// Records key (DH_LEN bytes) under the peer's name as shown, and says what
// the list held before: nothing for the name, the same key, another key.
// A known name keeps when its key was first seen; a changed key starts
// again from now. The list holds at most KNOWN_PEERS_CAPACITY names: the
// one used longest ago makes room. The list is written back at once.
// Names are compared and kept by their first KNOWN_PEER_NAME_MOST bytes.
constexpr size_t KNOWN_PEERS_CAPACITY = 64;
constexpr size_t KNOWN_PEER_NAME_MOST = 64;
PeerKeyStatus RememberPeerKey(const char* name, const uint8_t* key);

// True when the name has a key in the list: a conversation with it was
// encrypted before.
bool KnownPeer(const char* name);

// The safety code of two static public keys (DH_LEN bytes each), the same
// whichever order they come in: twelve digits in three groups of four,
// "1234 5678 9012", into code (size bytes; cut to fit, always terminated,
// whole from SAFETY_CODE_SIZE bytes).
constexpr size_t SAFETY_CODE_SIZE = 15;
void SafetyCode(const uint8_t* oneKey, const uint8_t* otherKey, char* code, size_t size);

// Forgets what was read, so that the next use reads the store again
// (tests, and a front end that switched stores).
void ForgetKeys();
