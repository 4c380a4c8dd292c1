#pragma once
// Decisions about the main window that need no window to be made.
#include <cstdint>

struct ChatSettings;

constexpr int INPUT_LINE_HEIGHT = 23;
constexpr int CHILD_GAP = 2;

struct ChildRect {
    int x;
    int y;
    int width;
    int height;
};

struct MainLayout {
    ChildRect history;
    ChildRect input;
};

// Places the history pane and the input line in a client area of w by h.
// It is the Toolbar setting that decides, not whether a toolbar exists: a
// toolbar that failed to build still leaves its room empty. Heights that
// would come out negative on tiny client areas are clamped to 0.
MainLayout ComputeLayout(uint16_t w, uint16_t h, int32_t toolbarSetting, int toolbarBottom);

// The window stays hidden at start only with the tray icon on and asked to
// start there; StartInTray alone never hides it. An icon that could not be
// added would leave a hidden window with no way back, so then it is shown.
bool StartsHidden(const ChatSettings& settings, bool trayIconAdded);
