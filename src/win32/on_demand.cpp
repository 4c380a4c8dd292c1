#include "win32/on_demand.h"

// mmsystem.h defines PlaySound as a macro, which would rename the settings
// record's field of that name: this file must never see the record.
#include <mmsystem.h>

#include <cstring>

#include "common/text.h"
#include "seams/alerts.h"

namespace {

// By its full path in the system folder, so that a file of the same name
// beside the program or in the current folder is never loaded instead.
// It stays loaded for the rest of the run.
HMODULE SystemLibrary(const char* name) {
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    // A path cut to fit would name another file: then none is loaded.
    if (length == 0 || length + 1 + std::strlen(name) >= MAX_PATH) return nullptr;
    AppendText(path, "\\");
    AppendText(path, name);
    return LoadLibraryA(path);
}

template <typename Function>
Function Entry(const char* library, const char* name) {
    HMODULE module = SystemLibrary(library);
    if (!module) return nullptr;
    // void (*)() first: the one type GCC lets any function pointer become.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

BOOL NotifyIcon(DWORD message, NOTIFYICONDATAA* icon) {
    static const auto call = Entry<decltype(&Shell_NotifyIconA)>("shell32.dll", "Shell_NotifyIconA");
    return call ? call(message, icon) : FALSE;
}

void OpenWithShell(const char* target) {
    static const auto call = Entry<decltype(&ShellExecuteA)>("shell32.dll", "ShellExecuteA");
    if (call) call(nullptr, "open", target, nullptr, nullptr, SW_SHOWDEFAULT);
}

BOOL AskForFileToOpen(OPENFILENAMEA* dialog) {
    static const auto call = Entry<decltype(&GetOpenFileNameA)>("comdlg32.dll", "GetOpenFileNameA");
    return call ? call(dialog) : FALSE;
}

void PlayWaveFile(const char* path) {
    static const auto call = Entry<decltype(&sndPlaySoundA)>("winmm.dll", "sndPlaySoundA");
    if (call) call(path, SND_ASYNC);
}
