#pragma once
// Turns the line typed into the input line into an action. Called for every
// Enter in the input line.

void HandleInputLine();
