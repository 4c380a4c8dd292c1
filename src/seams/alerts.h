#pragma once
// What the alerts need of the platform: the title, the speaker and the wave
// player. The Win32 front end forwards to FlashWindow, Beep (on a thread of
// its own) and sndPlaySound; the native tests record what was asked.

// FlashWindow(main window, invert): true inverts the title bar, false puts
// it back to its normal state.
void FlashTitleBar(bool invert);

// Beep with the tone's frequency and duration, without holding the caller;
// while a tone sounds, a further one is dropped.
void SoundTone(unsigned frequency, unsigned duration);

// sndPlaySound(path, SND_ASYNC): starts playing and returns at once; whether
// the file could be played is not reported.
void PlayWaveFile(const char* path);
