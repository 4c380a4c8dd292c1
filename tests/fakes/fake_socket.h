#pragma once
// A scripted connection socket for the transfer engine: each send call takes
// the next scripted answer, each receive call the next scripted chunk, and
// every byte offered and accepted is recorded. Connection events go straight
// to OnConnectionEvent, as the main window procedure would take them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "net/connection_state.h"

struct FakeSendStep {
    enum Kind { Accept, WouldBlock, Fail } kind;
    int count;  // Accept: bytes taken (more than offered is answered as given)
    int error;  // Fail: the error LastSocketError() reports
};
inline FakeSendStep AcceptBytes(int count) { return {FakeSendStep::Accept, count, 0}; }
inline FakeSendStep WouldBlock() { return {FakeSendStep::WouldBlock, 0, 0}; }
inline FakeSendStep FailSend(int error) { return {FakeSendStep::Fail, 0, error}; }

struct FakeRecvStep {
    enum Kind { Data, Closed, Fail } kind;
    std::string bytes;  // Data: handed out over as many reads as it takes
    int error;          // Fail
};
inline FakeRecvStep DataChunk(std::string bytes) { return {FakeRecvStep::Data, std::move(bytes), 0}; }
inline FakeRecvStep ClosedRead() { return {FakeRecvStep::Closed, {}, 0}; }
inline FakeRecvStep FailedRead(int error) { return {FakeRecvStep::Fail, {}, error}; }

struct FakeSocket {
    // Send: answers for the next calls in order; past the end of the script
    // every offer is taken whole.
    std::vector<FakeSendStep> sendScript;
    size_t sendNext = 0;
    std::string offered;                 // every byte offered, call after call
    std::vector<int> offerLengths;       // the length of each offer
    std::vector<intptr_t> offerOffsets;  // where each offer starts in outgoingBuffer.storage
    std::vector<SocketHandle> sendSockets;
    std::string wire;  // the bytes accepted, in order: what the peer receives

    // Receive: chunks for the next calls in order. A Data chunk longer than a
    // read asks for is handed out over several reads; a shorter one makes a
    // short read. Past the end every read fails with would-block.
    std::vector<FakeRecvStep> recvScript;
    size_t recvNext = 0;
    size_t recvTaken = 0;  // bytes of recvScript[recvNext] already read
    std::vector<int> recvLengths;  // what each read asked for
    std::vector<SocketHandle> recvSockets;

    int lastError = 0;

    // Connection events delivered, and how deeply they nested.
    std::vector<std::pair<SocketHandle, uint32_t>> events;
    int depth = 0;
    int maxDepth = 0;
    // Deliveries beyond this depth are recorded and dropped, so that a fault
    // in the engine fails a test instead of overflowing the stack.
    int depthLimit = 1000;
    bool depthExceeded = false;

    bool ReceivePending() const { return recvNext < recvScript.size(); }
    void Feed(FakeRecvStep step) { recvScript.push_back(std::move(step)); }
    // Forgets what was recorded and rewinds both scripts, keeping capacity, so
    // a benchmark can replay without allocating.
    void Rewind();
};

extern FakeSocket fakeSocket;

void ResetFakeSocket();
