#include "crypto/noise.h"

#include <sodium.h>

#include <cstring>

namespace noise {

const char PROTOCOL_NAME[] = "Noise_XX_25519_ChaChaPoly_BLAKE2b";

namespace {

constexpr size_t BLOCK_LEN = 128;  // BLAKE2b's block, the B of RFC 2104
constexpr size_t NONCE_LEN = crypto_aead_chacha20poly1305_IETF_NPUBBYTES;
static_assert(NONCE_LEN == 12 && crypto_aead_chacha20poly1305_IETF_ABYTES == TAG_LEN, "ChaChaPoly of RFC 7539");
static_assert(crypto_scalarmult_BYTES == DH_LEN && crypto_scalarmult_SCALARBYTES == DH_LEN, "X25519");
static_assert(crypto_aead_chacha20poly1305_IETF_KEYBYTES == KEY_LEN, "ChaChaPoly key");

// libsodium picks its implementations and seeds its random bytes once.
bool SodiumReady() { return sodium_init() >= 0; }

// 32 bits of zeros, then n little-endian: the ChaChaPoly nonce of section 12.3.
void NonceBytes(uint64_t n, uint8_t nonce[NONCE_LEN]) {
    std::memset(nonce, 0, 4);
    for (int i = 0; i < 8; ++i) nonce[4 + i] = static_cast<uint8_t>(n >> (8 * i));
}

bool Hash(const uint8_t* a, size_t aLen, const uint8_t* b, size_t bLen, uint8_t out[HASH_LEN]) {
    crypto_generichash_state state;
    bool ok = crypto_generichash_init(&state, nullptr, 0, HASH_LEN) == 0 &&
              (aLen == 0 || crypto_generichash_update(&state, a, aLen) == 0) &&
              (bLen == 0 || crypto_generichash_update(&state, b, bLen) == 0) &&
              crypto_generichash_final(&state, out, HASH_LEN) == 0;
    sodium_memzero(&state, sizeof state);
    return ok;
}

// HMAC-BLAKE2b as RFC 2104 builds it. Every key here is HASH_LEN bytes, less
// than a block, so it is padded with zeros and never hashed first.
bool Hmac(const uint8_t key[HASH_LEN], const uint8_t* data, size_t len, uint8_t out[HASH_LEN]) {
    uint8_t pad[BLOCK_LEN] = {};
    uint8_t inner[HASH_LEN];
    std::memcpy(pad, key, HASH_LEN);
    for (uint8_t& byte : pad) byte ^= 0x36;
    bool ok = Hash(pad, BLOCK_LEN, data, len, inner);
    for (uint8_t& byte : pad) byte ^= 0x36 ^ 0x5c;
    ok = ok && Hash(pad, BLOCK_LEN, inner, HASH_LEN, out);
    sodium_memzero(pad, sizeof pad);
    sodium_memzero(inner, sizeof inner);
    return ok;
}

// HKDF(chaining_key, input_key_material, 2) of section 4.3.
bool Hkdf2(const uint8_t chainingKey[HASH_LEN], const uint8_t* inputKeyMaterial, size_t len,
           uint8_t output1[HASH_LEN], uint8_t output2[HASH_LEN]) {
    uint8_t tempKey[HASH_LEN];
    uint8_t input[HASH_LEN + 1];
    const uint8_t one = 0x01;
    bool ok = Hmac(chainingKey, inputKeyMaterial, len, tempKey) && Hmac(tempKey, &one, 1, output1);
    std::memcpy(input, output1, HASH_LEN);
    input[HASH_LEN] = 0x02;
    ok = ok && Hmac(tempKey, input, sizeof input, output2);
    sodium_memzero(tempKey, sizeof tempKey);
    sodium_memzero(input, sizeof input);
    return ok;
}

// The XX pattern of section 7.5, one row per message, END after the last
// token. The payload follows the tokens of every message.
enum Token { E, S, EE, ES, SE, END };
constexpr int XX_MESSAGES = 3;
constexpr Token XX[XX_MESSAGES][5] = {
    {E, END},
    {E, EE, S, ES, END},
    {S, SE, END},
};
constexpr int SPLIT_DONE = XX_MESSAGES + 1;

}  // namespace

KeyPair::~KeyPair() { sodium_memzero(privateKey, sizeof privateKey); }

bool KeyPairFromPrivate(const uint8_t* privateKey, KeyPair& pair) {
    if (!SodiumReady()) return false;
    std::memcpy(pair.privateKey, privateKey, DH_LEN);
    return crypto_scalarmult_base(pair.publicKey, pair.privateKey) == 0;
}

bool GenerateKeyPair(KeyPair& pair) {
    if (!SodiumReady()) return false;
    randombytes_buf(pair.privateKey, DH_LEN);
    return crypto_scalarmult_base(pair.publicKey, pair.privateKey) == 0;
}

// ---- CipherState (section 5.1)

CipherState::~CipherState() { Clear(); }

void CipherState::Clear() {
    sodium_memzero(k_, sizeof k_);
    n_ = 0;
    hasKey_ = false;
}

void CipherState::InitializeKey(const uint8_t* key) {
    std::memcpy(k_, key, KEY_LEN);
    n_ = 0;
    hasKey_ = true;
}

bool CipherState::EncryptWithAd(const uint8_t* ad, size_t adLen, const uint8_t* plaintext, size_t len, uint8_t* out,
                                size_t capacity, size_t& written) {
    written = 0;
    if (!hasKey_) {
        if (len > capacity) return false;
        if (len > 0) std::memcpy(out, plaintext, len);
        written = len;
        return true;
    }
    if (len > MAX_MESSAGE_LEN - TAG_LEN || capacity < len + TAG_LEN || n_ == UINT64_MAX) return false;
    uint8_t nonce[NONCE_LEN];
    NonceBytes(n_, nonce);
    if (crypto_aead_chacha20poly1305_ietf_encrypt(out, nullptr, plaintext, len, ad, adLen, nullptr, nonce, k_) != 0)
        return false;
    ++n_;
    written = len + TAG_LEN;
    return true;
}

bool CipherState::DecryptWithAd(const uint8_t* ad, size_t adLen, const uint8_t* ciphertext, size_t len, uint8_t* out,
                                size_t capacity, size_t& written) {
    written = 0;
    if (!hasKey_) {
        if (len > capacity) return false;
        if (len > 0) std::memcpy(out, ciphertext, len);
        written = len;
        return true;
    }
    if (len < TAG_LEN || len > MAX_MESSAGE_LEN || capacity < len - TAG_LEN || n_ == UINT64_MAX) return false;
    uint8_t nonce[NONCE_LEN];
    NonceBytes(n_, nonce);
    if (crypto_aead_chacha20poly1305_ietf_decrypt(out, nullptr, nullptr, ciphertext, len, ad, adLen, nonce, k_) != 0)
        return false;
    ++n_;
    written = len - TAG_LEN;
    return true;
}

bool CipherState::Seal(const uint8_t* plaintext, size_t len, uint8_t* out, size_t capacity, size_t& written) {
    written = 0;
    return hasKey_ && EncryptWithAd(nullptr, 0, plaintext, len, out, capacity, written);
}

bool CipherState::Open(const uint8_t* record, size_t len, uint8_t* out, size_t capacity, size_t& written) {
    written = 0;
    return hasKey_ && DecryptWithAd(nullptr, 0, record, len, out, capacity, written);
}

// ---- SymmetricState (section 5.2)

SymmetricState::~SymmetricState() { Clear(); }

void SymmetricState::Clear() {
    cipher_.Clear();
    sodium_memzero(ck_, sizeof ck_);
    sodium_memzero(h_, sizeof h_);
}

bool SymmetricState::InitializeSymmetric(const char* protocolName) {
    size_t len = std::strlen(protocolName);
    if (len <= HASH_LEN) {
        std::memset(h_, 0, HASH_LEN);
        std::memcpy(h_, protocolName, len);
    } else if (!Hash(reinterpret_cast<const uint8_t*>(protocolName), len, nullptr, 0, h_)) {
        return false;
    }
    std::memcpy(ck_, h_, HASH_LEN);
    cipher_.Clear();
    return true;
}

bool SymmetricState::MixKey(const uint8_t* inputKeyMaterial, size_t len) {
    uint8_t tempK[HASH_LEN];
    bool ok = Hkdf2(ck_, inputKeyMaterial, len, ck_, tempK);
    // HASHLEN is 64: the cipher key is the first 32 bytes.
    if (ok) cipher_.InitializeKey(tempK);
    sodium_memzero(tempK, sizeof tempK);
    return ok;
}

bool SymmetricState::MixHash(const uint8_t* data, size_t len) { return Hash(h_, HASH_LEN, data, len, h_); }

bool SymmetricState::EncryptAndHash(const uint8_t* plaintext, size_t len, uint8_t* out, size_t capacity,
                                    size_t& written) {
    return cipher_.EncryptWithAd(h_, HASH_LEN, plaintext, len, out, capacity, written) && MixHash(out, written);
}

bool SymmetricState::DecryptAndHash(const uint8_t* ciphertext, size_t len, uint8_t* out, size_t capacity,
                                    size_t& written) {
    return cipher_.DecryptWithAd(h_, HASH_LEN, ciphertext, len, out, capacity, written) && MixHash(ciphertext, len);
}

bool SymmetricState::Split(CipherState& c1, CipherState& c2) {
    uint8_t tempK1[HASH_LEN];
    uint8_t tempK2[HASH_LEN];
    bool ok = Hkdf2(ck_, nullptr, 0, tempK1, tempK2);
    if (ok) {
        c1.InitializeKey(tempK1);
        c2.InitializeKey(tempK2);
    }
    sodium_memzero(tempK1, sizeof tempK1);
    sodium_memzero(tempK2, sizeof tempK2);
    // Only h outlives the handshake (channel binding); its keys go now.
    sodium_memzero(ck_, sizeof ck_);
    cipher_.Clear();
    return ok;
}

// ---- HandshakeState (section 5.3), the XX pattern only

void HandshakeState::WipePrivateKeys() {
    sodium_memzero(s_.privateKey, DH_LEN);
    sodium_memzero(e_.privateKey, DH_LEN);
    sodium_memzero(fixedE_.privateKey, DH_LEN);
    hasFixedE_ = false;
}

bool HandshakeState::Fail() {
    symmetric_.Clear();
    WipePrivateKeys();
    step_ = FAILED;
    return false;
}

bool HandshakeState::Initialize(bool initiator, const uint8_t* prologue, size_t prologueLen,
                                const KeyPair& localStatic, const KeyPair* fixedEphemeral) {
    if (!SodiumReady() || (prologue == nullptr && prologueLen > 0)) return Fail();
    hasRemoteStatic_ = false;
    initiator_ = initiator;
    s_ = localStatic;
    hasFixedE_ = fixedEphemeral != nullptr;
    if (hasFixedE_) fixedE_ = *fixedEphemeral;
    step_ = 0;
    if (!symmetric_.InitializeSymmetric(PROTOCOL_NAME)) return Fail();
    if (!symmetric_.MixHash(prologue, prologueLen)) return Fail();
    return true;
}

bool HandshakeState::WritesNext() const {
    // The initiator writes the first and third messages, the responder the second.
    return step_ >= 0 && step_ < XX_MESSAGES && (step_ % 2 == 0) == initiator_;
}

bool HandshakeState::Finished() const { return step_ == XX_MESSAGES || step_ == SPLIT_DONE; }

bool HandshakeState::MixDhToken(int token) {
    switch (token) {
    case EE: return Dh(e_, re_);
    case ES: return initiator_ ? Dh(e_, rs_) : Dh(s_, re_);
    default: return initiator_ ? Dh(s_, re_) : Dh(e_, rs_);  // SE
    }
}

bool HandshakeState::Dh(const KeyPair& local, const uint8_t* remote) {
    uint8_t shared[DH_LEN];
    // libsodium refuses a peer key whose result is all zeros (a point of
    // small order), as section 12.1 allows.
    bool ok = crypto_scalarmult(shared, local.privateKey, remote) == 0 && symmetric_.MixKey(shared, DH_LEN);
    sodium_memzero(shared, sizeof shared);
    return ok;
}

bool HandshakeState::WriteMessage(const uint8_t* payload, size_t len, uint8_t* message, size_t capacity,
                                  size_t& written) {
    written = 0;
    if (!WritesNext()) return Fail();
    size_t at = 0;
    size_t part = 0;
    for (const Token* token = XX[step_]; *token != END; ++token) {
        switch (*token) {
        case E:
            if (capacity - at < DH_LEN) return Fail();
            if (hasFixedE_) {
                e_ = fixedE_;
            } else if (!GenerateKeyPair(e_)) {
                return Fail();
            }
            std::memcpy(message + at, e_.publicKey, DH_LEN);
            at += DH_LEN;
            if (!symmetric_.MixHash(e_.publicKey, DH_LEN)) return Fail();
            break;
        case S:
            if (!symmetric_.EncryptAndHash(s_.publicKey, DH_LEN, message + at, capacity - at, part)) return Fail();
            at += part;
            break;
        case EE:
        case ES:
        case SE:
            if (!MixDhToken(*token)) return Fail();
            break;
        case END:
            break;
        }
    }
    if (len > MAX_MESSAGE_LEN - at - (symmetric_.HasKey() ? TAG_LEN : 0)) return Fail();
    if (!symmetric_.EncryptAndHash(payload, len, message + at, capacity - at, part)) return Fail();
    written = at + part;
    ++step_;
    return true;
}

bool HandshakeState::ReadMessage(const uint8_t* message, size_t len, uint8_t* payload, size_t capacity,
                                 size_t& written) {
    written = 0;
    if (step_ < 0 || step_ >= XX_MESSAGES || WritesNext() || len > MAX_MESSAGE_LEN) return Fail();
    size_t at = 0;
    size_t part = 0;
    for (const Token* token = XX[step_]; *token != END; ++token) {
        switch (*token) {
        case E:
            if (len - at < DH_LEN) return Fail();
            std::memcpy(re_, message + at, DH_LEN);
            at += DH_LEN;
            if (!symmetric_.MixHash(re_, DH_LEN)) return Fail();
            break;
        case S: {
            size_t field = DH_LEN + (symmetric_.HasKey() ? TAG_LEN : 0);
            if (len - at < field || !symmetric_.DecryptAndHash(message + at, field, rs_, DH_LEN, part)) return Fail();
            at += field;
            hasRemoteStatic_ = true;
            break;
        }
        case EE:
        case ES:
        case SE:
            if (!MixDhToken(*token)) return Fail();
            break;
        case END:
            break;
        }
    }
    if (!symmetric_.DecryptAndHash(message + at, len - at, payload, capacity, part)) return Fail();
    written = part;
    ++step_;
    return true;
}

bool HandshakeState::Split(CipherState& send, CipherState& receive) {
    if (step_ != XX_MESSAGES) return Fail();
    // c1 carries the initiator's records, c2 the responder's.
    bool ok = initiator_ ? symmetric_.Split(send, receive) : symmetric_.Split(receive, send);
    if (!ok) return Fail();
    WipePrivateKeys();
    step_ = SPLIT_DONE;
    return true;
}

}  // namespace noise
