#include "console/win32/console_win32.h"

#include "console/history_pane.h"
#include "console/input_line.h"
#include "console/interpreter.h"

HWND historyPane = nullptr;
HWND inputLine = nullptr;

namespace {

WNDPROC previousInputLineProc = nullptr;

}  // namespace

HWND CreateHistoryPane(HWND parent, int x, int y, int width, int height) {
    historyPane = CreateWindowExA(
        WS_EX_CLIENTEDGE, "EDIT", "",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_READONLY | ES_AUTOVSCROLL | ES_MULTILINE, x, y, width,
        height, parent, nullptr, reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)),
        nullptr);
    return historyPane;
}

HWND CreateInputLine(HWND parent, int x, int y, int width, int height) {
    inputLine = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, x, y,
                                width, height, parent, nullptr,
                                reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)),
                                nullptr);
    if (!inputLine) return nullptr;
    SendMessageA(inputLine, EM_LIMITTEXT, INPUT_LINE_LIMIT, 0);
    previousInputLineProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(inputLine, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(InputLineProc)));
    return inputLine;
}

LRESULT CALLBACK InputLineProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Modifiers are not consulted: Shift+Enter and the keypad's Enter act
    // as Enter, and a carriage return that comes without one (Ctrl+M) is
    // simply dropped.
    if (message == WM_KEYDOWN && wParam == VK_RETURN) {
        HandleInputLine();
        return 0;
    }
    if (message == WM_CHAR && wParam == '\r') return 0;
    return CallWindowProcA(previousInputLineProc, window, message, wParam, lParam);
}

bool HistoryPaneExists() { return historyPane != nullptr; }

size_t HistoryPaneTextLength() {
    return static_cast<size_t>(SendMessageA(historyPane, WM_GETTEXTLENGTH, 0, 0));
}

void HistoryPaneSetSelection(size_t start, size_t end) {
    SendMessageA(historyPane, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
}

void HistoryPaneReplaceSelection(const char* text) {
    SendMessageA(historyPane, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
}

void HistoryPaneSetText(const char* text) {
    SendMessageA(historyPane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

size_t ReadInputLine(char* buffer, size_t size) {
    if (size == 0) return 0;
    buffer[0] = '\0';
    if (!inputLine) return 0;
    int copied = GetWindowTextA(inputLine, buffer, static_cast<int>(size));
    return copied > 0 ? static_cast<size_t>(copied) : 0;
}

void ClearInputLine() {
    if (inputLine) SetWindowTextA(inputLine, "");
}

void FocusInputLine() {
    if (inputLine) SetFocus(inputLine);
}
