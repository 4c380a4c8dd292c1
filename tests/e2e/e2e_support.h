#pragma once
// Real norrik.exe processes driven from outside with window messages, and a
// peer of the test's own that speaks the wire protocol byte by byte on
// 127.0.0.1. Every wait is bounded; a Program's process ends with it. The
// benchmark driver (bench/win32) uses them too, without GoogleTest.
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "fakes/encrypted_layer.h"
#include "res/resource.h"

constexpr DWORD E2E_WAIT = 10000;  // for any one expected thing to show
constexpr DWORD SEND_WAIT = 1000;  // for a send of the test's own peer
constexpr u_short PORT = 6374;
inline const std::string STARTUP =
    "Trying to initialize WinSock 1.1...\r\nConfirming that WinSock supports 1.1\r\n"
    "WinSock 1.1 started successfully\r\nWinSock 2.0  Running\r\n";
inline const std::string SERVER_STARTED = "Server started...\r\n\r\n***Your IP number is: ";

// NORRIK_LONG=1 (scripts/test --long) asks for the long runs at full size.
inline bool LongRun() {
    char value[2] = "";
    return GetEnvironmentVariableA("NORRIK_LONG", value, sizeof value) == 1 && value[0] == '1';
}

inline bool Elapsed(DWORD start, DWORD wait = E2E_WAIT) { return GetTickCount() - start >= wait; }

inline bool Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result = nullptr) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 2000, result ? result : &ignored);
}

