#pragma once
// Helpers for the end-to-end tests: real norrik.exe processes driven from
// outside with window messages, and a peer of our own that speaks the wire
// protocol byte by byte over WinSock on 127.0.0.1. Every wait is bounded,
// and every process a test started is ended when its Program goes. The
// benchmark programs (tests/bench/win32) drive the program with them too,
// so nothing here uses GoogleTest but StartServing (e2e_serving.cpp).
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>

// How long any one expected thing may take to show before a test gives up.
constexpr DWORD E2E_WAIT = 10000;

// The port every copy serves on and connects to.
constexpr uint16_t PORT = 6374;

// The history lines every copy starts with, and the start of the server's.
extern const std::string STARTUP;
extern const std::string SERVER_STARTED;

// The visible top-level window of the given class that the process owns.
HWND VisibleWindowOf(DWORD processId, const char* className);

// Wire bytes of one message, padded with zeros to whole 10-byte blocks.
std::string ChatMessage(const std::string& text);
std::string ControlMessage(char code, const std::string& text);
std::string Hello(const std::string& name);
std::string Quit(const std::string& reason);

// How often part occurs in text, counting only whole, separate occurrences.
size_t Occurrences(const std::string& text, const std::string& part);

// One running norrik.exe with the given nickname in its settings.
class Program {
public:
    explicit Program(const char* nickname);
    // The same, with prepare run between storing the nickname and starting
    // the process; the main window is not waited for when waitForWindow is
    // false (a message box may stand in front of it).
    Program(const char* nickname, void (*prepare)(), bool waitForWindow);
    // Waits for the main window and the start-up lines, as the plain
    // constructor does.
    bool WaitUntilStarted();
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return window_ != nullptr && history_ != nullptr; }
    HWND window() const { return window_; }
    HANDLE process() const { return process_.hProcess; }
    DWORD processId() const { return process_.dwProcessId; }

    std::string History() const;
    // The history's length alone: one round trip to the program, cheaper
    // than its text.
    size_t HistoryLength() const;
    // Waits until the history holds part at least count times; returns
    // whether it did. The history as it stood last is kept in lastHistory.
    bool WaitForHistory(const std::string& part, int count = 1);
    std::string lastHistory;

    // A menu or toolbar command, posted: some open modal dialogs.
    void Command(int id) const;
    // The newest visible dialog of the program whose caption starts so;
    // null when none showed within the wait (ms).
    HWND WaitForDialog(const char* titleStart, DWORD wait = E2E_WAIT) const;
    // Opens Connect to, types host and presses OK; true once the dialog has
    // closed again.
    bool ConnectThroughDialog(const char* host);
    bool ButtonEnabled(int id) const;
    // Puts line into the input line and presses Enter there, as typing would.
    bool Type(const std::string& line) const;
    // Type in its two steps, for timing the Enter alone.
    bool FillInputLine(const std::string& line) const;
    bool PressEnter() const;
    // Closes the window as its close box does; true and the exit code once
    // the process has ended.
    bool CloseAndWait(DWORD* exitCode);
    // Whether the process still runs and its window answers a message.
    bool Responsive() const;
    // The text (up to 1000 characters of its first edit field) of the
    // dialog WaitForDialog finds; empty when none showed.
    std::string WaitForWindowText(const std::string& titleStart, std::string* title = nullptr,
                                  DWORD wait = E2E_WAIT) const;

private:
    PROCESS_INFORMATION process_ = {};
    HWND window_ = nullptr;
    HWND history_ = nullptr;
    HWND toolbar_ = nullptr;
    HWND input_ = nullptr;
};

// The test's own end of a connection.
class RawPeer {
public:
    RawPeer();
    ~RawPeer();
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    bool Connect(uint16_t port);  // to 127.0.0.1
    bool Listen(uint16_t port);   // on 127.0.0.1
    bool Accept();                // waits for the one connection
    bool Send(const std::string& bytes);
    // Sends bytes a piece of pieceSize at a time, each in a segment of its
    // own, so that the other side reads them piece by piece.
    bool SendInPieces(const std::string& bytes, size_t pieceSize);
    // TCP_NODELAY on the connected socket: true turns Nagle's algorithm off.
    bool SendAtOnce(bool atOnce);
    // Reads until count bytes have come, the peer has closed, or the wait is
    // over; returns what came.
    std::string Read(size_t count);
    // Reads until the peer closes (recv returns 0); closed says whether it
    // did within the wait.
    std::string ReadUntilClosed(bool* closed);
    void Close();
    // Closes with a reset (RST) instead of the orderly close.
    void Reset();
    SOCKET handle() const { return socket_; }

private:
    SOCKET socket_ = INVALID_SOCKET;
    SOCKET listener_ = INVALID_SOCKET;
};

// A copy that listens, with its start-up and server lines shown; fails the
// test (fatally) when they do not come.
void StartServing(Program& program);
// A raw peer joins a serving copy and reads its greeting under serverName.
void JoinServer(RawPeer& peer, const std::string& serverName);
// The raw peer greets under name, and the copy shows it.
void GreetAs(RawPeer& peer, Program& program, const std::string& name);
// The server copy starts serving, the client copy connects to 127.0.0.1,
// and each shows the other's greeting.
void ConnectCopies(Program& server, const std::string& serverName, Program& client, const std::string& clientName);
// The client copy connects to host through its dialog, the raw server
// (listening already) takes the connection and reads its greeting.
void AcceptTheClient(RawPeer& server, Program& client, const char* host, const std::string& clientName);
