#include "term/socket_errors.h"

#include <netdb.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Each errno and WinSock's number for it; where two have one number, the
// first is what the number means here.
const struct {
    int errnoValue;
    int winSock;
} ERRORS[] = {
    {EINTR, 10004}, {EBADF, 10009}, {EACCES, 10013}, {EFAULT, 10014}, {EINVAL, 10022}, {EMFILE, 10024},
    {EAGAIN, 10035},  // WSAEWOULDBLOCK
#if EWOULDBLOCK != EAGAIN
    {EWOULDBLOCK, 10035},
#endif
    // A non-blocking connect under way: WinSock answers would-block.
    {EINPROGRESS, 10035}, {EALREADY, 10037}, {ENOTSOCK, 10038}, {EMSGSIZE, 10040}, {EPROTONOSUPPORT, 10043},
    {EOPNOTSUPP, 10045}, {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048}, {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},
    {ENETUNREACH, 10051}, {ENETRESET, 10052}, {ECONNABORTED, 10053}, {ECONNRESET, 10054}, {EPIPE, 10054},
    {ENOBUFS, 10055}, {EISCONN, 10056}, {ENOTCONN, 10057}, {ESHUTDOWN, 10058}, {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061}, {EHOSTDOWN, 10064}, {EHOSTUNREACH, 10065},
};

constexpr int UNNAMED_BASE = 10000;

// The core's start-up lines about WinSock, which say nothing true here.
const char* const WINSOCK_LINES[] = {
    "Trying to initialize WinSock 1.1...\r\n",
    "Confirming that WinSock supports 1.1\r\n",
    "WinSock 1.1 started successfully\r\n",
};
// The one that names the sockets: StartWinSock's description and status.
const char* const SOCKETS_LINE = "POSIX sockets  Running\r\n";
const char* const ERROR_LINE = "***Last error number is: ";

std::string ErrorText(int winSock) {
    if (winSock == LOOKUP_FAILED_ERROR) return gai_strerror(EAI_NONAME);
    for (const auto& error : ERRORS) {
        if (error.winSock == winSock) return std::strerror(error.errnoValue);
    }
    return std::strerror(winSock - UNNAMED_BASE);
}

}  // namespace

int WinSockErrorOf(int errnoValue) {
    for (const auto& error : ERRORS) {
        if (error.errnoValue == errnoValue) return error.winSock;
    }
    return UNNAMED_BASE + errnoValue;
}

std::string InOwnWords(const std::string& text) {
    for (const char* line : WINSOCK_LINES) {
        if (text == line) return "";
    }
    if (text == SOCKETS_LINE) return "Using POSIX sockets\r\n";
    const size_t prefix = std::strlen(ERROR_LINE);
    const std::string number = text.substr(std::min(prefix, text.size()));
    if (text.compare(0, prefix, ERROR_LINE) != 0 || number.empty() || number.size() > 6 ||
        number.find_first_not_of("0123456789") != std::string::npos) {
        return text;
    }
    return "***" + ErrorText(std::atoi(number.c_str()));
}
