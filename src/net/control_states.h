#pragma once
// Which toolbar buttons and menu items are enabled in each state of the
// connection: the one place that decides it. Every transition of the
// connection manager, and the greeting, applies the whole row of the state
// it reaches; start-up applies the idle row; a toolbar created while the
// program runs takes its buttons from the row's column for that case. The
// row's type is the front end's interface (seams/controls.h).
#include "net/connection_state.h"
#include "seams/controls.h"

ControlState ControlStateOf(const ConnectionState& state);
const ControlRow& ControlRowOf(ControlState state);

// Shows the row of the connection's state now, every button and item.
void ApplyControlStates();
// Shows the same row with the buttons of a toolbar just created.
void ApplyCreatedToolbarStates();
