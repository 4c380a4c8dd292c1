#pragma once
// The full-screen terminal program: a status line at the top, the history
// in the middle and the input line at the bottom, drawn with ncurses; the
// event loop runs until the user leaves.
#include "term/arguments.h"

// Runs the screen until /exit or Ctrl+C; the program's exit status.
int RunScreen(const Arguments& arguments);

// Makes the screen end after the event it handles, as /exit does.
void LeaveScreen();
