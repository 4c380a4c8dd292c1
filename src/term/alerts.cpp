// Alerts in a terminal: the bell, at most once a second, and a mark in the
// window title while a message waits unseen. There is no timer: the mark stays until the
// terminal has the focus again, so an idle program wakes for nothing.
#include <chrono>

#include "seams/alerts.h"
#include "term/alerts.h"
#include "term/state.h"
#include "seams/timer.h"

void StartFlashTimer(unsigned, unsigned) {
    term.titleMarked = true;
    term.changed = true;
}

void StopFlashTimer(unsigned) {
    term.titleMarked = false;
    term.changed = true;
}

void FlashTitleBar(bool) {}

bool BellDue(uint32_t now, BellRecord& bell) {
    if (bell.rung && now - bell.lastAt < BELL_QUIET_MS) return false;
    bell.rung = true;
    bell.lastAt = now;
    return true;
}

namespace {

void RingBell() {
    if (!BellDue(MillisecondsNow(), term.bell)) return;
    ++term.bells;
    term.changed = true;
}

}  // namespace

// The chat line's beep: a flood of lines would ring it every frame.
void SoundTone(unsigned, unsigned) { RingBell(); }

// The popup sound: there is no sound file in a terminal, so it rings the
// bell, when the core would start the sound (PlaySound, and once for a
// burst of popups).
void PlayWaveFile(const char*) { RingBell(); }

uint32_t MillisecondsNow() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
