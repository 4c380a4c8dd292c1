#pragma once
// The windows (or boxes) that show popup messages which have arrived.

// Opens one new window showing a popup message that has arrived, with the
// caption the core made ("Popup message from " and the name on arrival).
void ShowReceivedPopup(const char* caption, const char* text);

// Received popup windows open now: those not yet closed by the user.
int OpenReceivedPopupCount();

// Told, when a front end sets it, of each popup that IgnorePopup drops,
// with the sender's name: the terminal says so in its history. The Windows
// program leaves it unset, and there such a popup leaves no trace at all.
extern void (*PopupDropped)(const char* peerName);
