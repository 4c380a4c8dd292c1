#include "app/tray_rules.h"

TrayAction ActionForTrayMessage(uint32_t mouseMessage, bool windowVisible) {
    if (mouseMessage == TRAY_LEFT_DOUBLE_CLICK) return windowVisible ? TrayAction::HideWindow : TrayAction::ShowWindow;
    if (mouseMessage == TRAY_RIGHT_BUTTON_UP) return TrayAction::OpenMenu;
    return TrayAction::None;
}
