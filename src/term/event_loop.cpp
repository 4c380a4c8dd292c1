// The sockets of the terminal front end (seams/sockets.h, seams/socket_io.h)
// and the event loop that gives the core their notifications and runs its
// greeting timer (seams/timer.h).
#include "term/event_loop.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "common/text.h"
#include "net/connection.h"
#include "seams/socket_io.h"
#include "seams/sockets.h"
#include "seams/timer.h"
#include "term/socket_errors.h"
#include "term/state.h"

namespace {

// The host entry a look-up leaves in the core's buffer.
struct LookupEntry {
    uint32_t found;
    uint32_t address;
};

EventLoopTables& loop = term.loop;

// Look-ups that have answered, filled by their threads: apart from the
// record, which only this thread touches. Never destroyed, and with its own
// copy of the pipe's end: a look-up still running when the program ends
// (norrik send that timed out during it) answers into it while the
// program's records are being destroyed.
struct Answered {
    std::mutex mutex;
    std::vector<std::shared_ptr<LookupJob>> jobs;
    int wakeEnd = -1;
};
Answered& answered = *new Answered;


void EnsureWakePipe() {
    if (loop.wakePipe[0] >= 0) return;
    if (pipe(loop.wakePipe) != 0) return;
    for (int fd : loop.wakePipe) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    std::lock_guard<std::mutex> lock(answered.mutex);
    answered.wakeEnd = loop.wakePipe[1];
}

bool Fail(int errnoValue) {
    loop.lastError = WinSockErrorOf(errnoValue);
    return false;
}

SocketRecord* RecordOf(SocketHandle socket) {
    auto found = loop.sockets.find(static_cast<int>(socket));
    return found == loop.sockets.end() ? nullptr : &found->second;
}

void Queue(Target target, uintptr_t handle, uint32_t event, int error) {
    loop.queue.push_back({target, handle, event, error});
}

sockaddr_in AddressOf(uint32_t address, uint16_t port) {
    sockaddr_in where;
    std::memset(&where, 0, sizeof where);
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = address;
    where.sin_port = htons(port);
    return where;
}

int PendingError(int fd) {
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
    return error;
}

void LookUp(std::shared_ptr<LookupJob> job) {
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (getaddrinfo(job->name, nullptr, &hints, &result) == 0 && result) {
        // The first address, as WinSock's host entry lists it first.
        job->found = true;
        job->address = reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
    }
    if (result) freeaddrinfo(result);
    std::lock_guard<std::mutex> lock(answered.mutex);
    answered.jobs.push_back(job);
    const char byte = 1;
    ssize_t written = answered.wakeEnd < 0 ? 0 : write(answered.wakeEnd, &byte, 1);
    (void)written;  // a full pipe wakes the loop as well
}

void TakeAnsweredLookups() {
    std::vector<std::shared_ptr<LookupJob>> jobs;
    {
        std::lock_guard<std::mutex> lock(answered.mutex);
        jobs.swap(answered.jobs);
    }
    for (const auto& job : jobs) {
        // The answer of a look-up the core gave up still comes: the core
        // needs it to let go of the buffer, and nothing is written to one
        // it released.
        if (loop.lookupsUnderWay.erase(job->handle) == 0) continue;
        LookupEntry entry = {job->found ? 1u : 0u, job->address};
        if (job->buffer && job->size >= sizeof entry) std::memcpy(job->buffer, &entry, sizeof entry);
        Queue(Target::Lookup, job->handle, 0, job->found ? 0 : LOOKUP_FAILED_ERROR);
    }
}

// What poll says about one selected socket, as the notifications WinSock
// would post.
void Notice(int fd, SocketRecord& record, short revents) {
    if (record.selected == Selected::Listen) {
        if (revents & (POLLERR | POLLHUP)) {
            // A listening socket that broke would be reported again at
            // every poll: told once, and polled no more.
            record.acceptArmed = false;
            const int error = PendingError(fd);
            Queue(Target::Listen, static_cast<uintptr_t>(fd), SOCKET_EVENT_CLOSE,
                  error == 0 ? 0 : WinSockErrorOf(error));
            return;
        }
        if ((revents & POLLIN) && record.acceptArmed) {
            record.acceptArmed = false;
            Queue(Target::Listen, static_cast<uintptr_t>(fd), SOCKET_EVENT_ACCEPT, 0);
        }
        return;
    }
    if (record.connecting) {
        if (!(revents & (POLLOUT | POLLERR | POLLHUP))) return;
        record.connecting = false;
        int error = PendingError(fd);
        if (error != 0) loop.lastConnectErrno = error;
        Queue(Target::Connection, static_cast<uintptr_t>(fd), SOCKET_EVENT_CONNECT,
              error == 0 ? 0 : WinSockErrorOf(error));
        if (error == 0) Queue(Target::Connection, static_cast<uintptr_t>(fd), SOCKET_EVENT_WRITE, 0);
        return;
    }
    if ((revents & (POLLIN | POLLERR | POLLHUP)) && record.readArmed && !record.closeTold) {
        int pending = 0;
        if (ioctl(fd, FIONREAD, &pending) == 0 && pending > 0) {
            record.readArmed = false;
            Queue(Target::Connection, static_cast<uintptr_t>(fd), SOCKET_EVENT_READ, 0);
        } else {
            // Readable with nothing to read: the peer closed, or the
            // connection broke. As under Wine, the close comes only after
            // the last bytes were read.
            record.closeTold = true;
            int error = PendingError(fd);
            loop.lastCloseErrno = error;
            Queue(Target::Connection, static_cast<uintptr_t>(fd), SOCKET_EVENT_CLOSE,
                  error == 0 ? 0 : WinSockErrorOf(error));
        }
    }
    if ((revents & POLLOUT) && record.writeWanted) {
        record.writeWanted = false;
        Queue(Target::Connection, static_cast<uintptr_t>(fd), SOCKET_EVENT_WRITE, 0);
    }
}

void HandQueuedToCore() {
    // Bounded: a handler may queue more (a marker after a close).
    for (size_t handed = 0; !loop.queue.empty() && handed < 100000; ++handed) {
        Notification next = loop.queue.front();
        loop.queue.pop_front();
        switch (next.target) {
        case Target::Listen:
            OnListenEvent(static_cast<SocketHandle>(next.handle), next.event, next.error);
            break;
        case Target::Connection:
            OnConnectionEvent(static_cast<SocketHandle>(next.handle), next.event, next.error);
            break;
        case Target::Lookup: OnResolveDone(next.handle, next.error); break;
        }
    }
}

// The wait for poll: no longer than until the greeting timer is due.
int WaitWithin(int timeoutMs) {
    if (!loop.greetingTimerSet) return timeoutMs;
    const int32_t left = static_cast<int32_t>(loop.greetingTimerDue - MillisecondsNow());
    if (left <= 0) return 0;
    return timeoutMs < 0 || left < timeoutMs ? left : timeoutMs;
}

void RunGreetingTimerIfDue() {
    if (!loop.greetingTimerSet || static_cast<int32_t>(loop.greetingTimerDue - MillisecondsNow()) > 0) return;
    loop.greetingTimerSet = false;
    OnGreetingTimer();
}

}  // namespace

