#pragma once
// The history as rows of a terminal of some width: the core's text split at
// its line ends, tabs set to every eighth column, control bytes a peer may
// send shown as '?' rather than handed to the terminal, and lines longer
// than the width wrapped.
#include <string>
#include <vector>

std::vector<std::string> HistoryRows(const std::string& history, int width);

// One line of text (a caption, a popup's text) made safe to draw: control
// bytes as '?', tabs as one blank.
std::string Printable(const std::string& text);
