#pragma once
// Popup decisions that need no window: the captions and what Send does.
#include <cstddef>

constexpr int POPUP_EDIT_LIMIT = 500;
constexpr size_t POPUP_READ_SIZE = POPUP_EDIT_LIMIT + 1;  // Send takes all the field holds
constexpr size_t POPUP_CAPTION_SIZE = 64;

// "Send popup message to " / "Popup message from " and the peer's name as it
// stands now; the name is text, never a format.
void SendPopupCaption(char* caption, size_t size, const char* peerName);
void ReceivedPopupCaption(char* caption, size_t size, const char* peerName);

// Send of the send window: false for an empty text (nothing is sent, the
// window stays open with its box); otherwise the popup goes to the transfer
// engine, which reports any refusal itself, and the window closes.
bool SendPopupText(const char* text);
