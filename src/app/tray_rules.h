#pragma once
// What a mouse message over the notification-area icon does.
#include <cstdint>

#include "net/secure.h"

enum class TrayAction { None, HideWindow, ShowWindow, OpenMenu };

constexpr uint32_t TRAY_LEFT_DOUBLE_CLICK = 0x0203;  // WM_LBUTTONDBLCLK
constexpr uint32_t TRAY_RIGHT_BUTTON_UP = 0x0205;    // WM_RBUTTONUP

// A minimised window counts as visible: a double-click hides it.
TrayAction ActionForTrayMessage(uint32_t mouseMessage, bool windowVisible);

// The icon's tip: the program, and once a conversation is settled whether
// it is encrypted, where the window's own texts are fixed.
const char* TrayTip(Privacy privacy);