inline std::string TextOf(HWND control) {
    char text[1024] = "";
    Ask(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

inline bool SetText(HWND control, const std::string& text) {
    return control && Ask(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// The process's visible top-level window of the class whose title starts
// so; the topmost, which is the newest, first.
inline HWND VisibleWindowOf(DWORD processId, const char* className, const char* titleStart = "") {
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, className, nullptr)) != nullptr;) {
        DWORD id = 0;
        char title[128] = "";
        GetWindowThreadProcessId(window, &id);
        GetWindowTextA(window, title, sizeof title);
        if (id == processId && IsWindowVisible(window) && std::string(title).rfind(titleStart, 0) == 0) return window;
    }
    return nullptr;
}

// Wire bytes of one message, padded with zeros to whole 10-byte blocks.
inline std::string Padded(std::string message) {
    message += "\x0C\x0D";
    return message.append((10 - message.size() % 10) % 10, '\0');
}
inline std::string ChatMessage(const std::string& text) { return Padded("\x01" + text); }
inline std::string ControlMessage(char code, const std::string& text) { return Padded('\x02' + (code + text)); }
inline std::string Hello(const std::string& name) { return ControlMessage('\x20', name); }
inline std::string Quit(const std::string& reason) { return ControlMessage('\x40', reason); }

// Masked: a handshake message of that many characters; the record of a
// message (kind, code, text) of that many bytes, with its flag and tag.
inline std::string Handshake(size_t characters) { return ControlMessage('H', std::string(characters, '#')); }
inline std::string Record(size_t inner) {
    return ControlMessage('R', std::string(((1 + inner + 16) * 4 + 2) / 3, '#'));
}

inline size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

// One running norrik.exe.
class Program {
public:
    // A fresh settings key holds only the nickname and the numbers given:
    // every other setting has its default.
    explicit Program(const char* nickname, std::initializer_list<std::pair<const char*, DWORD>> numbers = {}) {
        const char* const key = "Software\\Velmora\\Norrik";
        RegDeleteTreeA(HKEY_CURRENT_USER, key);
        RegSetKeyValueA(HKEY_CURRENT_USER, key, "Nickname", REG_SZ, nickname, lstrlenA(nickname) + 1);
        for (const auto& [name, value] : numbers) RegSetKeyValueA(HKEY_CURRENT_USER, key, name, REG_DWORD, &value, sizeof value);
        char path[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, path, sizeof path);
        std::strcpy(std::strrchr(path, '\\') + 1, "norrik.exe");
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        if (!CreateProcessA(path, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return;
        for (DWORD start = GetTickCount(); !window && !Elapsed(start); Sleep(20)) {
            window = VisibleWindowOf(process.dwProcessId, "Norrik Version 1.9");
        }
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            char name[32] = "";
            GetClassNameA(child, name, sizeof name);
            if (!lstrcmpiA(name, "Edit")) (GetWindowLongA(child, GWL_STYLE) & ES_MULTILINE ? history : input) = child;
        }
        // Every test starts from the last start-up line.
        if (!WaitForHistory("Running\r\n")) input = nullptr;
    }
    ~Program() {
        if (!process.hProcess) return;
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    Program(const Program&) = delete;

    bool started() const { return input != nullptr; }
    PROCESS_INFORMATION process = {};
    HWND window = nullptr, history = nullptr, input = nullptr;

    size_t HistoryLength() const {
        DWORD_PTR length = 0;
        return Ask(history, WM_GETTEXTLENGTH, 0, 0, &length) ? length : 0;
    }
    std::string History() const {
        std::vector<char> text(HistoryLength() + 1, '\0');
        DWORD_PTR copied = 0;
        Ask(history, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied);
        return std::string(text.data(), copied);
    }
    // Each waits until the history is as asked, and keeps it as it stood
    // last in lastHistory.
    bool WaitFor(const std::function<bool(const std::string&)>& done, DWORD wait = E2E_WAIT) {
        for (DWORD start = GetTickCount();; Sleep(20)) {
            lastHistory = History();
            if (done(lastHistory) || Elapsed(start, wait)) return done(lastHistory);
        }
    }
    bool WaitForHistory(const std::string& part, size_t count = 1, DWORD wait = E2E_WAIT) {
        return WaitFor([&](const std::string& text) { return Occurrences(text, part) >= count; }, wait);
    }
    // From position from on, the history is exactly gained.
    bool WaitForGain(size_t from, const std::string& gained) {
        return WaitFor([&](const std::string& text) { return text.size() >= from && text.substr(from) == gained; });
    }
    std::string Since(size_t from) const { return lastHistory.substr(std::min(from, lastHistory.size())); }
    std::string lastHistory;

    // Posted, as a menu click is: some commands open modal dialogs.
    void Command(int id) const { PostMessageA(window, WM_COMMAND, id, 0); }
    HWND WaitForDialog(const char* titleStart) const {
        HWND found = nullptr;
        for (DWORD start = GetTickCount(); !found && !Elapsed(start); Sleep(20)) {
            found = VisibleWindowOf(process.dwProcessId, "#32770", titleStart);
        }
        return found;
    }
    // Types host into Connect to and clicks OK, posted as a click is (a
    // connect begun inside a sent WM_COMMAND never reports under Wine).
    bool ConnectThroughDialog(const char* host) const {
        Command(IDM_CONNECT);
        HWND dialog = WaitForDialog("Connect to");
        if (!SetText(GetDlgItem(dialog, IDC_HOST), host)) return false;
        PostMessageA(dialog, WM_COMMAND, IDC_CONNECT_OK, 0);
        for (DWORD start = GetTickCount(); IsWindow(dialog) && !Elapsed(start);) Sleep(20);
        return !IsWindow(dialog);
    }
    // Puts line into the input line and presses Enter there.
    bool Type(const std::string& line) const { return SetText(input, line) && Ask(input, WM_KEYDOWN, VK_RETURN, 1); }
};

// The test's own end of a connection on 127.0.0.1. Nagle's algorithm is
// off, so that every send leaves as a segment of its own.
class RawPeer {
public:
    RawPeer() {
        static WSADATA data;
        static const int started = WSAStartup(MAKEWORD(2, 2), &data);
        (void)started;
    }
    ~RawPeer() { Close(); }
    RawPeer(const RawPeer&) = delete;

    bool Connect(u_short port) {
        handle = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        const sockaddr_in where = Loopback(port);
        return Configured() && connect(handle, reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0;
    }
    bool Send(const std::string& bytes) {
        return send(handle, bytes.data(), static_cast<int>(bytes.size()), 0) == static_cast<int>(bytes.size());
    }
    // Until count bytes have come, the other side has closed (closed tells
    // whether it did), or the wait ran out.
    std::string Read(size_t count, bool* closed = nullptr) {
        std::string bytes;
        char block[512];
        int n = -1;
        for (DWORD start = GetTickCount(); bytes.size() < count && !Elapsed(start) &&
             (n = recv(handle, block, static_cast<int>(std::min(count - bytes.size(), sizeof block)), 0)) > 0;) {
            bytes.append(block, n);
        }
        if (closed) *closed = n == 0;
        return bytes;
    }
    // With a reset (RST) instead of the orderly close.
    void Reset() {
        linger abort = {1, 0};
        setsockopt(handle, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
        Close();
    }
    void Close() {
        if (handle != INVALID_SOCKET) closesocket(handle);
        handle = INVALID_SOCKET;
    }
    SOCKET handle = INVALID_SOCKET;

private:
    static sockaddr_in Loopback(u_short port) {
        sockaddr_in where = {};
        where.sin_family = AF_INET;
        where.sin_port = htons(port);
        where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return where;
    }
    bool Configured() {
        const BOOL on = TRUE;
        setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&E2E_WAIT), sizeof E2E_WAIT);
        setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&SEND_WAIT), sizeof SEND_WAIT);
        return true;
    }
};

// Starts the server; true once its lines, the address's too, have come.
inline bool StartServing(Program& program) {
    program.Command(IDM_START_SERVER);
    return program.WaitFor([](const std::string& history) {
        const size_t at = history.find(SERVER_STARTED);
        return at != std::string::npos && history.find("\r\n", at + SERVER_STARTED.size()) != std::string::npos;
    });
}

// The copy serves, and the raw peer has joined it: greeted both ways.
inline bool ServeAndJoin(Program& program, const char* programName, RawPeer& peer, const std::string& peerName) {
    return program.started() && StartServing(program) && peer.Connect(PORT) && peer.Read(10) == Hello(programName) &&
           peer.Send(Hello(peerName)) && program.WaitForHistory("*** You are connected to " + peerName + ".\r\n");
}

// The server copy serves, the client copy connects to it, and each shows
// the other's greeting and then that the conversation is encrypted (the
// rest of that line is the test's to check).
inline bool ConnectCopies(Program& server, const char* serverName, Program& client, const char* clientName) {
    return server.started() && client.started() && StartServing(server) && client.ConnectThroughDialog("127.0.0.1") &&
           client.WaitForHistory("*** You are connected to " + std::string(serverName) + ".\r\n***Encrypted. ") &&
           server.WaitForHistory("*** You are connected to " + std::string(clientName) + ".\r\n***Encrypted. ");
}
