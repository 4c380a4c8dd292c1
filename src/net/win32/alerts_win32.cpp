// The alerts' timer, title bar, speaker and wave player, forwarded as they
// are. This file must not see the settings record: mmsystem.h defines
// PlaySound as a macro, which would rename the field of the same name.
#include <windows.h>
#include <mmsystem.h>

#include "app/win32/main_window.h"
#include "net/alert_api.h"
#include "net/alerts.h"

namespace {

void CALLBACK FlashTimerProc(HWND, UINT, UINT_PTR, DWORD) { FlashTick(); }

}  // namespace

void StartFlashTimer(unsigned id, unsigned interval) { SetTimer(mainWindow, id, interval, FlashTimerProc); }

void StopFlashTimer(unsigned id) { KillTimer(mainWindow, id); }

void FlashTitleBar(bool invert) { FlashWindow(mainWindow, invert ? TRUE : FALSE); }

void SoundTone(unsigned frequency, unsigned duration) { Beep(frequency, duration); }

void PlayWaveFile(const char* path) { sndPlaySoundA(path, SND_ASYNC); }
