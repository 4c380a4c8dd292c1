// The floor under the program's network figures: the same 10-byte blocks,
// one per send and one per recv, between two sockets of one plain console
// program on 127.0.0.1, with nothing else on the way (no window, no
// message queue). Run once with Nagle's algorithm on and once with it off.
#include <winsock2.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "bench/win32/bench_figures.h"
#include "e2e/e2e_support.h"  // ChatMessage

namespace {

constexpr uint16_t BASELINE_PORT = 6375;
constexpr size_t BLOCK = 10;
constexpr int LATENCY_ROUNDS = 200;
constexpr int THROUGHPUT_MESSAGES = 200;
// Every blocking call gives up after this long, so that a lost byte ends
// the run instead of hanging it.
constexpr DWORD CALL_TIMEOUT_MS = 10000;

// Both ends of one loopback connection, made with blocking calls only.
struct Pair {
    SOCKET listener = INVALID_SOCKET;
    SOCKET client = INVALID_SOCKET;
    SOCKET server = INVALID_SOCKET;
    ~Pair() {
        for (SOCKET socket : {client, server, listener}) {
            if (socket != INVALID_SOCKET) closesocket(socket);
        }
    }
};

bool Configure(SOCKET socket, bool atOnce) {
    DWORD timeout = CALL_TIMEOUT_MS;
    BOOL noDelay = atOnce ? TRUE : FALSE;
    return setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout) ==
               0 &&
           setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout) ==
               0 &&
           setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay) == 0;
}

bool Open(Pair& pair, bool atOnce) {
    sockaddr_in where = {};
    where.sin_family = AF_INET;
    where.sin_port = htons(BASELINE_PORT);
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const sockaddr* address = reinterpret_cast<const sockaddr*>(&where);
    BOOL reuse = TRUE;
    pair.listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    pair.client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (pair.listener == INVALID_SOCKET || pair.client == INVALID_SOCKET ||
        setsockopt(pair.listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse) ||
        bind(pair.listener, address, sizeof where) != 0 || listen(pair.listener, 1) != 0 ||
        connect(pair.client, address, sizeof where) != 0) {
        return false;
    }
    // The connection is complete before accept: it returns at once.
    pair.server = accept(pair.listener, nullptr, nullptr);
    return pair.server != INVALID_SOCKET && Configure(pair.client, atOnce) && Configure(pair.server, atOnce);
}

std::vector<std::string> Blocks(const std::string& message) {
    std::vector<std::string> blocks;
    for (size_t at = 0; at < message.size(); at += BLOCK) blocks.push_back(message.substr(at, BLOCK));
    return blocks;
}

bool SendBlocks(SOCKET from, const std::vector<std::string>& blocks) {
    for (const std::string& block : blocks) {
        if (send(from, block.data(), static_cast<int>(block.size()), 0) != static_cast<int>(block.size())) {
            return false;
        }
    }
    return true;
}

// As the program reads: at most one block a recv, until all have come.
bool ReceiveBlocks(SOCKET to, size_t blocks) {
    char block[BLOCK];
    for (size_t left = blocks * BLOCK; left > 0;) {
        int got = recv(to, block, static_cast<int>(left < BLOCK ? left : BLOCK), 0);
        if (got <= 0) return false;
        left -= static_cast<size_t>(got);
    }
    return true;
}

// One-way: from the first send on one socket to the last block read on the
// other. The clock is the same on both ends, since they are one process.
std::vector<double> OneWay(Pair& pair, const std::string& message, int rounds) {
    std::vector<std::string> blocks = Blocks(message);
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        double start = NowMs();
        if (!SendBlocks(pair.client, blocks) || !ReceiveBlocks(pair.server, blocks.size())) break;
        samples.push_back(NowMs() - start);
    }
    return samples;
}

