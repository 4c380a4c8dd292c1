#pragma once
// The user's preferences, kept under HKCU\Software\Velmora\Norrik (the
// terminal program: its settings.ini). What each one is called there, its
// type, default, read size and Options field: settings/settings_table.h.
#include <cstddef>
#include <cstdint>

// Field widths. The read sizes are what the registry may fill; the rest of
// each array is reserve that keeps the record's layout.
constexpr size_t NICKNAME_FIELD_SIZE = 32;
constexpr size_t NICKNAME_READ_SIZE = 30;       // 29 characters and the zero
constexpr size_t SOUND_PATH_FIELD_SIZE = 150;
constexpr size_t SOUND_PATH_READ_SIZE = 150;    // 149 characters and the zero
constexpr size_t QUIT_MESSAGE_FIELD_SIZE = 102;
constexpr size_t QUIT_MESSAGE_READ_SIZE = 100;  // 99 characters and the zero

// The terminal's code page for text on the wire: Windows-1252, what the
// Windows program sends on a Western system.
constexpr int32_t DEFAULT_CODE_PAGE = 1252;

// Field names follow the registry values that hold them. A new setting is
// a field here and a row in SETTINGS.
struct ChatSettings {
    char Nickname[NICKNAME_FIELD_SIZE];
    int32_t Trayicon;
    int32_t StartInTray;
    int32_t IgnorePopup;
    int32_t FlashTitle;
    int32_t Beep;
    int32_t PlaySound;
    int32_t Toolbar;
    int32_t AlwaysOnTop;
    char SoundPath[SOUND_PATH_FIELD_SIZE];
    char QuitMessage[QUIT_MESSAGE_FIELD_SIZE];
    // 1: a peer that cannot encrypt is refused.
    int32_t RequireEncryption;
    // The terminal's own; never in the registry.
    int32_t CodePage;
    int32_t Timestamps;
};

extern ChatSettings chatSettings;

extern const char* const SETTINGS_KEY;  // "Software\Velmora\Norrik" under HKCU

void SetDefaultSettings(ChatSettings& settings);

// Defaults, overwritten by what the key holds when it already existed, then
// written back whole so the key always holds every value.
void LoadSettings(ChatSettings& settings);

// The terminal program keeps settings of its own beside the shared ones,
// which the Windows program neither reads nor writes. It calls this once,
// before it loads them; from then on loading and saving include them.
void IncludeTerminalSettings();

// Writes every value, in the table's order. False (after the user has been
// told) when the key cannot be opened for writing; nothing is written then.
bool SaveSettings(const ChatSettings& settings);

// The program's own settings, for the front ends, which never touch the
// record itself: read them, load them from the store (and write them back
// whole), save them.
const ChatSettings& CurrentSettings();
void LoadCurrentSettings();
bool SaveCurrentSettings();
// A nickname for this run only (norrik send --nick), cut to its read size.
void SetCurrentNickname(const char* nickname);
