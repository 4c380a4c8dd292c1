#pragma once
// What the terminal front end shows, as the core leaves it through its
// interfaces: the screen draws it, norrik send ignores it, and the tests
// read it. Nothing here decides; the core has decided when it changes.
#include <cstddef>
#include <string>
#include <vector>

struct ReceivedPopupBox {
    std::string caption;  // "Popup message from NAME", the name as it was on arrival
    std::string text;     // as the peer sent it; line ends may be "\r\n"
};

// The send window: open, with the caption the core made and the text so far.
struct ComposeBox {
    bool open = false;
    std::string caption;
    std::string text;
};

struct TermView {
    // The history pane as the core wrote it: lines end in "\r\n". Its
    // length stays within the core's capacity, which trims it.
    std::string history;
    // The input line and the caret in it (a byte offset).
    std::string input;
    size_t caret = 0;
    // Message boxes not yet dismissed, oldest first: "Error: text".
    std::vector<std::string> boxes;
    // Received popups the user has not closed yet, oldest first; the core
    // caps how many stay open.
    std::vector<ReceivedPopupBox> popups;
    ComposeBox compose;
    // Bells asked for and not rung yet.
    int bells = 0;
    // A message arrived while the terminal had no focus.
    bool titleMarked = false;
    // Something changed since the screen was last drawn.
    bool changed = true;
};

extern TermView termView;
