#pragma once
// The only way anything writes to the conversation view. Texts land at the
// end exactly as given: no line end is added and none is translated, so a
// text without "\r\n" leaves the next append on the same line.

int AppendHistory(const char* text);
int ClearHistory();