// ------------------------------------------------------------ event loop

void WatchDescriptor(int fd, void (*onInput)()) { loop.watched[fd] = onInput; }

void WakeEventLoop() {
    if (loop.wakePipe[1] < 0) return;
    const char byte = 1;
    ssize_t written = write(loop.wakePipe[1], &byte, 1);
    (void)written;  // a full pipe wakes the loop as well
}

int LastConnectErrno() { return loop.lastConnectErrno; }

int LastCloseErrno() { return loop.lastCloseErrno; }

bool EventsQueued() { return !loop.queue.empty(); }

void RunEventLoopOnce(int timeoutMs) {
    EnsureWakePipe();
    std::vector<pollfd> polled;
    polled.push_back({loop.wakePipe[0], POLLIN, 0});
    for (const auto& entry : loop.watched) polled.push_back({entry.first, POLLIN, 0});
    const size_t firstSocket = polled.size();
    for (auto& entry : loop.sockets) {
        SocketRecord& record = entry.second;
        if (record.connecting && record.refusedAtOnce != 0) {
            record.connecting = false;
            loop.lastConnectErrno = record.refusedAtOnce;
            Queue(Target::Connection, static_cast<uintptr_t>(entry.first), SOCKET_EVENT_CONNECT,
                  WinSockErrorOf(record.refusedAtOnce));
            continue;
        }
        short events = 0;
        if (record.selected == Selected::Listen && record.acceptArmed) events = POLLIN;
        if (record.selected == Selected::Connection) {
            if (record.connecting) {
                events = POLLOUT;
            } else {
                if (record.readArmed && !record.closeTold) events |= POLLIN;
                if (record.writeWanted) events |= POLLOUT;
            }
        }
        if (events != 0) polled.push_back({entry.first, events, 0});
    }
    // What was queued meanwhile (a marker, a delivery) goes first, at once.
    int ready = poll(polled.data(), polled.size(), loop.queue.empty() ? WaitWithin(timeoutMs) : 0);
    const bool interrupted = ready < 0 && errno == EINTR;
    if (ready > 0) {
        if (polled[0].revents & POLLIN) {
            char drained[64];
            while (read(loop.wakePipe[0], drained, sizeof drained) > 0) {
            }
        }
        for (size_t i = firstSocket; i < polled.size(); ++i) {
            SocketRecord* record = RecordOf(polled[i].fd);
            if (record && polled[i].revents) Notice(polled[i].fd, *record, polled[i].revents);
        }
    }
    TakeAnsweredLookups();
    HandQueuedToCore();
    RunGreetingTimerIfDue();
    for (size_t i = 1; i < firstSocket; ++i) {
        if (interrupted || (ready > 0 && polled[i].revents)) {
            auto found = loop.watched.find(polled[i].fd);
            if (found != loop.watched.end()) found->second();
        }
    }
}