// There and back: the answer goes out once the whole question has come.
std::vector<double> RoundTrip(Pair& pair, const std::string& question, const std::string& answer, int rounds) {
    std::vector<std::string> out = Blocks(question);
    std::vector<std::string> back = Blocks(answer);
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        double start = NowMs();
        if (!SendBlocks(pair.client, out) || !ReceiveBlocks(pair.server, out.size()) ||
            !SendBlocks(pair.server, back) || !ReceiveBlocks(pair.client, back.size())) {
            break;
        }
        samples.push_back(NowMs() - start);
    }
    return samples;
}

// Messages back to back, read on a thread of their own; milliseconds from
// the first send to the last block read, or a negative value on failure.
double Stream(Pair& pair, const std::string& message, int count) {
    std::vector<std::string> blocks = Blocks(message);
    bool received = false;
    double end = 0;
    std::thread reader([&] {
        received = ReceiveBlocks(pair.server, blocks.size() * static_cast<size_t>(count));
        end = NowMs();
    });
    double start = NowMs();
    bool sent = true;
    for (int i = 0; i < count && sent; ++i) sent = SendBlocks(pair.client, blocks);
    reader.join();
    return sent && received ? end - start : -1;
}

void Measure(bool atOnce) {
    const char* mode = atOnce ? "nodelay" : "nagle";
    char name[96];
    Pair pair;
    if (!Open(pair, atOnce)) {
        std::snprintf(name, sizeof name, "baseline.%s.short.oneway.median", mode);
        Missing(name, "no-connection");
        return;
    }
    // The sizes the driver measures the program with: a short line (2
    // blocks), the longest typed line (31) and the longest message (51).
    const struct {
        const char* size;
        std::string message;
    } kinds[] = {{"short", ChatMessage("short 0001 yyyyy")},
                 {"typed300", ChatMessage(std::string(300, 'w'))},
                 {"500", ChatMessage(std::string(500, 'x'))}};
    for (const auto& kind : kinds) {
        std::snprintf(name, sizeof name, "baseline.%s.%s.oneway", mode, kind.size);
        LatencyFigures(name, OneWay(pair, kind.message, LATENCY_ROUNDS), LATENCY_ROUNDS);
    }
    // As the driver's round trip: the longest typed line out, the longest
    // message back.
    std::snprintf(name, sizeof name, "baseline.%s.talk.short.roundtrip", mode);
    LatencyFigures(name, RoundTrip(pair, kinds[0].message, kinds[0].message, LATENCY_ROUNDS), LATENCY_ROUNDS);
    std::snprintf(name, sizeof name, "baseline.%s.talk.typed300.roundtrip", mode);
    LatencyFigures(name, RoundTrip(pair, kinds[1].message, kinds[1].message, LATENCY_ROUNDS), LATENCY_ROUNDS);
    std::snprintf(name, sizeof name, "baseline.%s.peer300.roundtrip", mode);
    LatencyFigures(name, RoundTrip(pair, kinds[1].message, kinds[2].message, LATENCY_ROUNDS), LATENCY_ROUNDS);

    for (const auto& kind : kinds) {
        if (kind.message.size() < 100) continue;  // long messages only
        double ms = Stream(pair, kind.message, THROUGHPUT_MESSAGES);
        std::snprintf(name, sizeof name, "baseline.%s.%s.throughput", mode, kind.size);
        if (ms <= 0) {
            Missing(name, "failed");
            continue;
        }
        Figure(name, THROUGHPUT_MESSAGES * 1000.0 / ms, "msg/s");
        std::snprintf(name, sizeof name, "baseline.%s.%s.throughput_kb", mode, kind.size);
        Figure(name, THROUGHPUT_MESSAGES * static_cast<double>(kind.message.size()) / 1024.0 * 1000.0 / ms, "KB/s");
    }
}

}  // namespace

int main() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        Missing("baseline", "no-winsock");
        return 1;
    }
    Measure(true);
    Measure(false);
    return 0;
}
