#pragma once
// The history lines the terminal writes for popups (popups.cpp).
#include <functional>
#include <string>

// From now on, a popup that IgnorePopup drops is said in the history.
void TellDroppedPopups();

// Runs send, which sends text (in the wire's code page) as a popup and is
// false when it did not even try; once the core took it without a word of
// refusal, the history says it was sent.
void SendPopupAndTrace(const std::string& text, const std::function<bool()>& send);
