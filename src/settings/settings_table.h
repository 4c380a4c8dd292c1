#pragma once
// The one list of the settings. Defaults, loading, saving, the Options page
// and the tests all follow it: a new setting is a row here and its field in
// ChatSettings (and its control in the dialog when it is on the page).
#include <cstddef>
#include <cstdint>
#include <utility>

#include "res/resource.h"
#include "settings/settings.h"

enum class SettingType { String, Dword };

// Not on the Options page: changed elsewhere (the View menu) or nowhere.
constexpr int NOT_ON_PAGE = 0;

struct Setting {
    const char* name;  // the registry value and the settings.ini key
    SettingType type;
    // Where it lives in ChatSettings: a string's array, a DWORD's number.
    char* (*textField)(ChatSettings&);
    const char* (*textValue)(const ChatSettings&);
    int32_t ChatSettings::*number;
    size_t readSize;          // a string's longest read, its zero included
    const char* textDefault;  // a string's default
    int32_t numberDefault;    // a DWORD's default
    int control;              // its field on the Options page (IDC_*), or NOT_ON_PAGE
    bool terminalOnly;        // stored by the terminal program only (IncludeTerminalSettings)
};

namespace settings_rows {

template <auto Field>
char* FieldOfText(ChatSettings& settings) { return settings.*Field; }
template <auto Field>
const char* ValueOfText(const ChatSettings& settings) { return settings.*Field; }

template <auto Field, size_t ReadSize>
constexpr Setting Text(const char* name, const char* byDefault, int control) {
    static_assert(ReadSize <= sizeof(std::declval<ChatSettings&>().*Field), "a read fits its field");
    return {name, SettingType::String, &FieldOfText<Field>, &ValueOfText<Field>, nullptr,
            ReadSize, byDefault, 0, control, false};
}

constexpr Setting Dword(const char* name, int32_t ChatSettings::*field, int32_t byDefault, int control) {
    return {name, SettingType::Dword, nullptr, nullptr, field, 0, nullptr, byDefault, control, false};
}

constexpr Setting TerminalDword(const char* name, int32_t ChatSettings::*field, int32_t byDefault) {
    return {name, SettingType::Dword, nullptr, nullptr, field, 0, nullptr, byDefault, NOT_ON_PAGE, true};
}

}  // namespace settings_rows

// In the order they are written.
inline constexpr Setting SETTINGS[] = {
    settings_rows::Text<&ChatSettings::Nickname, NICKNAME_READ_SIZE>("Nickname", "YourNickName", IDC_NICKNAME),
    settings_rows::Dword("Trayicon", &ChatSettings::Trayicon, 1, IDC_TRAYICON),
    settings_rows::Dword("StartInTray", &ChatSettings::StartInTray, 0, IDC_STARTINTRAY),
    settings_rows::Dword("IgnorePopup", &ChatSettings::IgnorePopup, 0, IDC_IGNOREPOPUP),
    settings_rows::Dword("FlashTitle", &ChatSettings::FlashTitle, 1, IDC_FLASHTITLE),
    settings_rows::Dword("Beep", &ChatSettings::Beep, 1, IDC_BEEP),
    settings_rows::Dword("PlaySound", &ChatSettings::PlaySound, 1, IDC_PLAYSOUND),
    settings_rows::Dword("Toolbar", &ChatSettings::Toolbar, 1, NOT_ON_PAGE),
    settings_rows::Dword("AlwaysOnTop", &ChatSettings::AlwaysOnTop, 0, NOT_ON_PAGE),
    settings_rows::Text<&ChatSettings::SoundPath, SOUND_PATH_READ_SIZE>("SoundPath", "beep.wav", IDC_SOUNDPATH),
    settings_rows::Text<&ChatSettings::QuitMessage, QUIT_MESSAGE_READ_SIZE>("QuitMessage", "Leaving",
                                                                            IDC_QUITMESSAGE),
    settings_rows::Dword("RequireEncryption", &ChatSettings::RequireEncryption, 0, IDC_REQUIREENCRYPTION),
    settings_rows::TerminalDword("CodePage", &ChatSettings::CodePage, DEFAULT_CODE_PAGE),
    settings_rows::TerminalDword("Timestamps", &ChatSettings::Timestamps, 1),
};
