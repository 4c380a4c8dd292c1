// Drives our Noise states from a script, for noise_interop.py: one command a
// line, byte strings in hex, one answer line per command, "= " and then hex,
// "ok" or FAIL. Lines come from the file named by the first argument
// (wine-run gives a Windows program no standard input), or from standard
// input.
//
//   S init i|r STATIC-PRIVATE EPHEMERAL-PRIVATE|- PROLOGUE   -> static public key
//   S write PAYLOAD | S read MESSAGE                          -> message | payload
//   S split                                                   -> ok
//   S send PLAINTEXT | S recv RECORD                          -> record | plaintext
//   S hash | S remote                                         -> h | peer's static key
//   S cap N           the output capacity of the next commands of S
//   S nonce N         the send CipherState's nonce, in decimal
//
// S names a session (a handshake, then its transport states); "@" as an
// argument is the last hex answer of any session.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "crypto/noise.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Session {
    noise::HandshakeState handshake;
    noise::CipherState send;
    noise::CipherState receive;
    size_t capacity = noise::MAX_MESSAGE_LEN + 1;
};

bool FromHex(const std::string& text, Bytes& out) {
    out.clear();
    if (text.size() % 2 != 0) return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        char* end = nullptr;
        std::string pair = text.substr(i, 2);
        unsigned long value = std::strtoul(pair.c_str(), &end, 16);
        if (*end != '\0') return false;
        out.push_back(static_cast<uint8_t>(value));
    }
    return true;
}

std::string ToHex(const uint8_t* data, size_t len) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < len; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text;
}

// The answer to one command of a session.
std::string Run(Session& session, const std::string& command, const std::vector<Bytes>& args,
                const std::vector<std::string>& words) {
    Bytes out(session.capacity);
    size_t written = 0;
    auto hexOr = [&](bool ok) { return ok ? ToHex(out.data(), written) : std::string("FAIL"); };
    if (command == "write" && args.size() == 1)
        return hexOr(session.handshake.WriteMessage(args[0].data(), args[0].size(), out.data(), out.size(), written));
    if (command == "read" && args.size() == 1)
        return hexOr(session.handshake.ReadMessage(args[0].data(), args[0].size(), out.data(), out.size(), written));
    if (command == "send" && args.size() == 1)
        return hexOr(session.send.Seal(args[0].data(), args[0].size(), out.data(), out.size(), written));
    if (command == "recv" && args.size() == 1)
        return hexOr(session.receive.Open(args[0].data(), args[0].size(), out.data(), out.size(), written));
    if (command == "split") return session.handshake.Split(session.send, session.receive) ? "ok" : "FAIL";
    if (command == "hash") return ToHex(session.handshake.HandshakeHash(), noise::HASH_LEN);
    if (command == "remote") {
        const uint8_t* remote = session.handshake.RemoteStatic();
        return remote ? ToHex(remote, noise::DH_LEN) : "none";
    }
    if (command == "cap" && words.size() == 1) {
        session.capacity = std::strtoul(words[0].c_str(), nullptr, 10);
        return "ok";
    }
    if (command == "nonce" && words.size() == 1) {
        session.send.SetNonce(std::strtoull(words[0].c_str(), nullptr, 10));
        return "ok";
    }
    return "BAD COMMAND";
}

std::string Init(Session& session, const std::vector<std::string>& words) {
    Bytes staticPrivate, ephemeralPrivate, prologue;
    if (words.size() != 4 || (words[0] != "i" && words[0] != "r") || !FromHex(words[1], staticPrivate) ||
        staticPrivate.size() != noise::DH_LEN || !FromHex(words[3], prologue))
        return "BAD COMMAND";
    noise::KeyPair localStatic, ephemeral;
    bool fixed = words[2] != "-";
    if (fixed && (!FromHex(words[2], ephemeralPrivate) || ephemeralPrivate.size() != noise::DH_LEN))
        return "BAD COMMAND";
    if (!noise::KeyPairFromPrivate(staticPrivate.data(), localStatic) ||
        (fixed && !noise::KeyPairFromPrivate(ephemeralPrivate.data(), ephemeral)))
        return "FAIL";
    bool ok = session.handshake.Initialize(words[0] == "i", prologue.data(), prologue.size(), localStatic,
                                           fixed ? &ephemeral : nullptr);
    return ok ? ToHex(localStatic.publicKey, noise::DH_LEN) : "FAIL";
}

}  // namespace

int main(int argc, char** argv) {
    std::ifstream file;
    if (argc > 1) file.open(argv[1]);
    std::istream& in = argc > 1 ? static_cast<std::istream&>(file) : std::cin;
    if (argc > 1 && !file) {
        std::fprintf(stderr, "noise_tool: cannot read %s\n", argv[1]);
        return 2;
    }
    std::map<std::string, std::unique_ptr<Session>> sessions;
    std::string line, last;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // Words between single blanks: "S write " carries an empty payload.
        std::vector<std::string> words;
        std::istringstream parts(line);
        for (std::string word; std::getline(parts, word, ' ');) words.push_back(word == "@" ? last : word);
        if (!line.empty() && line.back() == ' ') words.push_back("");
        if (words.size() < 2) words.resize(2);
        std::string name = words[0], command = words[1];
        words.erase(words.begin(), words.begin() + 2);
        std::string answer;
        if (command == "init") {
            sessions[name] = std::make_unique<Session>();
            answer = Init(*sessions[name], words);
        } else if (sessions.count(name) == 0) {
            answer = "BAD COMMAND";
        } else {
            std::vector<Bytes> args(words.size());
            bool hex = true;
            for (size_t i = 0; i < words.size(); ++i) hex = FromHex(words[i], args[i]) && hex;
            answer = Run(*sessions[name], command, hex ? args : std::vector<Bytes>(), words);
        }
        if (answer != "ok" && answer != "FAIL" && answer != "none" && answer != "BAD COMMAND") last = answer;
        // A mark of its own: Wine may write lines of its own to the same output.
        std::printf("= %s\n", answer.c_str());
        std::fflush(stdout);
    }
    return 0;
}
