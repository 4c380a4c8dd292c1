#include "fakes/fake_socket.h"

#include <algorithm>
#include <cstring>

#include "net/connection.h"
#include "net/protocol.h"
#include "net/socket_api.h"
#include "net/transfer.h"

FakeSocket fakeSocket;

void ResetFakeSocket() { fakeSocket = FakeSocket{}; }

void FakeSocket::Rewind() {
    sendNext = 0;
    offered.clear();
    offerLengths.clear();
    offerOffsets.clear();
    sendSockets.clear();
    wire.clear();
    recvNext = 0;
    recvTaken = 0;
    recvLengths.clear();
    recvSockets.clear();
    lastError = 0;
    events.clear();
    depth = maxDepth = 0;
    depthExceeded = false;
}

int SendOnSocket(SocketHandle socket, const char* data, int length) {
    FakeSocket& fake = fakeSocket;
    fake.sendSockets.push_back(socket);
    fake.offerLengths.push_back(length);
    fake.offerOffsets.push_back(static_cast<intptr_t>(reinterpret_cast<uintptr_t>(data) -
                                                      reinterpret_cast<uintptr_t>(outgoingBuffer.storage)));
    fake.offered.append(data, static_cast<size_t>(std::max(length, 0)));

    FakeSendStep step = fake.sendNext < fake.sendScript.size() ? fake.sendScript[fake.sendNext++]
                                                               : AcceptBytes(length);
    switch (step.kind) {
    case FakeSendStep::WouldBlock: fake.lastError = SOCKET_ERROR_WOULD_BLOCK; return -1;
    case FakeSendStep::Fail: fake.lastError = step.error; return -1;
    case FakeSendStep::Accept: break;
    }
    int taken = std::max(0, std::min(step.count, length));
    fake.wire.append(data, static_cast<size_t>(taken));
    return step.count;
}

int ReceiveFromSocket(SocketHandle socket, char* buffer, int length) {
    FakeSocket& fake = fakeSocket;
    fake.recvSockets.push_back(socket);
    fake.recvLengths.push_back(length);
    if (!fake.ReceivePending()) {
        fake.lastError = SOCKET_ERROR_WOULD_BLOCK;
        return -1;
    }
    const FakeRecvStep& step = fake.recvScript[fake.recvNext];
    switch (step.kind) {
    case FakeRecvStep::Closed: ++fake.recvNext; return 0;
    case FakeRecvStep::Fail:
        ++fake.recvNext;
        fake.lastError = step.error;
        return -1;
    case FakeRecvStep::Data: break;
    }
    size_t left = step.bytes.size() - fake.recvTaken;
    size_t count = std::min(left, static_cast<size_t>(std::max(length, 0)));
    std::memcpy(buffer, step.bytes.data() + fake.recvTaken, count);
    fake.recvTaken += count;
    if (fake.recvTaken >= step.bytes.size()) {
        ++fake.recvNext;
        fake.recvTaken = 0;
    }
    return static_cast<int>(count);
}

int LastSocketError() { return fakeSocket.lastError; }

void DeliverConnectionEvent(SocketHandle socket, uint32_t event) {
    FakeSocket& fake = fakeSocket;
    fake.events.emplace_back(socket, event);
    if (fake.depth >= fake.depthLimit) {
        fake.depthExceeded = true;
        return;
    }
    ++fake.depth;
    fake.maxDepth = std::max(fake.maxDepth, fake.depth);
    // The window procedure gets the event in the low word and error 0 in the
    // high word of lParam.
    OnConnectionEvent(socket, event & 0xFFFF);
    --fake.depth;
}
