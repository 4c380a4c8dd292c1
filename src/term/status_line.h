#pragma once
// The top line of the terminal screen: what the connection is doing now.
#include <string>

#include "net/connection_state.h"

// localAddress: this machine's address as the server's start line shows it
// ("192.168.1.11"), or empty when unknown.
std::string StatusLine(const ConnectionState& state, const std::string& localAddress);
