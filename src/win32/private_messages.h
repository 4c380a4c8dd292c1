#pragma once
// The program's own window messages (WM_USER is 0x0400). For the three
// socket messages wParam is the socket or the look-up's task handle, and
// lParam holds the event in its low word and the error in its high word.

constexpr unsigned WM_LISTEN_EVENT = 0x0400 + 1;
constexpr unsigned WM_CONN_EVENT = 0x0400 + 2;
constexpr unsigned WM_RESOLVE_DONE = 0x0400 + 3;
constexpr unsigned WM_TRAY_NOTIFY = 0x0400 + 10;
