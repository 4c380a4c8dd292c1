#pragma once
// Alerts raised by arriving messages: the title-bar flash.
#include <cstdint>

constexpr unsigned FLASH_TIMER_ID = 100;
constexpr unsigned FLASH_INTERVAL = 500;

// 1 while the flash timer runs.
extern int32_t flashing;

// 1 while the main window is the active window; 1 also before the first
// activation message, so nothing flashes a window that was never shown.
extern int32_t windowActive;

// Starts the flash timer with the interval unless it already runs; a timer
// that runs keeps its interval.
void StartTitleFlash(unsigned interval);

// Stops the timer and restores the title bar, if the timer runs.
void StopTitleFlash();

// The main window (or the terminal) gains or loses the focus: an active
// window takes no flash, and one that becomes active stops its flashing.
void SetWindowActive(bool active);

// One tick of the flash timer: inverts the title bar.
void FlashTick();
