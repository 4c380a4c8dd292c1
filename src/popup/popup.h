#pragma once
// Popup message windows: the send window and the received window.

// Opens one new send window addressed to the current peer. Always 1.
int OpenSendPopup();

// Opens one new window showing a popup message that has arrived. Always 1.
int ShowReceivedPopup(const char* text);

// Received popup windows open now: those not yet closed by the user.
int OpenReceivedPopupCount();
