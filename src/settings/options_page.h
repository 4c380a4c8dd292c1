#pragma once
// What the Options page shows and what it stores, without the dialog.
#include <string>

struct ChatSettings;

struct OptionsPageValues {
    std::string nickname;
    std::string soundPath;
    std::string quitMessage;
    bool trayicon;
    bool ignorePopup;
    bool flashTitle;
    bool playSound;
    bool beep;
    bool startInTray;
};

// Boxes are checked for any non-zero value.
OptionsPageValues OptionsPageFromSettings(const ChatSettings& settings);

// The texts are cut to 29, 149 and 99 characters; the boxes become exactly
// 0 or 1. Toolbar and AlwaysOnTop are not on the page and stay as they are.
void ApplyOptionsPage(const OptionsPageValues& values, ChatSettings& settings);

// "Start minimized to tray" can only be chosen together with the icon.
struct StartInTrayBox {
    bool enabled;
    bool checked;
};
// When the page opens: disabled without the icon, its check left as stored.
StartInTrayBox StartInTrayWhenOpened(const OptionsPageValues& values);
// After a click on "Use trayicon": turning the icon off also clears it;
// turning it on enables it without checking it.
StartInTrayBox StartInTrayAfterTrayiconClick(bool trayiconChecked, bool startInTrayChecked);
