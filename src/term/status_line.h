#pragma once
// The top line of the terminal screen: what the connection is doing now.
#include <string>

#include "net/connection.h"
#include "term/state.h"

// Names and hosts in the wire's code page are shown as wide characters.
std::wstring StatusLine(const ConnectionSummary& connection);

// The right end of the status line: the lines that arrived below a history
// scrolled back, the popups open and the key that goes to them, or back;
// empty when there is nothing to say.
std::string StatusNote(size_t popupsOpen, Focus focus, const HistoryView& view);
