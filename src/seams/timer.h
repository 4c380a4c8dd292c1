#pragma once
// The one timer of the program, which flashes the title, and the clock.
#include <cstdint>

// Starts a repeating timer with id and the interval in milliseconds that
// runs FlashTick (net/alerts.h) on every tick (SetTimer on the main window).
void StartFlashTimer(unsigned id, unsigned interval);
void StopFlashTimer(unsigned id);

// Milliseconds since some fixed moment (GetTickCount): only differences count.
uint32_t MillisecondsNow();
