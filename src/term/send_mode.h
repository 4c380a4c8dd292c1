#pragma once
// norrik send: one chat line or one popup message to a peer, for scripts.
// It connects to HOST, greets it, sends the text, sends the quit message and
// closes, all through the core, as a copy of the program would.
#include <string>

#include "term/arguments.h"

// Why text (in the locale, as given) cannot go as the message asked for, in
// the program's limits (a chat line as the input line takes it, a popup as
// the send window does), counted on the wire; empty when it can.
std::string SendTextRefusal(const Arguments& arguments, const std::string& text);

// Runs the whole exchange, with text and the nickname given in the locale
// and sent in the code page; 0 once everything was handed to the peer and the
// connection closed, otherwise 1 with one line in *failure.
int RunSend(const Arguments& arguments, const std::string& text, std::string* failure);

// Reads input (standard input) to its end, waiting when it does not block,
// less one line end at the end; false with *failure on a read error.
bool ReadInput(int input, std::string* text, std::string* failure);

// norrik send as the command line asks: the text of the arguments or of
// input, its checks, then the exchange. The exit status: 0 delivered; 1
// not, or refused; 2 nothing to send. *failure says why.
int SendCommand(const Arguments& arguments, int input, std::string* failure);
