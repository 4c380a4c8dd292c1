#pragma once
// The input line as the interpreter needs it. Every call does nothing (or
// reads an empty line) while the control does not exist.
#include <cstddef>

constexpr size_t INPUT_LINE_LIMIT = 300;

// Copies the whole line (at most size - 1 characters) and terminates it.
// Returns the number of characters copied.
size_t ReadInputLine(char* buffer, size_t size);
void ClearInputLine();
void FocusInputLine();
