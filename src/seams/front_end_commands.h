#pragma once
// Slash commands of the front end's own, beside the interpreter's: the
// terminal has no menus, so /connect, /server and their kin stand for them.
// The Windows program has none.
#include "seams/command.h"

// The command a typed line names, with *argument set to what follows its
// word; Command::None when it is none of the front end's, and the
// interpreter then calls the line unknown.
Command FrontEndCommandFor(const char* line, const char** argument);

// The lines /help lists for them, before its closing line; null-terminated.
extern const char* const FRONT_END_HELP[];
