#include "win32/e2e_support.h"

#include <ws2tcpip.h>

#include <cstring>
#include <vector>

#include "res/resource.h"

namespace {

const char* const MAIN_CLASS = "Norrik Version 1.9";
const char* const SETTINGS_KEY_PATH = "Software\\Velmora\\Norrik";

std::string Padded(std::string message) {
    message += "\x0C\x0D";
    message.append((10 - message.size() % 10) % 10, '\0');
    return message;
}

std::string ProgramPath() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string text = path;
    return text.substr(0, text.find_last_of('\\') + 1) + "norrik.exe";
}

// The programs read their settings from this prefix's own HKCU: a fresh key
// with only the nickname set gives every other setting its default.
void StoreNickname(const char* nickname) {
    RegDeleteTreeA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExA(key, "Nickname", 0, REG_SZ, reinterpret_cast<const BYTE*>(nickname),
                   static_cast<DWORD>(std::strlen(nickname) + 1));
    RegCloseKey(key);
}

bool OwnedBy(HWND window, DWORD processId) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return owner == processId;
}

struct ChildSearch {
    const char* className;
    LONG style;
    HWND found;
};

BOOL CALLBACK FindChild(HWND child, LPARAM context) {
    ChildSearch* search = reinterpret_cast<ChildSearch*>(context);
    char name[64] = "";
    GetClassNameA(child, name, sizeof name);
    if (lstrcmpiA(name, search->className) == 0 && (GetWindowLongA(child, GWL_STYLE) & search->style) == search->style) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

HWND ChildOfClass(HWND parent, const char* className, LONG style) {
    ChildSearch search{className, style, nullptr};
    EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK FindInputLine(HWND window, LPARAM context) {
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpiA(name, "EDIT") == 0 && !(GetWindowLongA(window, GWL_STYLE) & ES_MULTILINE)) {
        *reinterpret_cast<HWND*>(context) = window;
        return FALSE;
    }
    return TRUE;
}

struct DialogSearch {
    DWORD processId;
    const char* titleStart;
    HWND found;
};

// Top-level windows come in Z order, the topmost first: the first match is
// the newest window that was brought to the front.
BOOL CALLBACK FindDialog(HWND window, LPARAM context) {
    DialogSearch* search = reinterpret_cast<DialogSearch*>(context);
    char name[16] = "";
    char title[64] = "";
    GetClassNameA(window, name, sizeof name);
    GetWindowTextA(window, title, sizeof title);
    if (OwnedBy(window, search->processId) && lstrcmpA(name, "#32770") == 0 &&
        std::strncmp(title, search->titleStart, std::strlen(search->titleStart)) == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

bool Elapsed(DWORD start) { return GetTickCount() - start >= E2E_WAIT; }

// WinSock for the test's own peer, started once for the process.
void StartWinSockOnce() {
    static bool started = false;
    if (started) return;
    WSADATA data;
    started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in where = {};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return where;
}

// Waits until the socket can be read (data or close); false when the wait
// ran out first.
bool Readable(SOCKET socket, DWORD start) {
    while (!Elapsed(start)) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(socket, &set);
        timeval step = {0, 50 * 1000};
        int ready = select(0, &set, nullptr, nullptr, &step);
        if (ready > 0) return true;
        if (ready < 0) return false;
    }
    return false;
}

}  // namespace

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

HWND VisibleWindowOf(DWORD processId, const char* className) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, className, nullptr)) != nullptr) {
        if (OwnedBy(window, processId) && IsWindowVisible(window)) return window;
    }
    return nullptr;
}

std::string ChatMessage(const std::string& text) { return Padded("\x01" + text); }

std::string ControlMessage(char code, const std::string& text) {
    return Padded(std::string("\x02") + code + text);
}

std::string Hello(const std::string& name) { return ControlMessage('\x20', name); }
std::string Quit(const std::string& reason) { return ControlMessage('\x40', reason); }

// ------------------------------------------------------------------ Program

Program::Program(const char* nickname) : Program(nickname, nullptr, true) {}

Program::Program(const char* nickname, void (*prepare)(), bool waitForWindow) {
    StoreNickname(nickname);
    if (prepare) prepare();
    std::string path = ProgramPath();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_)) {
        process_ = {};
        return;
    }
    if (waitForWindow) WaitUntilStarted();
}

bool Program::WaitUntilStarted() {
    if (!process_.hProcess) return false;
    DWORD start = GetTickCount();
    while (!window_ && !Elapsed(start)) {
        window_ = VisibleWindowOf(process_.dwProcessId, MAIN_CLASS);
        if (!window_) Sleep(30);
    }
    if (!window_) return false;
    history_ = ChildOfClass(window_, "EDIT", ES_MULTILINE);
    toolbar_ = ChildOfClass(window_, "ToolbarWindow32", 0);
    EnumChildWindows(window_, FindInputLine, reinterpret_cast<LPARAM>(&input_));
    // The start-up lines are the last thing InitNetwork writes before the
    // window shows; wait for them so that every test starts from there.
    return WaitForHistory("Running\r\n");
}

Program::~Program() {
    if (process_.hProcess) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
}

size_t Program::HistoryLength() const {
    DWORD_PTR length = 0;
    if (!history_ || !SendMessageTimeoutA(history_, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) {
        return 0;
    }
    return length;
}

std::string Program::History() const {
    size_t length = HistoryLength();
    if (length == 0) return "";
    std::vector<char> text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(history_, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, 2000, &copied)) {
        return "";
    }
    return std::string(text.data(), copied);
}

bool Program::WaitForHistory(const std::string& part, int count) {
    DWORD start = GetTickCount();
    do {
        lastHistory = History();
        if (Occurrences(lastHistory, part) >= static_cast<size_t>(count)) return true;
        Sleep(20);
    } while (!Elapsed(start));
    return false;
}

