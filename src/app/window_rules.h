#pragma once
// Decisions about the main window that need no window to be made.
#include <cstdint>

struct ChatSettings;

// Lengths in pixels at 96 DPI, 100 % scaling; at any other DPI they are
// scaled with ScaledForDpi.
constexpr int DEFAULT_DPI = 96;
constexpr int INPUT_LINE_HEIGHT = 23;
constexpr int CHILD_GAP = 2;
constexpr int MAIN_WINDOW_WIDTH = 400;
constexpr int MAIN_WINDOW_HEIGHT = 300;
constexpr int SMALL_ICON_SIZE = 16;
constexpr int LARGE_ICON_SIZE = 32;

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

// A length of 96 DPI at dpi, rounded to the nearest pixel as Windows
// scales its own metrics (MulDiv): 23 at 144 DPI is 35.
int ScaledForDpi(int length, int dpi);

// The toolbar strips are drawn at 16, 24 and 32 pixels: the largest that
// is not larger than 16 scaled, so that images are never stretched.
int ToolbarImageSize(int dpi);

// Places the history pane and the input line in a client area of w by h,
// at dpi.
// It is the Toolbar setting that decides, not whether a toolbar exists: a
// toolbar that failed to build still leaves its room empty. Heights that
// would come out negative on tiny client areas are clamped to 0.
MainLayout ComputeLayout(uint16_t w, uint16_t h, int32_t toolbarSetting, int toolbarBottom, int dpi);

// The window stays hidden at start only with the tray icon on and asked to
// start there; StartInTray alone never hides it. An icon that could not be
// added would leave a hidden window with no way back, so then it is shown.
bool StartsHidden(const ChatSettings& settings, bool trayIconAdded);
