// The alerts' timer, the connection manager's greeting timer, the title
// bar and the speaker, forwarded as they are (the wave player is with the
// other calls into libraries loaded on first use, in on_demand.cpp).
#include <windows.h>

#include <atomic>

#include "win32/main_window.h"
#include "net/alerts.h"
#include "net/connection.h"
#include "seams/alerts.h"
#include "seams/timer.h"

namespace {

// Beside the flash timer's id (net/alerts.h) on the main window.
constexpr UINT_PTR GREETING_TIMER_ID = 101;

void CALLBACK FlashTimerProc(HWND, UINT, UINT_PTR, DWORD) { FlashTick(); }

void CALLBACK GreetingTimerProc(HWND, UINT, UINT_PTR, DWORD) { OnGreetingTimer(); }

// Beep holds its caller for the whole tone (a second for a chat line), and
// the window would answer nothing meanwhile: a peer sending ten lines would
// freeze it for ten seconds. The tone sounds on a thread of its own, and a
// line that arrives while one sounds adds none.
std::atomic<bool> toneSounding{false};

struct Tone {
    DWORD frequency;
    DWORD duration;
};

DWORD WINAPI SoundToneThread(LPVOID parameter) {
    Tone* tone = static_cast<Tone*>(parameter);
    Beep(tone->frequency, tone->duration);
    delete tone;
    toneSounding = false;
    return 0;
}

}  // namespace

void StartFlashTimer(unsigned id, unsigned interval) { SetTimer(shell.mainWindow, id, interval, FlashTimerProc); }

void StopFlashTimer(unsigned id) { KillTimer(shell.mainWindow, id); }

void StartGreetingTimer(unsigned interval) {
    SetTimer(shell.mainWindow, GREETING_TIMER_ID, interval, GreetingTimerProc);
}

void StopGreetingTimer() { KillTimer(shell.mainWindow, GREETING_TIMER_ID); }

void FlashTitleBar(bool invert) { FlashWindow(shell.mainWindow, invert ? TRUE : FALSE); }

void SoundTone(unsigned frequency, unsigned duration) {
    if (toneSounding.exchange(true)) return;
    Tone* tone = new Tone{frequency, duration};
    HANDLE thread = CreateThread(nullptr, 0, SoundToneThread, tone, 0, nullptr);
    if (!thread) {
        delete tone;
        toneSounding = false;
        return;
    }
    CloseHandle(thread);
}

uint32_t MillisecondsNow() { return GetTickCount(); }
