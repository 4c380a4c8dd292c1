#include "win32/test_support.h"

#include <cstdio>

#include "app/app_state.h"
#include "app/win32/main_window.h"
#include "console/win32/console_win32.h"
#include "settings/settings.h"

PrivateRegistry::PrivateRegistry() {
    char name[96];
    std::snprintf(name, sizeof name, "Software\\NorrikTests\\%lu-%lu", GetCurrentProcessId(), GetTickCount());
    path_ = name;
    RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root_, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, root_);
}

PrivateRegistry::~PrivateRegistry() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(root_);
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
}

void PumpMessages(DWORD milliseconds) {
    DWORD start = GetTickCount();
    MSG message;
    do {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));  // leave it for the caller
                return;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < milliseconds);
}

bool PumpUntilQuit(DWORD milliseconds, int* exitCode) {
    DWORD start = GetTickCount();
    MSG message;
    do {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                *exitCode = static_cast<int>(message.wParam);
                return true;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < milliseconds);
    return false;
}

namespace {

HKEY OpenSettingsKey() {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

}  // namespace

void StoreDword(const char* name, DWORD value) {
    HKEY key = OpenSettingsKey();
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

void StoreString(const char* name, const char* text) {
    HKEY key = OpenSettingsKey();
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(strlen(text) + 1));
    RegCloseKey(key);
}

bool ReadStoredDword(const char* name, DWORD* value) {
    HKEY key = OpenSettingsKey();
    DWORD type = 0, size = sizeof *value;
    LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_DWORD && size == 4;
}

std::string ReadStoredString(const char* name) {
    HKEY key = OpenSettingsKey();
    char text[512] = "";
    DWORD type = 0, size = sizeof text - 1;
    LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ) return "<missing>";
    return text;
}

int CountStoredValues() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
    DWORD count = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(key);
    return static_cast<int>(count);
}

std::string WindowText(HWND window) {
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(window, &text[0], length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

RECT ChildRectInParent(HWND child) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

ProgramWindow::ProgramWindow() {
    ResetCoreState();
    started = StartMainWindow(GetModuleHandleA(nullptr), &startExitCode);
    PumpMessages(100);
}

ProgramWindow::~ProgramWindow() {
    if (mainWindow && IsWindow(mainWindow)) {
        DestroyWindow(mainWindow);
        int code = 0;
        PumpUntilQuit(2000, &code);
    }
    mainWindow = nullptr;
    historyPane = nullptr;
    inputLine = nullptr;
    UnregisterClassA(MAIN_WINDOW_CLASS, GetModuleHandleA(nullptr));
}

int ProgramWindow::CloseAndWaitForQuit() {
    PostMessageA(mainWindow, WM_CLOSE, 0, 0);
    int code = -1;
    if (!PumpUntilQuit(5000, &code)) return -1;
    return code;
}

namespace {

struct DialogSearch {
    DWORD process;
    std::string caption;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM context) {
    DialogSearch* search = reinterpret_cast<DialogSearch*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[32] = "";
    GetClassNameA(window, className, sizeof className);
    if (process == search->process && std::string(className) == "#32770" && IsWindowVisible(window) &&
        WindowText(window) == search->caption) {
        search->found.push_back(window);
    }
    return TRUE;
}

}  // namespace

DialogCloser::DialogCloser(const char* caption, int closeCommand, std::function<void(HWND)> onFound)
    : onFound_(std::move(onFound)), caption_(caption), closeCommand_(closeCommand) {
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

DialogCloser::~DialogCloser() {
    SetEvent(stop_);
    WaitForSingleObject(thread_, 5000);
    CloseHandle(thread_);
    CloseHandle(stop_);
}

DWORD WINAPI DialogCloser::Run(void* self) {
    DialogCloser* closer = static_cast<DialogCloser*>(self);
    while (WaitForSingleObject(closer->stop_, 30) == WAIT_TIMEOUT) {
        DialogSearch search{GetCurrentProcessId(), closer->caption_, {}};
        EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
        for (HWND dialog : search.found) {
            if (closer->onFound_) closer->onFound_(dialog);
            closer->seen.fetch_add(1);
            PostMessageA(dialog, WM_COMMAND, static_cast<WPARAM>(closer->closeCommand_), 0);
            Sleep(100);
        }
    }
    return 0;
}

MessageBoxWatcher::MessageBoxWatcher()
    : closer_("Error", IDOK, [this](HWND box) {
          // A message box keeps its text in a static control of identifier 0xFFFF.
          std::string text = WindowText(GetDlgItem(box, 0xFFFF));
          std::lock_guard<std::mutex> guard(lock_);
          texts_.push_back(text);
      }) {}

std::vector<std::string> MessageBoxWatcher::Texts() {
    std::lock_guard<std::mutex> guard(lock_);
    return texts_;
}
