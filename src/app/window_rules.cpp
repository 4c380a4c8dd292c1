#include "app/window_rules.h"

#include "settings/settings.h"

MainLayout ComputeLayout(uint16_t w, uint16_t h, int32_t toolbarSetting, int toolbarBottom) {
    MainLayout layout{};
    const int width = w;
    const int height = h;
    layout.history.x = 0;
    layout.history.width = width;
    if (toolbarSetting == 1) {
        layout.history.y = toolbarBottom + CHILD_GAP;
        layout.history.height = height - toolbarBottom - CHILD_GAP - CHILD_GAP - INPUT_LINE_HEIGHT;
    } else {
        layout.history.y = 0;
        layout.history.height = height - CHILD_GAP - INPUT_LINE_HEIGHT;
    }
    if (layout.history.height < 0) layout.history.height = 0;
    layout.input.x = 0;
    layout.input.y = height - INPUT_LINE_HEIGHT;
    layout.input.width = width;
    layout.input.height = INPUT_LINE_HEIGHT;
    return layout;
}

bool StartsHidden(const ChatSettings& settings, bool trayIconAdded) {
    return settings.Trayicon == 1 && settings.StartInTray == 1 && trayIconAdded;
}
