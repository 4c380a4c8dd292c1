#include "win32/console.h"

#include <string>

#include "app/interpreter.h"
#include "common/text.h"
#include "seams/history_pane.h"
#include "seams/input_line.h"
#include "win32/shell_state.h"

namespace {

// Text appended at the end of the history is kept in shell.pendingHistory
// until the control is given it. Every change of a visible edit control
// repaints its scroll bar at once, which costs milliseconds under Wine, so
// lines that arrive in a burst are handed over together. Nobody can tell:
// the control takes the text before it handles any other message, and at
// the latest after HISTORY_FLUSH_MS.
constexpr UINT_PTR HISTORY_FLUSH_TIMER = 1;
constexpr DWORD HISTORY_FLUSH_MS = 50;

LRESULT CallHistoryPane(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(shell.previousHistoryPaneProc, shell.historyPane, message, wParam, lParam);
}

void CALLBACK HistoryFlushTick(HWND, UINT, UINT_PTR, DWORD) { FlushHistoryPane(); }

LRESULT CALLBACK InputLineProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Modifiers are not consulted: Shift+Enter and the keypad's Enter act
    // as Enter, and a carriage return that comes without one (Ctrl+M) is
    // simply dropped.
    if (message == WM_KEYDOWN && wParam == VK_RETURN) {
        HandleInputLine();
        return 0;
    }
    if (message == WM_CHAR && wParam == '\r') return 0;
    return CallWindowProcA(shell.previousInputLineProc, window, message, wParam, lParam);
}

LRESULT CALLBACK HistoryPaneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Whoever reads, paints or scrolls the pane sees every line appended so
    // far.
    FlushHistoryPane();
    return CallWindowProcA(shell.previousHistoryPaneProc, window, message, wParam, lParam);
}

}  // namespace

void FlushHistoryPane() {
    if (!shell.historyPane || shell.pendingHistory.empty()) return;
    KillTimer(shell.historyPane, HISTORY_FLUSH_TIMER);
    // Taken out first: the calls below come back through HistoryPaneProc.
    std::string text;
    text.swap(shell.pendingHistory);
    // Wherever the user left the caret or a selection, the text goes to the
    // end; the control then scrolls to it.
    LRESULT end = CallHistoryPane(WM_GETTEXTLENGTH, 0, 0);
    CallHistoryPane(EM_SETSEL, static_cast<WPARAM>(end), end);
    CallHistoryPane(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

void FlushHistoryPaneIfDue() {
    if (shell.pendingHistory.empty()) return;
    MSG waiting;
    bool idle = !PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE);
    if (idle || GetTickCount() - shell.pendingSince >= HISTORY_FLUSH_MS) FlushHistoryPane();
}

HWND CreateHistoryPane(HWND parent, int x, int y, int width, int height) {
    shell.historyPane = CreateWindowExA(
        WS_EX_CLIENTEDGE, "EDIT", "",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_READONLY | ES_AUTOVSCROLL | ES_MULTILINE, x, y, width,
        height, parent, nullptr, reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)),
        nullptr);
    if (!shell.historyPane) return nullptr;
    // An edit control takes 30,000 characters (32,767 on Windows) unless
    // told otherwise, and then drops every further line without a word.
    SendMessageA(shell.historyPane, EM_LIMITTEXT, 0, 0);
    shell.pendingHistory.clear();
    shell.previousHistoryPaneProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(shell.historyPane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HistoryPaneProc)));
    return shell.historyPane;
}

HWND CreateInputLine(HWND parent, int x, int y, int width, int height) {
    shell.inputLine = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, x, y,
                                width, height, parent, nullptr,
                                reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)),
                                nullptr);
    if (!shell.inputLine) return nullptr;
    SendMessageA(shell.inputLine, EM_LIMITTEXT, INPUT_LINE_LIMIT, 0);
    shell.previousInputLineProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(shell.inputLine, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(InputLineProc)));
    return shell.inputLine;
}

bool HistoryPaneExists() { return shell.historyPane != nullptr; }

size_t HistoryPaneTextLength() {
    return static_cast<size_t>(CallHistoryPane(WM_GETTEXTLENGTH, 0, 0)) + shell.pendingHistory.size();
}

void HistoryPaneAppend(const char* text) {
    if (!shell.historyPane || *text == '\0') return;
    if (shell.pendingHistory.empty()) {
        shell.pendingSince = GetTickCount();
        // The timer shows the text while a modal loop runs instead of ours.
        SetTimer(shell.historyPane, HISTORY_FLUSH_TIMER, HISTORY_FLUSH_MS, HistoryFlushTick);
    }
    shell.pendingHistory += text;
}

void HistoryPaneDropOldest(size_t count) {
    if (!shell.historyPane) return;
    FlushHistoryPane();
    CallHistoryPane(EM_SETSEL, 0, static_cast<LPARAM>(count));
    CallHistoryPane(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
}

void HistoryPaneClear() {
    if (!shell.historyPane) return;
    shell.pendingHistory.clear();
    KillTimer(shell.historyPane, HISTORY_FLUSH_TIMER);
    CallHistoryPane(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
}

size_t HistoryPaneTextAt(size_t from, char* buffer, size_t size) {
    if (size == 0) return 0;
    buffer[0] = '\0';
    if (!shell.historyPane) return 0;
    FlushHistoryPane();
    std::string text(static_cast<size_t>(CallHistoryPane(WM_GETTEXTLENGTH, 0, 0)) + 1, '\0');
    text.resize(static_cast<size_t>(
        CallHistoryPane(WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(&text[0]))));
    if (from >= text.size()) return 0;
    return CopyText(buffer, size, text.c_str() + from);
}

size_t ReadInputLine(char* buffer, size_t size) {
    if (size == 0) return 0;
    buffer[0] = '\0';
    if (!shell.inputLine) return 0;
    int copied = GetWindowTextA(shell.inputLine, buffer, static_cast<int>(size));
    return copied > 0 ? static_cast<size_t>(copied) : 0;
}

void ClearInputLine() {
    if (shell.inputLine) SetWindowTextA(shell.inputLine, "");
}

void FocusInputLine() {
    if (shell.inputLine) SetFocus(shell.inputLine);
}
