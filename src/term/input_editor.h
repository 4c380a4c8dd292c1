#pragma once
// Editing of the terminal's input line (term.input and its caret) and
// the recall of lines typed earlier with Up and Down.
#include <cstddef>
#include <string>

constexpr size_t RECALLED_LINES = 100;

enum class EditKey { Left, Right, Home, End, Backspace, Delete, Up, Down };

// Inserts a typed character at the caret unless the line would then take
// more than INPUT_LINE_LIMIT bytes on the wire.
void TypeCharacter(wchar_t c);
void EditInputLine(EditKey key);
// Keeps the line for Up and Down, then hands it to the interpreter.
void EnterInputLine();