void Program::Command(int id) const { PostMessageA(window_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

HWND Program::WaitForDialog(const char* titleStart, DWORD wait) const {
    DialogSearch search{process_.dwProcessId, titleStart, nullptr};
    DWORD start = GetTickCount();
    do {
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
        if (!search.found) Sleep(20);
    } while (!search.found && GetTickCount() - start < wait);
    return search.found;
}

bool Program::ConnectThroughDialog(const char* host) {
    Command(IDM_CONNECT);
    HWND dialog = WaitForDialog("Connect to");
    if (!dialog) return false;
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, IDC_HOST), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(host),
                        SMTO_ABORTIFHUNG, 2000, &ignored);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_CONNECT_OK, BN_CLICKED), 0);
    DWORD start = GetTickCount();
    while (IsWindow(dialog) && !Elapsed(start)) Sleep(20);
    return !IsWindow(dialog);
}

bool Program::ButtonEnabled(int id) const {
    DWORD_PTR enabled = 0;
    if (!toolbar_) return false;
    SendMessageTimeoutA(toolbar_, TB_ISBUTTONENABLED, static_cast<WPARAM>(id), 0, SMTO_ABORTIFHUNG, 2000, &enabled);
    return enabled != 0;
}

bool Program::CloseAndWait(DWORD* exitCode) {
    PostMessageA(window_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, E2E_WAIT) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(process_.hProcess, exitCode);
    return true;
}

bool Program::Responsive() const {
    if (!process_.hProcess || WaitForSingleObject(process_.hProcess, 0) != WAIT_TIMEOUT) return false;
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored) != 0;
}

std::string Program::WaitForWindowText(const std::string& titleStart, std::string* title, DWORD wait) const {
    HWND window = WaitForDialog(titleStart.c_str(), wait);
    if (!window) return "";
    if (title) {
        char caption[128] = "";
        GetWindowTextA(window, caption, sizeof caption);
        *title = caption;
    }
    char text[1001] = "";
    HWND field = ChildOfClass(window, "EDIT", 0);
    DWORD_PTR copied = 0;
    if (!field || !SendMessageTimeoutA(field, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                                       SMTO_ABORTIFHUNG, 2000, &copied)) {
        return "";
    }
    return std::string(text, copied);
}

// ------------------------------------------------------------------ RawPeer

RawPeer::RawPeer() { StartWinSockOnce(); }

RawPeer::~RawPeer() { Close(); }

bool RawPeer::Connect(uint16_t port) {
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ == INVALID_SOCKET) return false;
    sockaddr_in where = Loopback(port);
    return connect(socket_, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0;
}

bool RawPeer::Listen(uint16_t port) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET) return false;
    BOOL reuse = TRUE;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
    sockaddr_in where = Loopback(port);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) return false;
    return listen(listener_, 1) == 0;
}

bool RawPeer::Accept() {
    if (listener_ == INVALID_SOCKET || !Readable(listener_, GetTickCount())) return false;
    socket_ = accept(listener_, nullptr, nullptr);
    return socket_ != INVALID_SOCKET;
}

bool RawPeer::SendAtOnce(bool atOnce) {
    BOOL on = atOnce ? TRUE : FALSE;
    return setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on) == 0;
}

bool RawPeer::Send(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        int n = send(socket_, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool RawPeer::SendInPieces(const std::string& bytes, size_t pieceSize) {
    BOOL noDelay = TRUE;
    setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    for (size_t at = 0; at < bytes.size(); at += pieceSize) {
        if (!Send(bytes.substr(at, pieceSize))) return false;
        // Long enough for the other side to read each piece on its own.
        Sleep(2);
    }
    return true;
}

std::string RawPeer::Read(size_t count) {
    std::string bytes;
    DWORD start = GetTickCount();
    while (bytes.size() < count && Readable(socket_, start)) {
        char block[512];
        int want = static_cast<int>(count - bytes.size() < sizeof block ? count - bytes.size() : sizeof block);
        int n = recv(socket_, block, want, 0);
        if (n <= 0) break;
        bytes.append(block, static_cast<size_t>(n));
    }
    return bytes;
}

std::string RawPeer::ReadUntilClosed(bool* closed) {
    std::string bytes;
    *closed = false;
    DWORD start = GetTickCount();
    while (Readable(socket_, start)) {
        char block[512];
        int n = recv(socket_, block, sizeof block, 0);
        if (n == 0) {
            *closed = true;
            break;
        }
        if (n < 0) break;
        bytes.append(block, static_cast<size_t>(n));
    }
    return bytes;
}

void RawPeer::Reset() {
    if (socket_ == INVALID_SOCKET) return;
    linger abort = {1, 0};
    setsockopt(socket_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
    Close();
}

void RawPeer::Close() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    socket_ = listener_ = INVALID_SOCKET;
}

bool Program::FillInputLine(const std::string& line) const {
    DWORD_PTR result = 0;
    return input_ && SendMessageTimeoutA(input_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(line.c_str()),
                                         SMTO_ABORTIFHUNG, 2000, &result);
}

bool Program::PressEnter() const {
    DWORD_PTR result = 0;
    return input_ && SendMessageTimeoutA(input_, WM_KEYDOWN, VK_RETURN, 1, SMTO_ABORTIFHUNG, 2000, &result);
}

bool Program::Type(const std::string& line) const { return FillInputLine(line) && PressEnter(); }

const std::string STARTUP =
    "Trying to initialize WinSock 1.1...\r\n"
    "Confirming that WinSock supports 1.1\r\n"
    "WinSock 1.1 started successfully\r\n"
    "WinSock 2.0  Running\r\n";
const std::string SERVER_STARTED = "Server started...\r\n\r\n***Your IP number is: ";
