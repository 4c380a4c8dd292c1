#pragma once
// Popup decisions that need no window: the captions and what Send does.
#include <cstddef>
#include <cstdint>

constexpr int POPUP_EDIT_LIMIT = 500;
constexpr size_t POPUP_READ_SIZE = POPUP_EDIT_LIMIT + 1;  // Send takes all the field holds
constexpr size_t POPUP_CAPTION_SIZE = 64;

// Every received popup window costs the process a few of the 10,000 USER
// handles Windows allows it, and the user has to close each one: a peer
// that sends thousands would bury the desktop and leave the program unable
// to open even a message box. Past this many open windows a popup arrives
// as a history line instead.
constexpr int MAX_OPEN_RECEIVED_POPUPS = 20;
// A burst of popups starts their sound once, not again for each of them.
constexpr uint32_t POPUP_SOUND_QUIET_MS = 1000;

// "Send popup message to " / "Popup message from " and the peer's name as it
// stands now; the name is text, never a format.
void SendPopupCaption(char* caption, size_t size, const char* peerName);
void ReceivedPopupCaption(char* caption, size_t size, const char* peerName);

// Whether a popup arriving at now (milliseconds, any origin, wrapping) starts
// the popup sound: not within POPUP_SOUND_QUIET_MS of the last start.
bool PopupSoundDue(uint32_t now);
// Forgets the last start, as at program start.
void ResetPopupSound();
