#include "settings/options_page.h"

#include "common/text.h"
#include "settings/settings.h"

OptionsPageValues OptionsPageFromSettings(const ChatSettings& settings) {
    OptionsPageValues values;
    values.nickname = settings.Nickname;
    values.soundPath = settings.SoundPath;
    values.quitMessage = settings.QuitMessage;
    values.trayicon = settings.Trayicon != 0;
    values.ignorePopup = settings.IgnorePopup != 0;
    values.flashTitle = settings.FlashTitle != 0;
    values.playSound = settings.PlaySound != 0;
    values.beep = settings.Beep != 0;
    values.startInTray = settings.StartInTray != 0;
    return values;
}

void ApplyOptionsPage(const OptionsPageValues& values, ChatSettings& settings) {
    CopyText(settings.Nickname, NICKNAME_READ_SIZE, values.nickname.c_str());
    CopyText(settings.SoundPath, SOUND_PATH_READ_SIZE, values.soundPath.c_str());
    CopyText(settings.QuitMessage, QUIT_MESSAGE_READ_SIZE, values.quitMessage.c_str());
    settings.Trayicon = values.trayicon ? 1 : 0;
    settings.IgnorePopup = values.ignorePopup ? 1 : 0;
    settings.FlashTitle = values.flashTitle ? 1 : 0;
    settings.PlaySound = values.playSound ? 1 : 0;
    settings.Beep = values.beep ? 1 : 0;
    settings.StartInTray = values.startInTray ? 1 : 0;
}

StartInTrayBox StartInTrayWhenOpened(const OptionsPageValues& values) {
    return {values.trayicon, values.startInTray};
}

StartInTrayBox StartInTrayAfterTrayiconClick(bool trayiconChecked, bool startInTrayChecked) {
    if (trayiconChecked) return {true, startInTrayChecked};
    return {false, false};
}
