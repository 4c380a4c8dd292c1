#include "net/incoming.h"

// Showing arrivals, learning the peer's name and the alerts come with the
// handler of received messages. Until then an arrival is dropped unread:
// nothing a peer sends can reach the history, a format or a fixed field.
void DispatchIncoming(const char*) {}
