#pragma once
// Toolbar and help decisions that need no window.
#include <cstddef>
#include <cstdint>

constexpr int TOOLBAR_BUTTON_COUNT = 6;  // IDT_CONNECT .. IDT_HELP, in that order
constexpr size_t HELP_PATH_SIZE = 280;
extern const char* const HELP_FILE_NAME;  // "nrkhelp.txt"

// Enabled state of each button, indexed by identifier minus IDT_CONNECT,
// taken from the role alone: a toolbar built while a client connects (its
// role still none) gets the idle states.
struct ButtonStates {
    bool on[TOOLBAR_BUTTON_COUNT];
};
ButtonStates ButtonStatesForRole(int32_t role);

// The tooltip of a toolbar button, or null for an identifier that is none.
const char* TooltipTextFor(uintptr_t buttonId);

// The help file beside the program: the executable's path cut after its
// last backslash, then HELP_FILE_NAME. False, and nothing to open, when
// there is no backslash or the result would not fit in size bytes.
bool HelpPathFromExecutable(const char* executablePath, char* helpPath, size_t size);
