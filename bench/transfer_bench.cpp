// Cost per message of the transfer engine: building and sending a chat
// message through the fake socket (one self-delivered FD_WRITE per block),
// and reassembling it from 10-byte reads handed on through the fake message
// queue. The fakes' own bookkeeping (the bytes they keep, the queue) is part
// of the figures; KernelSendRecv gives, for comparison, the system calls the
// same number of blocks costs on a local socket pair.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "fakes/fakes.h"
#include "net/connection.h"
#include "net/incoming.h"
#include "net/protocol.h"
#include "net/transfer.h"

namespace {

long arrivals = 0;

}  // namespace

// Takes the place of the real dispatch at link time: arrivals are counted,
// not shown.
void DispatchIncoming(const char* message) {
    benchmark::DoNotOptimize(message);
    ++arrivals;
}

namespace {

void Connect() {
    Connected();
    arrivals = 0;
}

std::string TextOf(size_t length) { return std::string(length, 'x'); }

// The bytes a chat message of textBytes takes on the wire.
std::string WireOf(const std::string& text) {
    Connect();
    SendChatText(text.c_str());
    return fake.wire;
}

void BuildAndSend(benchmark::State& state) {
    const std::string text = TextOf(static_cast<size_t>(state.range(0)));
    Connect();
    SendChatText(text.c_str());  // sizes the fake's record once
    const size_t blocks = fake.wire.size() / WIRE_BLOCK;
    for (auto _ : state) {
        fake.wire.clear();
        SendChatText(text.c_str());
        benchmark::DoNotOptimize(fake.wire.data());
    }
    if (fake.wire.size() != blocks * WIRE_BLOCK || !fake.history.empty()) {
        state.SkipWithError("message not sent whole");
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["send_calls"] = static_cast<double>(blocks);
}

void Reassemble(benchmark::State& state) {
    const std::string wire = WireOf(TextOf(static_cast<size_t>(state.range(0))));
    Connect();
    for (auto _ : state) PeerSends(wire);
    if (arrivals != static_cast<long>(state.iterations())) state.SkipWithError("a message did not arrive");
    state.SetItemsProcessed(state.iterations());
    state.counters["recv_calls"] = static_cast<double>(wire.size() / WIRE_BLOCK);
}

void RoundTrip(benchmark::State& state) {
    const std::string text = TextOf(static_cast<size_t>(state.range(0)));
    Connect();
    for (auto _ : state) {
        fake.wire.clear();
        SendChatText(text.c_str());
        // The receiving side reads back what the sending side just put out.
        PeerSends(fake.wire);
    }
    if (arrivals != static_cast<long>(state.iterations())) state.SkipWithError("a message did not arrive");
    state.SetItemsProcessed(state.iterations());
}

// The kernel's price for the same traffic: one 10-byte send and one 10-byte
// recv per block, on a local stream socket pair.
void KernelSendRecv(benchmark::State& state) {
    const int blocks = static_cast<int>(state.range(0));
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) {
        state.SkipWithError("socketpair failed");
        return;
    }
    char block[WIRE_BLOCK] = {1, 2, 3};
    for (auto _ : state) {
        for (int i = 0; i < blocks; ++i) {
            benchmark::DoNotOptimize(send(pair[0], block, sizeof block, 0));
            benchmark::DoNotOptimize(recv(pair[1], block, sizeof block, 0));
        }
    }
    close(pair[0]);
    close(pair[1]);
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

// Text bytes 2 (a 5-byte message, one block) and 500 (503 bytes, 51 blocks).
BENCHMARK(BuildAndSend)->Arg(2)->Arg(500);
BENCHMARK(Reassemble)->Arg(2)->Arg(500);
BENCHMARK(RoundTrip)->Arg(2)->Arg(500);
BENCHMARK(KernelSendRecv)->Arg(1)->Arg(51);
