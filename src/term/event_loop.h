#pragma once
// The terminal front end's event loop: poll(2) over the sockets the core
// selected, the pipe by which look-ups and signals wake it, and the
// descriptors the screen watches. It turns what poll reports into the
// notifications the core relies on, with WinSock's rules (seams/sockets.h):
// read again after every read that leaves data, write after connect and
// accept and again once a send that would have blocked can go on, accept
// again only after an accept, close once the peer's bytes have been read.
// A listening socket that hangs up or fails is told as a close. The one
// timer it wakes for is the core's greeting timer (seams/timer.h).

// Waits until something happens, the greeting timer is due, or timeoutMs
// pass (-1: no limit), then hands every notification that is due to the
// core, one at a time, runs the greeting timer when it is due, and runs
// the handler of every watched descriptor that has input (of every one
// after a signal interrupted the wait).
void RunEventLoopOnce(int timeoutMs);

// onInput runs when fd has input; one handler per descriptor.
void WatchDescriptor(int fd, void (*onInput)());

// Makes the loop return from its wait. Safe in a signal handler and from
// another thread.
void WakeEventLoop();

// The errno of the last connect that failed, as the system reported it, for
// messages that name it in words; 0 when none has failed.
int LastConnectErrno();

// The errno with which the last connection to be told closed ended: 0 for a
// clean close, ECONNRESET when the peer reset it, as it does when it closes
// with our bytes unread.
int LastCloseErrno();

// Notifications waiting to be handed to the core.
bool EventsQueued();
