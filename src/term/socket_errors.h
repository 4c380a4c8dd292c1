#pragma once
// The core knows socket errors by WinSock's numbers, which its history
// lines show ("***Last error number is: 10061"); a POSIX system reports
// errno. One table turns the one into the other, and the terminal shows
// the system's own words for them.
#include <string>

constexpr int LOOKUP_FAILED_ERROR = 11001;  // WSAHOST_NOT_FOUND

// WinSock's number for errno; 10000 + errno for one it has no name for.
int WinSockErrorOf(int errnoValue);

// The history the core writes, in the terminal's own words: its lines
// about starting WinSock are left out but one that names POSIX sockets,
// and an error number is the system's text for it ("***Connection
// refused"). Any other text is as given.
std::string InOwnWords(const std::string& text);
