#pragma once
// The shell as the networking core sees it, for the native tests: the
// connection controls, the alerts and the received popup window. Every call
// is recorded in its own list and, with the history appends, in one
// timeline, so a test can check the order across them.
#include <string>
#include <vector>

// "button <id> on|off", "swap main|tray <old> <new> <text>",
// "menu main|tray <id> enabled|grayed"
extern std::vector<std::string> fakeControls;
// "timer start <id> <interval>", "timer stop <id>", "flash invert|restore",
// "beep <frequency> <duration>", "sound <path>", "popup <text>"
extern std::vector<std::string> fakeAlerts;
// Everything above and "history <text>", in the order it happened.
extern std::vector<std::string> fakeTimeline;

void ResetFakeShell();
void RecordTimeline(const std::string& entry);
