#pragma once
// Toolbar and help decisions that need no window.
#include <cstddef>
#include <cstdint>

#include "net/control_states.h"

constexpr size_t HELP_PATH_SIZE = 280;
extern const char* const HELP_FILE_NAME;  // "nrkhelp.txt"

// The tooltip of a toolbar button, or null for an identifier that is none.
const char* TooltipTextFor(uintptr_t buttonId);

// The help file beside the program: the executable's path cut after its
// last backslash, then HELP_FILE_NAME. False, and nothing to open, when
// there is no backslash or the result would not fit in size bytes.
bool HelpPathFromExecutable(const char* executablePath, char* helpPath, size_t size);
