// The Windows program's menus and toolbar do what the terminal's own
// commands do: it has none.
#include "seams/front_end_commands.h"

bool RunFrontEndCommand(const char*) { return false; }

const char* const FRONT_END_HELP[] = {nullptr};
