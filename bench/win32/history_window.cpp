// The floor under the figures of a history that fills: one window with one
// multi-line EDIT of the history pane's styles and no text limit, which
// serves on the chat port, does one 10-byte recv per WinSock notification
// and appends each chat message's text as "<Raw> text" and a line end at
// once, at the end, with EM_SETSEL and EM_REPLACESEL (no undo). It never
// trims, so its text grows past the program's capacity. It ends when its
// window is closed.
#include <winsock2.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "bench/win32/bench_figures.h"
#include "net/protocol.h"

namespace {

constexpr UINT SOCKET_EVENT = WM_APP + 1;
HWND history = nullptr;
SOCKET listening = INVALID_SOCKET, connection = INVALID_SOCKET;
std::string received;  // what has come and is not shown yet

void Append(const std::string& text) {
    const LRESULT end = SendMessageA(history, WM_GETTEXTLENGTH, 0, 0);
    SendMessageA(history, EM_SETSEL, static_cast<WPARAM>(end), end);
    SendMessageA(history, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

// A read may end inside a block: the message ends with the block that
// holds the terminator, counted from the message's first byte.
void ReadOneBlock() {
    char block[WIRE_BLOCK];
    const int got = recv(connection, block, sizeof block, 0);
    if (got <= 0) return;
    received.append(block, static_cast<size_t>(got));
    for (;;) {
        const size_t end = received.find(MSG_TERMINATOR);
        if (end == std::string::npos) return;
        const size_t length = (end + MSG_TERMINATOR_LENGTH + WIRE_BLOCK - 1) / WIRE_BLOCK * WIRE_BLOCK;
        if (received.size() < length) return;
        if (static_cast<uint8_t>(received[0]) == KIND_TEXT) Append("<Raw> " + received.substr(1, end - 1) + "\r\n");
        received.erase(0, length);
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT code, WPARAM wParam, LPARAM lParam) {
    if (code == SOCKET_EVENT) {
        const WORD event = WSAGETSELECTEVENT(lParam);
        if (event == FD_ACCEPT && connection == INVALID_SOCKET) {
            connection = accept(listening, nullptr, nullptr);
            if (connection != INVALID_SOCKET) WSAAsyncSelect(connection, window, SOCKET_EVENT, FD_READ | FD_CLOSE);
        } else if (event == FD_READ && static_cast<SOCKET>(wParam) == connection) {
            ReadOneBlock();
        }
        return 0;
    }
    if (code == WM_SIZE) MoveWindow(history, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
    if (code == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, code, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 1;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = HISTORY_WINDOW_CLASS;
    if (!RegisterClassA(&windowClass)) return 1;
    HWND window = CreateWindowExA(0, HISTORY_WINDOW_CLASS, "History", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    history = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_READONLY | ES_AUTOVSCROLL | ES_MULTILINE, 0, 0,
                              640, 480, window, nullptr, instance, nullptr);
    if (!history) return 1;
    SendMessageA(history, EM_LIMITTEXT, 0, 0);
    listening = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in where = {};
    where.sin_family = AF_INET;
    where.sin_port = htons(CHAT_PORT);
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listening, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 || listen(listening, 1) != 0) return 1;
    WSAAsyncSelect(listening, window, SOCKET_EVENT, FD_ACCEPT);
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG queued;
    while (GetMessageA(&queued, nullptr, 0, 0) > 0) {
        TranslateMessage(&queued);
        DispatchMessageA(&queued);
    }
    return 0;
}
