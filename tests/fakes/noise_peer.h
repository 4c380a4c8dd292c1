#pragma once
// A peer of the encrypted layer built from docs/protocol.md alone, for the
// tests and the benchmark: the texts of its 'H' and 'R' messages, which the
// caller frames.
#include <sodium.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "crypto/noise.h"
#include "net/secure.h"

inline std::string Base64(const std::vector<uint8_t>& bytes) {
    std::string text(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_URLSAFE_NO_PADDING), '\0');
    sodium_bin2base64(&text[0], text.size(), bytes.data(), bytes.size(), sodium_base64_VARIANT_URLSAFE_NO_PADDING);
    text.resize(text.size() - 1);
    return text;
}

// Empty when the text is not canonical base64url.
inline std::vector<uint8_t> FromBase64(const std::string& text) {
    std::vector<uint8_t> bytes(text.size() + 1);
    size_t length = 0;
    if (sodium_base642bin(bytes.data(), bytes.size(), text.c_str(), text.size(), nullptr, &length, nullptr,
                          sodium_base64_VARIANT_URLSAFE_NO_PADDING) != 0) {
        return {};
    }
    bytes.resize(length);
    return bytes;
}

struct NoisePeer {
    // A fixed static key: every byte of the private key is seed.
    explicit NoisePeer(uint8_t seed) {
        uint8_t secret[noise::DH_LEN];
        for (uint8_t& byte : secret) byte = seed;
        noise::KeyPairFromPrivate(secret, key);
    }
    void Begin(bool initiator, const std::string& clientGreeting, const std::string& serverGreeting) {
        std::string prologue = PROLOGUE_LABEL;
        for (const std::string& greeting : {clientGreeting, serverGreeting}) {
            prologue += static_cast<char>(greeting.size() >> 8);
            prologue += static_cast<char>(greeting.size() & 0xFF);
            prologue += greeting;
        }
        handshake.emplace();
        handshake->Initialize(initiator, reinterpret_cast<const uint8_t*>(prologue.data()), prologue.size(), key);
    }
    // The next handshake message's text; empty when the handshake refused.
    std::string Write() {
        std::vector<uint8_t> message(200);
        size_t written = 0;
        if (!handshake->WriteMessage(nullptr, 0, message.data(), message.size(), written)) return "";
        message.resize(written);
        FinishIfDone();
        return Base64(message);
    }
    bool Read(const std::string& text) {
        const std::vector<uint8_t> bytes = FromBase64(text);
        uint8_t payload[200];
        size_t length = 0;
        const bool read = handshake->ReadMessage(bytes.data(), bytes.size(), payload, sizeof payload, length);
        FinishIfDone();
        return read;
    }
    // The record texts of one message (kind, code, text).
    std::vector<std::string> Seal(const std::string& message) {
        std::vector<std::string> records;
        for (size_t at = 0; at == 0 || at < message.size(); at += RECORD_PART_MAX) {
            const std::string part = message.substr(at, RECORD_PART_MAX);
            std::vector<uint8_t> plain(1, at + RECORD_PART_MAX < message.size() ? RECORD_MORE : RECORD_LAST);
            plain.insert(plain.end(), part.begin(), part.end());
            std::vector<uint8_t> sealed(plain.size() + noise::TAG_LEN);
            size_t written = 0;
            if (!send.Seal(plain.data(), plain.size(), sealed.data(), sealed.size(), written)) return {};
            records.push_back(Base64(sealed));
        }
        return records;
    }
    // Opens one record's text onto joined: 1 when it was a message's last,
    // 0 when more follow, -1 when it does not open.
    int Open(const std::string& text, std::string& joined) {
        const std::vector<uint8_t> sealed = FromBase64(text);
        std::vector<uint8_t> plain(sealed.size() + 1);
        size_t length = 0;
        if (!receive.Open(sealed.data(), sealed.size(), plain.data(), plain.size(), length) || length == 0) return -1;
        joined.append(plain.begin() + 1, plain.begin() + static_cast<long>(length));
        return plain[0] == RECORD_LAST ? 1 : 0;
    }
    noise::KeyPair key;
    std::optional<noise::HandshakeState> handshake;
    noise::CipherState send, receive;

private:
    void FinishIfDone() {
        if (handshake->Finished()) handshake->Split(send, receive);
    }
};
