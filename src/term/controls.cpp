// A terminal has no toolbar and no menus: the commands /connect,
// /disconnect, /server and /stop stand for them, and the status line shows
// the state. Message boxes are framed boxes that take no typed text; Esc
// dismisses them (screen.cpp).
#include <string>

#include "term/state.h"
#include "seams/controls.h"
#include "seams/message_box.h"

void ShowControls(const ControlRow&, const char*, const char*) {}

void ShowErrorBox(const char* text) {
    term.boxes.push_back(std::string("Error: ") + text);
    term.changed = true;
}

void ShowPlainBox(const char* text) { ShowErrorBox(text); }
