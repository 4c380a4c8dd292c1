#pragma once
// Whether a command can be run now, and running it: the one place that
// decides what each command does, for every front end.
#include "seams/command.h"

// False while the connection's state does not allow it: Disconnect, Start
// Server, Stop Server and the send window by the table that enables the
// menu items and buttons (net/control_states.h), and what needs a peer
// while none is connected. Connect is always available: a connect that
// cannot be made refuses itself with a line that says why.
bool CommandAvailable(Command command);

// True when a peer is connected; otherwise says "***Not connected" in the
// history and returns false.
bool RequireConnection();

// Says in the history why a typed command is not run now: "***Not
// connected" for one that needs a peer, else that the typed line is not
// available now. Returns false for the first, which leaves the focus alone.
bool RefuseCommand(Command command, const char* typed);

// Runs the command with its argument (empty for none). It does not ask
// CommandAvailable: the Windows program offers only the enabled items and
// buttons, and the interpreter refuses typed commands first.
void RunCommand(Command command, const char* argument);

// Send of a send window: an empty text is refused with a box, and the
// window stays open (false); otherwise the popup goes to the peer, and any
// refusal of the send is a history line of its own.
bool SendPopupText(const char* text);
