// Alerts in a terminal: the bell, and a mark in the window title while a
// message waits unseen. There is no timer: the mark stays until the
// terminal has the focus again, so an idle program wakes for nothing.
#include <chrono>

#include "term/state.h"
#include "seams/alerts.h"
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

void SoundTone(unsigned, unsigned) {
    ++term.bells;
    term.changed = true;
}

// The popup sound: there is no sound file in a terminal, so it rings the
// bell once, when the core would start the sound (PlaySound, and once for
// a burst of popups).
void PlayWaveFile(const char*) {
    ++term.bells;
    term.changed = true;
}

uint32_t MillisecondsNow() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
