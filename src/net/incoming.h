#pragma once
// Handling of received messages.

// Takes one complete received message as the transfer engine holds it: a
// zero-terminated string of kind byte, code byte for a control message, and
// the text, exactly as the peer sent it. The string stays valid only during
// the call. Sends nothing.
void DispatchIncoming(const char* message);
