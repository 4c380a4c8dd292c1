#pragma once
// Slash commands of the front end's own, beside the interpreter's: the
// terminal has no menus, so /connect, /server and their kin stand for them.
// The Win32 front end has none.

// Runs line when it is one of the front end's commands; false when it is
// none, and the interpreter then calls the command unknown.
bool RunFrontEndCommand(const char* line);

// The lines /help lists for them, before its closing line; null-terminated.
extern const char* const FRONT_END_HELP[];
