#pragma once
// Turns the line typed into the input line into an action. Called for every
// Enter in the input line.

void HandleInputLine();

// True when a peer is connected; otherwise says "***Not connected" in the
// history and returns false.
bool RequireConnection();