// ------------------------------------------------------------ the seams

int StartWinSock(uint16_t, WinSockInfo* info) {
    info->version = 0x0101;
    CopyText(info->description, "POSIX sockets");
    CopyText(info->systemStatus, "Running");
    return 0;
}

void CleanupWinSock() {}

SocketHandle OpenStreamSocket() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return Fail(errno), NO_SOCKET;
    // Sockets that a notification is selected for never block, as in
    // WinSock; these are selected before they are used.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
#ifdef SO_NOSIGPIPE
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    loop.sockets[fd] = SocketRecord{};
    return fd;
}

bool BindSocket(SocketHandle socket, uint32_t address, uint16_t port) {
    // A server started again soon after it stopped finds its port free at
    // once, as on Windows, not after the minutes of TIME_WAIT.
    if (port != 0) {
        int on = 1;
        setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    sockaddr_in where = AddressOf(address, port);
    if (bind(static_cast<int>(socket), reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) return Fail(errno);
    return true;
}

bool ListenOnSocket(SocketHandle socket, int backlog) {
    if (listen(static_cast<int>(socket), backlog) != 0) return Fail(errno);
    return true;
}

void SelectListenEvents(SocketHandle socket) {
    if (SocketRecord* record = RecordOf(socket)) record->selected = Selected::Listen;
}

void SelectConnectionEvents(SocketHandle socket) {
    SocketRecord* record = RecordOf(socket);
    if (!record) return;
    record->selected = Selected::Connection;
    // WinSock tells an accepted socket at once that it takes data.
    if (record->accepted) Queue(Target::Connection, static_cast<uintptr_t>(socket), SOCKET_EVENT_WRITE, 0);
}

SocketHandle AcceptOnSocket(SocketHandle listening) {
    if (SocketRecord* record = RecordOf(listening)) record->acceptArmed = true;
    int fd = accept(static_cast<int>(listening), nullptr, nullptr);
    if (fd < 0) return Fail(errno), NO_SOCKET;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    SocketRecord record;
    record.accepted = true;
    loop.sockets[fd] = record;
    return fd;
}

void SendBlocksAtOnce(SocketHandle socket) {
    int on = 1;
    setsockopt(static_cast<int>(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void KeepConnectionAlive(SocketHandle socket) {
    int on = 1;
    setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
}

bool ConnectSocket(SocketHandle socket, uint32_t address, uint16_t port) {
    SocketRecord* record = RecordOf(socket);
    sockaddr_in where = AddressOf(address, port);
    const int result = connect(static_cast<int>(socket), reinterpret_cast<sockaddr*>(&where), sizeof where);
    const int error = result == 0 ? 0 : errno;
    // A refusal that a local connect gets at once comes, under WinSock, as
    // the connect notification, like any other end of the connect.
    const bool toldLater = error == ECONNREFUSED || error == ENETUNREACH || error == EHOSTUNREACH ||
                           error == ETIMEDOUT;
    if (error != 0 && error != EINPROGRESS && !toldLater) {
        loop.lastConnectErrno = error;
        return Fail(error);
    }
    if (record) {
        record->connecting = true;
        record->refusedAtOnce = toldLater ? error : 0;
    }
    if (error != 0) return Fail(EINPROGRESS);
    return true;
}

void CloseSocket(SocketHandle socket) {
    if (socket == NO_SOCKET) return;
    loop.sockets.erase(static_cast<int>(socket));
    close(static_cast<int>(socket));
}

bool ShutdownSends(SocketHandle socket) { return shutdown(static_cast<int>(socket), SHUT_WR) == 0; }

size_t PendingBytes(SocketHandle socket) {
    int pending = 0;
    if (ioctl(static_cast<int>(socket), FIONREAD, &pending) != 0 || pending < 0) return 0;
    return static_cast<size_t>(pending);
}

uint32_t ParseDottedAddress(const char* text) { return inet_addr(text); }

uintptr_t StartHostLookup(const char* name, char* buffer, size_t size) {
    EnsureWakePipe();
    auto job = std::make_shared<LookupJob>();
    job->handle = loop.nextLookupHandle++;
    CopyText(job->name, name);
    job->buffer = buffer;
    job->size = size;
    try {
        std::thread(LookUp, job).detach();
    } catch (...) {
        return 0;
    }
    loop.lookupsUnderWay[job->handle] = job;
    return job->handle;
}

// As under Wine: the look-up goes on and still answers.
void CancelHostLookup(uintptr_t) {}

bool FirstLookupAddress(const char* buffer, uint32_t* address) {
    LookupEntry entry;
    std::memcpy(&entry, buffer, sizeof entry);
    *address = entry.address;
    return entry.found == 1;
}

bool LocalHostName(char* name, size_t size) { return gethostname(name, size) == 0; }

bool FirstHostAddress(const char* name, uint32_t* address) {
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    addrinfo* result = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &result) != 0 || !result) return false;
    *address = reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(result);
    return true;
}

bool PostConnectionEvent(SocketHandle socket, uint32_t event) {
    Queue(Target::Connection, static_cast<uintptr_t>(socket), event, 0);
    return true;
}

bool PostListenEvent(SocketHandle socket, uint32_t event) {
    Queue(Target::Listen, static_cast<uintptr_t>(socket), event, 0);
    return true;
}

int SendOnSocket(SocketHandle socket, const char* data, int length) {
#ifdef MSG_NOSIGNAL
    const int flags = MSG_NOSIGNAL;
#else
    const int flags = 0;
#endif
    ssize_t sent = send(static_cast<int>(socket), data, static_cast<size_t>(length), flags);
    if (sent >= 0) return static_cast<int>(sent);
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
        if (SocketRecord* record = RecordOf(socket)) record->writeWanted = true;
    }
    Fail(errno);
    return -1;
}

int ReceiveFromSocket(SocketHandle socket, char* buffer, int length) {
    if (SocketRecord* record = RecordOf(socket)) record->readArmed = true;
    ssize_t received = recv(static_cast<int>(socket), buffer, static_cast<size_t>(length), 0);
    if (received >= 0) return static_cast<int>(received);
    Fail(errno);
    return -1;
}

int LastSocketError() { return loop.lastError; }

void StartGreetingTimer(unsigned interval) {
    loop.greetingTimerSet = true;
    loop.greetingTimerDue = MillisecondsNow() + interval;
}

void StopGreetingTimer() { loop.greetingTimerSet = false; }

void DeliverConnectionEvent(SocketHandle socket, uint32_t event) { OnConnectionEvent(socket, event, 0); }
