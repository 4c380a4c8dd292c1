#pragma once
// Text as rows of a terminal of some width. The core's text is in the
// wire's code page; it is shown as wide characters: split at its line ends,
// tabs set to every eighth column, control characters a peer may send shown
// as '?' rather than handed to the terminal, and lines wider than the
// terminal wrapped by the columns each character takes.
#include <string>
#include <vector>

// The columns c takes on the screen: 2 for the wide characters of East
// Asian scripts, 0 for a combining mark, otherwise 1.
int ColumnsOf(wchar_t c);
// c as the screen may draw it: '?' for a control character or one the
// locale cannot show.
wchar_t Shown(wchar_t c);

std::vector<std::wstring> WrapRows(const std::wstring& text, int width);
// The history (text in the wire's code page) as rows.
std::vector<std::wstring> HistoryRows(const std::string& history, int width);

// One line of text (a caption, a name) made safe to draw: as Shown, and
// tabs as one blank.
std::wstring Printable(const std::wstring& text);
// The same of text in the wire's code page.
std::wstring Printable(const std::string& wireText);
// The longest start of text that fits in width columns.
std::wstring FitColumns(const std::wstring& text, int width);

// A time stamp before each line of the history, "[HH:MM] ".
constexpr size_t STAMP_LENGTH = 8;
// text with stamp at the start of each of its lines: at its start when it
// begins a line, and after every line end that more text follows.
std::string Stamped(const std::string& text, bool beginsLine, const std::string& stamp);
// Whether a line (or row) begins with a time stamp.
bool BeginsWithStamp(const std::wstring& row);

// What a line of the history is, by how it begins after its time stamp: a
// chat line of the peer ("<NAME> " with the peer's name) or one's own, a
// line of the program ("***"), or an error it tells.
enum class LineKind { Plain, Own, Peer, System, Error };
LineKind KindOf(const std::string& line, const std::string& peer);

// Colours where the terminal has them, unless NO_COLOR is set to anything.
bool ColoursWanted(bool terminalHasColours, const char* noColor);
