#pragma once
// The core knows socket errors by WinSock's numbers, which its history
// lines show ("***Last error number is: 10061"); a POSIX system reports
// errno. One table turns the one into the other.

constexpr int LOOKUP_FAILED_ERROR = 11001;  // WSAHOST_NOT_FOUND

// WinSock's number for errno; 10000 + errno for one it has no name for.
int WinSockErrorOf(int errnoValue);
