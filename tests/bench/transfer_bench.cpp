// Cost per message of the transfer engine: building and sending a chat
// message through the fake socket (one self-delivered FD_WRITE per block),
// and reassembling it from 10-byte reads. The fake records every byte it is
// offered, so its own bookkeeping is part of the figures; KernelSendRecv
// gives, for comparison, the system calls the same number of blocks costs on
// a local socket pair.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "fakes/fake_socket.h"
#include "fakes/fakes.h"
#include "net/connection.h"
#include "net/protocol.h"
#include "net/transfer.h"

namespace {

constexpr SocketHandle CONN = 7;
long arrivals = 0;

void CountArrival(const char* message) {
    benchmark::DoNotOptimize(message);
    ++arrivals;
}

void Connect() {
    ResetFakes();
    connectionState.clientConnected = 1;
    connectionState.connSocket = CONN;
    receivedMessageHandler = CountArrival;
    arrivals = 0;
}

std::string TextOf(size_t length) { return std::string(length, 'x'); }

// The bytes a chat message of textBytes takes on the wire.
std::string WireOf(const std::string& text) {
    Connect();
    SendChatText(text.c_str());
    return fakeSocket.wire;
}

void BuildAndSend(benchmark::State& state) {
    const std::string text = TextOf(static_cast<size_t>(state.range(0)));
    Connect();
    SendChatText(text.c_str());  // sizes the fake's records once
    const size_t blocks = fakeSocket.offerLengths.size();
    for (auto _ : state) {
        fakeSocket.Rewind();
        SendChatText(text.c_str());
        benchmark::DoNotOptimize(fakeSocket.wire.data());
    }
    if (fakeSocket.wire.size() != blocks * WIRE_BLOCK) state.SkipWithError("message not sent whole");
    state.SetItemsProcessed(state.iterations());
    state.counters["send_calls"] = static_cast<double>(blocks);
}

void Reassemble(benchmark::State& state) {
    const std::string wire = WireOf(TextOf(static_cast<size_t>(state.range(0))));
    Connect();
    fakeSocket.Feed(DataChunk(wire));
    const size_t reads = wire.size() / WIRE_BLOCK;
    for (auto _ : state) {
        fakeSocket.Rewind();
        for (size_t i = 0; i < reads; ++i) OnConnectionEvent(CONN, SOCKET_EVENT_READ);
    }
    if (arrivals != static_cast<long>(state.iterations())) state.SkipWithError("a message did not arrive");
    state.SetItemsProcessed(state.iterations());
    state.counters["recv_calls"] = static_cast<double>(reads);
}

void RoundTrip(benchmark::State& state) {
    const std::string text = TextOf(static_cast<size_t>(state.range(0)));
    Connect();
    SendChatText(text.c_str());
    const size_t reads = fakeSocket.wire.size() / WIRE_BLOCK;
    fakeSocket.Feed(DataChunk(std::string(fakeSocket.wire.size(), '\0')));
    for (auto _ : state) {
        fakeSocket.Rewind();
        SendChatText(text.c_str());
        // The receiving side reads back what the sending side just put out.
        fakeSocket.recvScript[0].bytes.assign(fakeSocket.wire);
        for (size_t i = 0; i < reads; ++i) OnConnectionEvent(CONN, SOCKET_EVENT_READ);
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
