#pragma once
// The top line of the terminal screen: what the connection is doing now.
#include <string>

#include "net/connection.h"

std::string StatusLine(const ConnectionSummary& connection);
