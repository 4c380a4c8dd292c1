#include <windows.h>

#include "win32/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    int exitCode = 0;
    if (!StartMainWindow(instance, &exitCode)) return exitCode;
    return RunMessageLoop();
}
