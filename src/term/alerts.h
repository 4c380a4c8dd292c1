#pragma once
// The terminal's bell rings at most once a second, as the popup sound
// starts: a flood of chat lines would otherwise ring it at every frame.
#include <cstdint>

#include "term/state.h"

constexpr uint32_t BELL_QUIET_MS = 1000;

// Whether the bell may ring at now (milliseconds); if so, it counts as rung.
bool BellDue(uint32_t now, BellRecord& bell);
