#include "app/window_rules.h"

#include "settings/settings.h"

int ScaledForDpi(int length, int dpi) {
    const long long scaled = static_cast<long long>(length) * dpi;
    return static_cast<int>((scaled + (scaled >= 0 ? DEFAULT_DPI / 2 : -DEFAULT_DPI / 2)) / DEFAULT_DPI);
}

int ToolbarImageSize(int dpi) {
    const int wanted = ScaledForDpi(16, dpi);
    return wanted >= 32 ? 32 : wanted >= 24 ? 24 : 16;
}

MainLayout ComputeLayout(uint16_t w, uint16_t h, int32_t toolbarSetting, int toolbarBottom, int dpi) {
    MainLayout layout{};
    const int width = w;
    const int height = h;
    const int gap = ScaledForDpi(CHILD_GAP, dpi);
    const int inputHeight = ScaledForDpi(INPUT_LINE_HEIGHT, dpi);
    layout.history.x = 0;
    layout.history.width = width;
    if (toolbarSetting == 1) {
        layout.history.y = toolbarBottom + gap;
        layout.history.height = height - toolbarBottom - gap - gap - inputHeight;
    } else {
        layout.history.y = 0;
        layout.history.height = height - gap - inputHeight;
    }
    if (layout.history.height < 0) layout.history.height = 0;
    layout.input.x = 0;
    layout.input.y = height - inputHeight;
    layout.input.width = width;
    layout.input.height = inputHeight;
    return layout;
}

bool StartsHidden(const ChatSettings& settings, bool trayIconAdded) {
    return settings.Trayicon == 1 && settings.StartInTray == 1 && trayIconAdded;
}
