#include "app/tray_rules.h"

TrayAction ActionForTrayMessage(uint32_t mouseMessage, bool windowVisible) {
    if (mouseMessage == TRAY_LEFT_DOUBLE_CLICK) return windowVisible ? TrayAction::HideWindow : TrayAction::ShowWindow;
    if (mouseMessage == TRAY_RIGHT_BUTTON_UP) return TrayAction::OpenMenu;
    return TrayAction::None;
}

const char* TrayTip(Privacy privacy) {
    // The tip has said "Norrik 1.00" whatever the version: kept.
    if (privacy == Privacy::Encrypted) return "Norrik 1.00 (encrypted)";
    if (privacy == Privacy::NotEncrypted) return "Norrik 1.00 (NOT encrypted)";
    return "Norrik 1.00";
}
