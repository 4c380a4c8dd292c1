#pragma once
// Program-wide state of the main window that the portable core reads.
#include <cstdint>

// 1 while the main window is the active window; 1 also before the first
// activation message, so nothing flashes a window that was never shown.
extern int32_t windowActive;

// Puts every program-wide record of the core back to its start values, so
// that tests do not leak into one another.
void ResetCoreState();
