#pragma once
// Noise_XX_25519_ChaChaPoly_BLAKE2b exactly as revision 34 of the Noise
// Protocol Framework defines it: the framework's three objects (sections 5.1
// to 5.3) and the XX pattern (section 7.5), with libsodium's X25519, IETF
// ChaCha20-Poly1305 and BLAKE2b underneath (section 12).
//
//   XX:  -> e
//        <- e, ee, s, es
//        -> s, se
//
// Every call that can fail says so in a bool; none throws or aborts. Every
// length is checked before a byte is read or written. Output never overlaps
// input. Secret keys are wiped when their object is cleared or destroyed.
#include <cstddef>
#include <cstdint>

namespace noise {

constexpr size_t DH_LEN = 32;    // X25519 public keys and shared secrets
constexpr size_t KEY_LEN = 32;   // ChaChaPoly keys
constexpr size_t HASH_LEN = 64;  // BLAKE2b-512
constexpr size_t TAG_LEN = 16;   // Poly1305 tags
constexpr size_t MAX_MESSAGE_LEN = 65535;

extern const char PROTOCOL_NAME[];  // "Noise_XX_25519_ChaChaPoly_BLAKE2b"

struct KeyPair {
    uint8_t publicKey[DH_LEN] = {};
    uint8_t privateKey[DH_LEN] = {};
    ~KeyPair();
};

// A new pair from libsodium's random bytes.
bool GenerateKeyPair(KeyPair& pair);
// The pair of a given private key (DH_LEN bytes): stored keys, and fixed
// keys in tests.
bool KeyPairFromPrivate(const uint8_t* privateKey, KeyPair& pair);

// A key k and a nonce n. Encrypting or decrypting uses n and then counts it;
// n = 2^64-1 is reserved, so a state that reaches it refuses further use.
// After the handshake one CipherState seals what is sent and another opens
// what is received; a record that fails authentication leaves n as it was.
class CipherState {
public:
    CipherState() = default;
    ~CipherState();
    CipherState(const CipherState&) = delete;
    CipherState& operator=(const CipherState&) = delete;

    void InitializeKey(const uint8_t* key);  // KEY_LEN bytes; n = 0
    bool HasKey() const { return hasKey_; }
    void SetNonce(uint64_t nonce) { n_ = nonce; }
    void Clear();  // back to no key, the key wiped

    // Ciphertext of len + TAG_LEN bytes (plaintext as it is while there is
    // no key) into out, which holds capacity bytes.
    bool EncryptWithAd(const uint8_t* ad, size_t adLen, const uint8_t* plaintext, size_t len, uint8_t* out,
                       size_t capacity, size_t& written);
    bool DecryptWithAd(const uint8_t* ad, size_t adLen, const uint8_t* ciphertext, size_t len, uint8_t* out,
                       size_t capacity, size_t& written);

    // Transport records: the same with empty ad, but refused while there is
    // no key, so that nothing leaves in the clear before Split.
    bool Seal(const uint8_t* plaintext, size_t len, uint8_t* out, size_t capacity, size_t& written);
    bool Open(const uint8_t* record, size_t len, uint8_t* out, size_t capacity, size_t& written);

private:
    uint8_t k_[KEY_LEN] = {};
    uint64_t n_ = 0;
    bool hasKey_ = false;
};

// The chaining key ck and handshake hash h beside the handshake's
// CipherState. Only HandshakeState uses it.
class SymmetricState {
public:
    SymmetricState() = default;
    ~SymmetricState();
    SymmetricState(const SymmetricState&) = delete;
    SymmetricState& operator=(const SymmetricState&) = delete;

    bool InitializeSymmetric(const char* protocolName);
    bool MixKey(const uint8_t* inputKeyMaterial, size_t len);
    bool MixHash(const uint8_t* data, size_t len);
    bool HasKey() const { return cipher_.HasKey(); }
    bool EncryptAndHash(const uint8_t* plaintext, size_t len, uint8_t* out, size_t capacity, size_t& written);
    bool DecryptAndHash(const uint8_t* ciphertext, size_t len, uint8_t* out, size_t capacity, size_t& written);
    // c1 and c2 keyed; then ck and the handshake's key are wiped, h stays.
    bool Split(CipherState& c1, CipherState& c2);
    const uint8_t* HandshakeHash() const { return h_; }  // HASH_LEN bytes
    void Clear();  // ck, h and the key wiped

private:
    CipherState cipher_;
    uint8_t ck_[HASH_LEN] = {};
    uint8_t h_[HASH_LEN] = {};
};

// One side of an XX handshake. Initialize, then the initiator writes, reads
// and writes the three messages and the responder reads, writes and reads
// them; then Split gives the transport CipherStates. Any false result ends
// the handshake for good: its secrets are wiped and every later call fails.
class HandshakeState {
public:
    HandshakeState() = default;
    HandshakeState(const HandshakeState&) = delete;
    HandshakeState& operator=(const HandshakeState&) = delete;

    // The prologue is data both sides must hold alike, or the second message
    // fails. The ephemeral pair is random unless fixedEphemeral is given
    // (known-answer tests only).
    bool Initialize(bool initiator, const uint8_t* prologue, size_t prologueLen, const KeyPair& localStatic,
                    const KeyPair* fixedEphemeral = nullptr);
    // The next message, carrying payload, into message (capacity bytes).
    bool WriteMessage(const uint8_t* payload, size_t len, uint8_t* message, size_t capacity, size_t& written);
    // The peer's next message; its payload into payload (capacity bytes).
    bool ReadMessage(const uint8_t* message, size_t len, uint8_t* payload, size_t capacity, size_t& written);

    bool WritesNext() const;  // this side's turn to write
    bool Finished() const;    // all three messages done
    bool Failed() const { return step_ == FAILED; }

    // After the last message: send seals this side's records, receive opens
    // the peer's. The handshake's keys are wiped; the hash and the peer's
    // static key stay.
    bool Split(CipherState& send, CipherState& receive);
    // The peer's static public key (DH_LEN bytes), or null before it came.
    const uint8_t* RemoteStatic() const { return hasRemoteStatic_ ? rs_ : nullptr; }
    const uint8_t* HandshakeHash() const { return symmetric_.HandshakeHash(); }

private:
    static constexpr int FAILED = -1;
    static constexpr int UNINITIALIZED = -2;
    void WipePrivateKeys();
    bool Fail();
    bool Dh(const KeyPair& local, const uint8_t* remote);
    // The DH of an ee, es or se token, mixed into the key.
    bool MixDhToken(int token);

    SymmetricState symmetric_;
    KeyPair s_;
    KeyPair e_;
    KeyPair fixedE_;
    uint8_t rs_[DH_LEN] = {};
    uint8_t re_[DH_LEN] = {};
    bool initiator_ = false;
    bool hasFixedE_ = false;
    bool hasRemoteStatic_ = false;
    int step_ = UNINITIALIZED;  // messages done so far, 0 to 3
};

}  // namespace noise
