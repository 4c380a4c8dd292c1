#pragma once
// Puts every program-wide record of the core back to its start values, so
// that tests do not leak into one another.
void ResetCoreState();
