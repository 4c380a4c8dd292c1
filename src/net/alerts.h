#pragma once
// Alerts raised by arriving messages: the title-bar flash.
#include <cstdint>

constexpr unsigned FLASH_TIMER_ID = 100;
constexpr unsigned FLASH_INTERVAL = 500;

// 1 while the flash timer runs.
extern int32_t flashing;

// Starts the flash timer with the interval unless it already runs; a timer
// that runs keeps its interval. Always true.
bool StartTitleFlash(unsigned interval);

// Stops the timer and restores the title bar, if the timer runs. Always true.
bool StopTitleFlash();

// One tick of the flash timer: inverts the title bar.
void FlashTick();
