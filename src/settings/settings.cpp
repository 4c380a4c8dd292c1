#include "settings/settings.h"

#include <cstring>
#include <string>

#include "common/text.h"
#include "seams/message_box.h"
#include "seams/settings_store.h"

ChatSettings chatSettings;

const char* const SETTINGS_KEY = "Software\\Velmora\\Norrik";

void SetDefaultSettings(ChatSettings& settings) {
    std::memset(&settings, 0, sizeof settings);
    CopyText(settings.Nickname, "YourNickName");
    settings.Trayicon = 1;
    settings.StartInTray = 0;
    settings.IgnorePopup = 0;
    settings.FlashTitle = 1;
    settings.Beep = 1;
    settings.PlaySound = 1;
    settings.Toolbar = 1;
    settings.AlwaysOnTop = 0;
    CopyText(settings.SoundPath, "beep.wav");
    CopyText(settings.QuitMessage, "Leaving");
}

namespace {

// A stored string longer than its read size is cut to fit; a value that is
// not a string at all keeps the default, so the field never holds stray
// bytes without a terminating zero. The save after loading then rewrites it
// with the proper type.
void ReadString(RegistryKey key, const char* name, char* field, size_t readSize) {
    RegistryValueType type;
    std::string data;
    if (!RegistryReadString(key, name, &type, &data) || type != RegistryValueType::String) {
        return;
    }
    // The stored bytes need not carry their zero; stop at the first one.
    std::string text(data.c_str(), strnlen(data.data(), data.size()));
    CopyText(field, readSize, text.c_str());
}

// Only a whole 4-byte DWORD is taken, never a half-written number.
void ReadDword(RegistryKey key, const char* name, int32_t* field) {
    RegistryValueType type;
    size_t size = 0;
    uint32_t value = 0;
    if (!RegistryReadDword(key, name, &type, &size, &value)) return;
    if (type != RegistryValueType::Dword || size != sizeof(uint32_t)) return;
    *field = static_cast<int32_t>(value);
}

}  // namespace

void LoadSettings(ChatSettings& settings) {
    RegistryKey key = nullptr;
    RegistryOpenResult opened = RegistryOpenForRead(SETTINGS_KEY, &key);
    SetDefaultSettings(settings);
    if (opened == RegistryOpenResult::OpenedExisting) {
        ReadString(key, "Nickname", settings.Nickname, NICKNAME_READ_SIZE);
        ReadDword(key, "Trayicon", &settings.Trayicon);
        ReadDword(key, "StartInTray", &settings.StartInTray);
        ReadDword(key, "IgnorePopup", &settings.IgnorePopup);
        ReadDword(key, "FlashTitle", &settings.FlashTitle);
        ReadDword(key, "Beep", &settings.Beep);
        ReadDword(key, "PlaySound", &settings.PlaySound);
        ReadDword(key, "Toolbar", &settings.Toolbar);
        ReadDword(key, "AlwaysOnTop", &settings.AlwaysOnTop);
        ReadString(key, "SoundPath", settings.SoundPath, SOUND_PATH_READ_SIZE);
        ReadString(key, "QuitMessage", settings.QuitMessage, QUIT_MESSAGE_READ_SIZE);
    }
    if (opened != RegistryOpenResult::Failed) RegistryCloseKey(key);
    SaveSettings(settings);
}

bool SaveSettings(const ChatSettings& settings) {
    RegistryKey key = nullptr;
    if (!RegistryOpenForWrite(SETTINGS_KEY, &key)) {
        ShowErrorBox("Unable to open registry! Settings not saved");
        return false;
    }
    RegistryWriteString(key, "Nickname", settings.Nickname);
    RegistryWriteDword(key, "Trayicon", static_cast<uint32_t>(settings.Trayicon));
    RegistryWriteDword(key, "StartInTray", static_cast<uint32_t>(settings.StartInTray));
    RegistryWriteDword(key, "IgnorePopup", static_cast<uint32_t>(settings.IgnorePopup));
    RegistryWriteDword(key, "FlashTitle", static_cast<uint32_t>(settings.FlashTitle));
    RegistryWriteDword(key, "Beep", static_cast<uint32_t>(settings.Beep));
    RegistryWriteDword(key, "PlaySound", static_cast<uint32_t>(settings.PlaySound));
    RegistryWriteDword(key, "Toolbar", static_cast<uint32_t>(settings.Toolbar));
    RegistryWriteDword(key, "AlwaysOnTop", static_cast<uint32_t>(settings.AlwaysOnTop));
    RegistryWriteString(key, "SoundPath", settings.SoundPath);
    RegistryWriteString(key, "QuitMessage", settings.QuitMessage);
    RegistryCloseKey(key);
    return true;
}
