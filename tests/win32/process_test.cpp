// The real norrik.exe, started as a process of its own the way a user starts it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "settings/settings.h"
#include "win32/test_support.h"

namespace {

std::string ProgramPath() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string text = path;
    return text.substr(0, text.find_last_of('\\') + 1) + "norrik.exe";
}

// The main window of the given process, waited for up to the given time.
HWND WaitForMainWindow(DWORD processId, DWORD milliseconds) {
    DWORD start = GetTickCount();
    do {
        HWND window = nullptr;
        while ((window = FindWindowExA(nullptr, window, "Norrik Version 1.9", nullptr)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == processId && IsWindowVisible(window)) return window;
        }
        Sleep(50);
    } while (GetTickCount() - start < milliseconds);
    return nullptr;
}

TEST(ProgramProcessTest, StartsShowsItsWindowAndExitsWithZeroWhenClosed) {
    std::string path = ProgramPath();
    ASSERT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));

    HWND window = WaitForMainWindow(process.dwProcessId, 15000);
    ASSERT_TRUE(window) << "no main window appeared";
    EXPECT_EQ(WindowText(window), "Norrik Version 1.9");
    HWND firstEdit = FindWindowExA(window, nullptr, "EDIT", nullptr);
    EXPECT_TRUE(firstEdit);
    EXPECT_TRUE(FindWindowExA(window, firstEdit, "EDIT", nullptr)) << "history pane and input line";

    PostMessageA(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 15000), WAIT_OBJECT_0);
    DWORD exitCode = 99;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    EXPECT_EQ(CountStoredValues(), 11) << "the settings are in the registry after the run";
}

}  // namespace
