#include "console/interpreter.h"

#include "console/input_line.h"

void HandleInputLine() {
    char line[INPUT_LINE_LIMIT + 1];
    ReadInputLine(line, sizeof line);
    // The typed line leaves the input line whatever then happens to it.
    ClearInputLine();
}
