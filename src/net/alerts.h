#pragma once
// Alerts raised by arriving messages: the title-bar flash.
#include <cstdint>

constexpr unsigned FLASH_TIMER_ID = 100;
constexpr unsigned FLASH_INTERVAL = 500;

// 1 while the flash timer runs.
extern int32_t flashing;

bool StopTitleFlash();
