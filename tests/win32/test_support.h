#pragma once
// Helpers for the in-process Win32 tests: a private HKCU, the real main
// window started and stopped through the program's own start-up code, a
// bounded message pump, and a watcher that closes message boxes so that an
// unexpected one fails a test instead of hanging it.
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// Gives this process a fresh, empty HKEY_CURRENT_USER for its lifetime.
class PrivateRegistry {
public:
    PrivateRegistry();
    ~PrivateRegistry();
    PrivateRegistry(const PrivateRegistry&) = delete;
    PrivateRegistry& operator=(const PrivateRegistry&) = delete;

private:
    HKEY root_ = nullptr;
    std::string path_;
};

// Dispatches this thread's messages for about the given time.
void PumpMessages(DWORD milliseconds);

// Dispatches until WM_QUIT or the time is up; true and the exit code when
// WM_QUIT came.
bool PumpUntilQuit(DWORD milliseconds, int* exitCode);


// Watches, from a thread of its own, for a dialog of this process with the
// given caption, lets onFound look at it, then posts it the closing
// command. For modal dialogs, which run their own loop inside the test's
// message pump (and so answer the watcher's WM_GETTEXT meanwhile).
class DialogCloser {
public:
    DialogCloser(const char* caption, int closeCommand, std::function<void(HWND)> onFound = {});
    ~DialogCloser();
    std::atomic<int> seen{0};

private:
    std::function<void(HWND)> onFound_;
    static DWORD WINAPI Run(void* self);
    std::string caption_;
    int closeCommand_;
    HANDLE thread_ = nullptr;
    HANDLE stop_ = nullptr;
};

// Closes every message box of this process (the program's all have the
// caption "Error") as it appears, and keeps its text.
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    std::vector<std::string> Texts();

private:
    std::mutex lock_;  // before closer_: its thread uses it until closer_ is gone
    std::vector<std::string> texts_;
    DialogCloser closer_;
};

// Writes a value into the private HKCU\Software\Velmora\Norrik.
void StoreDword(const char* name, DWORD value);
void StoreString(const char* name, const char* text);
bool ReadStoredDword(const char* name, DWORD* value);
std::string ReadStoredString(const char* name);
int CountStoredValues();

std::string WindowText(HWND window);
RECT ChildRectInParent(HWND child);

// The real main window of the program, started the way WinMain starts it.
class ProgramWindow {
public:
    ProgramWindow();   // starts it and pumps briefly
    ~ProgramWindow();  // destroys it (if still there) and unregisters the class
    bool started = false;
    int startExitCode = -1;
    // Closes the window as the close box does and pumps until WM_QUIT;
    // returns its exit code, or -1 when none came in time.
    int CloseAndWaitForQuit();
};
