#include "net/alerts.h"

#include "seams/alerts.h"
#include "seams/timer.h"

int32_t flashing = 0;
int32_t windowActive = 1;

void StartTitleFlash(unsigned interval) {
    // Restarting a running timer would stretch the current half period, and
    // a second timer would invert the title bar twice per tick.
    if (flashing != 1) {
        flashing = 1;
        StartFlashTimer(FLASH_TIMER_ID, interval);
    }
}

void StopTitleFlash() {
    if (flashing != 0) {
        flashing = 0;
        StopFlashTimer(FLASH_TIMER_ID);
        // The last tick may have left the title bar inverted.
        FlashTitleBar(false);
    }
}

void SetWindowActive(bool active) {
    windowActive = active ? 1 : 0;
    if (active) StopTitleFlash();
}

void FlashTick() { FlashTitleBar(true); }
