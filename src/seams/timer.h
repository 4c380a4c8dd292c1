#pragma once
// The program's timers, which flash the title and end the server's wait
// for a greeting, and the clock.
#include <cstdint>

// Starts a repeating timer with id and the interval in milliseconds that
// runs FlashTick (net/alerts.h) on every tick (SetTimer on the main window).
void StartFlashTimer(unsigned id, unsigned interval);
void StopFlashTimer(unsigned id);

// The connection manager's timer: runs OnGreetingTimer (net/connection.h)
// once interval milliseconds from now, in place of any time set before
// (SetTimer on the main window; the poll timeout in a terminal). It may run
// it again after that until it is stopped, and a run that was already due
// when it was stopped may still come: the core tells them apart.
void StartGreetingTimer(unsigned interval);
void StopGreetingTimer();

// Milliseconds since some fixed moment (GetTickCount): only differences count.
uint32_t MillisecondsNow();
