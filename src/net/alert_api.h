#pragma once
// What the alerts need of the platform: the flash timer of the main window,
// its title bar, the speaker and the wave player. The Win32 build forwards to
// SetTimer, KillTimer, FlashWindow, Beep (on a thread of its own) and
// sndPlaySound; the native tests record the calls in order.
#include <cstdint>

// SetTimer on the main window with id, the interval in milliseconds and a
// callback that runs FlashTick (net/alerts.h) on every tick.
void StartFlashTimer(unsigned id, unsigned interval);
void StopFlashTimer(unsigned id);

// FlashWindow(main window, invert): true inverts the title bar, false puts
// it back to its normal state.
void FlashTitleBar(bool invert);

// Beep with the tone's frequency and duration, without holding the caller;
// while a tone sounds, a further one is dropped.
void SoundTone(unsigned frequency, unsigned duration);

// sndPlaySound(path, SND_ASYNC): starts playing and returns at once; whether
// the file could be played is not reported.
void PlayWaveFile(const char* path);

// Milliseconds since some fixed moment (GetTickCount): only differences count.
uint32_t MillisecondsNow();
