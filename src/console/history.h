#pragma once
#include <cstddef>
#include <initializer_list>

// The only way anything writes to the conversation view. Texts land at the
// end exactly as given: no line end is added and none is translated, so a
// text without "\r\n" leaves the next append on the same line.

// The pane keeps at most HISTORY_CAPACITY characters: an append that would
// pass it first removes the oldest whole lines, down to about three
// quarters of it. Only a flood meets this; it bounds the memory a peer can
// make the program hold, and an edit control slows down as its text grows.
constexpr size_t HISTORY_CAPACITY = 1000000;
constexpr size_t HISTORY_TRIMMED_SIZE = 750000;

void AppendHistory(const char* text);
// The parts one after the other, as one text: a line made of the program's
// words and a peer's name or text goes to the pane in one piece.
void AppendHistory(std::initializer_list<const char*> parts);
void ClearHistory();
