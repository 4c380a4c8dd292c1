#include "settings/settings.h"

#include <cstring>
#include <string>

#include "common/text.h"
#include "seams/message_box.h"
#include "seams/settings_store.h"
#include "settings/settings_table.h"

ChatSettings chatSettings;

const char* const SETTINGS_KEY = "Software\\Velmora\\Norrik";

namespace {

bool terminalSettingsIncluded = false;

bool Stored(const Setting& setting) { return !setting.terminalOnly || terminalSettingsIncluded; }

}  // namespace

void IncludeTerminalSettings() { terminalSettingsIncluded = true; }

void SetDefaultSettings(ChatSettings& settings) {
    std::memset(&settings, 0, sizeof settings);
    for (const Setting& setting : SETTINGS) {
        if (setting.type == SettingType::String) {
            CopyText(setting.textField(settings), setting.readSize, setting.textDefault);
        } else {
            settings.*setting.number = setting.numberDefault;
        }
    }
}

namespace {

// A stored string longer than its read size is cut to fit; a value that is
// not a string at all keeps the default, so the field never holds stray
// bytes without a terminating zero. The save after loading then rewrites it
// with the proper type.
void ReadString(RegistryKey key, const Setting& setting, ChatSettings& settings) {
    RegistryValueType type;
    std::string data;
    if (!RegistryReadString(key, setting.name, &type, &data) || type != RegistryValueType::String) {
        return;
    }
    // The stored bytes need not carry their zero; stop at the first one.
    std::string text(data.c_str(), strnlen(data.data(), data.size()));
    CopyText(setting.textField(settings), setting.readSize, text.c_str());
}

// Only a whole 4-byte DWORD is taken, never a half-written number.
void ReadDword(RegistryKey key, const Setting& setting, ChatSettings& settings) {
    RegistryValueType type;
    size_t size = 0;
    uint32_t value = 0;
    if (!RegistryReadDword(key, setting.name, &type, &size, &value)) return;
    if (type != RegistryValueType::Dword || size != sizeof(uint32_t)) return;
    settings.*setting.number = static_cast<int32_t>(value);
}

}  // namespace

void LoadSettings(ChatSettings& settings) {
    RegistryKey key = nullptr;
    RegistryOpenResult opened = RegistryOpenForRead(SETTINGS_KEY, &key);
    SetDefaultSettings(settings);
    if (opened == RegistryOpenResult::OpenedExisting) {
        for (const Setting& setting : SETTINGS) {
            if (!Stored(setting)) continue;
            if (setting.type == SettingType::String) {
                ReadString(key, setting, settings);
            } else {
                ReadDword(key, setting, settings);
            }
        }
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
    for (const Setting& setting : SETTINGS) {
        if (!Stored(setting)) continue;
        if (setting.type == SettingType::String) {
            RegistryWriteString(key, setting.name, setting.textValue(settings));
        } else {
            RegistryWriteDword(key, setting.name, static_cast<uint32_t>(settings.*setting.number));
        }
    }
    RegistryCloseKey(key);
    return true;
}

const ChatSettings& CurrentSettings() { return chatSettings; }

void LoadCurrentSettings() { LoadSettings(chatSettings); }

bool SaveCurrentSettings() { return SaveSettings(chatSettings); }

void SetCurrentNickname(const char* nickname) { CopyText(chatSettings.Nickname, NICKNAME_READ_SIZE, nickname); }
