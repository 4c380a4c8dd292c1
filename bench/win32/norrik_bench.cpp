// Measures real norrik.exe processes from outside, as a user would see
// them: start-up, memory and idle CPU of a copy, how long a chat line takes
// from Enter on one copy to the other copy's history, and how many long
// messages a copy shows per second. scripts/bench runs it, once beside the
// normal norrik.exe and once beside a copy that keeps Nagle's algorithm on,
// and puts what it prints (bench_figures.h) into one table.
//
//     norrik_bench [startup] [idle] [chat] [peer] [fill]     (no argument: all)
//
// Everything runs on 127.0.0.1 and port 6374; scripts/bench gives the run a
// network of its own, so that no other program meets it there.
#include <winsock2.h>
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/win32/bench_figures.h"
#include "e2e/e2e_support.h"
#include "fakes/noise_peer.h"
#include "net/protocol.h"
#include "res/resource.h"
#include "seams/input_line.h"

namespace {

const char* const MAIN_CLASS = "Norrik Version 1.9";
constexpr int STARTUP_RUNS = 20;         // after one that is not counted
constexpr int SHORT_LINES = 200;
constexpr int LONG_LINES = 100;
constexpr int TYPED_BATCHES = 3;
constexpr int TYPED_BATCH_LINES = 40;
constexpr int RECEIVED_BATCHES = 4;
constexpr int RECEIVED_BATCH_MESSAGES = 50;
constexpr int ROUND_TRIPS = 50;
constexpr int FIRST_LINES = 20;
constexpr DWORD IDLE_MS = 30000;
// The driver reads whole histories to check what arrived; clearing them
// now and then keeps that cheap and every section alike.
constexpr size_t HISTORY_ROOM = 25000;

std::string BesideMe(const char* file) {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string text = path;
    return text.substr(0, text.find_last_of('\\') + 1) + file;
}

// ------------------------------------------------------- process figures

// Milliseconds from CreateProcess to the first visible top-level window of
// the class that the new process owns, polled every millisecond; negative
// when it did not show within the wait. The process keeps running.
double TimeToWindow(const std::string& path, const char* className, PROCESS_INFORMATION* started, HWND* window) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    *window = nullptr;
    const double start = NowMs();
    if (!CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, started)) {
        *started = {};
        return -1;
    }
    const DWORD begun = GetTickCount();
    while (GetTickCount() - begun < E2E_WAIT) {
        *window = VisibleWindowOf(started->dwProcessId, className);
        if (*window) return NowMs() - start;
        Sleep(1);
    }
    return -1;
}

void EndProcess(PROCESS_INFORMATION& started, HWND window) {
    if (!started.hProcess) return;
    if (window) PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(started.hProcess, 5000) != WAIT_OBJECT_0) {
        TerminateProcess(started.hProcess, 99);
        WaitForSingleObject(started.hProcess, 5000);
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    started = {};
}

bool Running(HANDLE process) { return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }

// Working set, private bytes and pagefile usage, as Task Manager and
// GetProcessMemoryInfo give them, in KB. Wine reports no private bytes
// (always 0, which no running process has on Windows): that one is missing.
void MemoryFigures(const char* name, HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    char label[128];
    std::snprintf(label, sizeof label, "%s.working_set", name);
    if (!Running(process)) {
        Missing(label, "the-process-ended");
        return;
    }
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters)) {
        Missing(label, "GetProcessMemoryInfo-failed");
        return;
    }
    Figure(label, static_cast<double>(counters.WorkingSetSize) / 1024, "KB");
    std::snprintf(label, sizeof label, "%s.private", name);
    if (counters.PrivateUsage == 0) {
        Missing(label, "not-reported");
    } else {
        Figure(label, static_cast<double>(counters.PrivateUsage) / 1024, "KB");
    }
    std::snprintf(label, sizeof label, "%s.pagefile", name);
    Figure(label, static_cast<double>(counters.PagefileUsage) / 1024, "KB");
}

// Kernel and user time of the process so far; negative when unknown.
double CpuMs(HANDLE process) {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(process, &created, &ended, &kernel, &user)) return -1;
    auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;  // 100 ns units
}

// One start of the program at path: its time to the window shown, and on
// the last run its memory a second later.
void TimeOneStart(const std::string& path, const char* className, const char* name, bool counted, bool last,
                  std::vector<double>* times) {
    PROCESS_INFORMATION started = {};
    HWND window = nullptr;
    const double ms = TimeToWindow(path, className, &started, &window);
    if (counted && ms >= 0) times->push_back(ms);
    if (last && ms >= 0) {
        Sleep(1000);
        MemoryFigures((std::string(name) + ".started.memory").c_str(), started.hProcess);
    }
    EndProcess(started, window);
}

// An earlier norrik.exe copied beside as norrik_before.exe (scripts/bench
// does that for NORRIK_BENCH_BEFORE) takes its turn in the same runs, so
// that before and after are measured side by side.
void MeasureStartup() {
    const std::string before = BesideMe("norrik_before.exe");
    const bool withBefore = GetFileAttributesA(before.c_str()) != INVALID_FILE_ATTRIBUTES;
    std::vector<double> norrikTimes, emptyTimes, beforeTimes;
    for (int run = 0; run <= STARTUP_RUNS; ++run) {
        const bool counted = run > 0, last = run == STARTUP_RUNS;
        TimeOneStart(BesideMe("norrik.exe"), MAIN_CLASS, "norrik", counted, last, &norrikTimes);
        TimeOneStart(BesideMe("empty_window.exe"), EMPTY_WINDOW_CLASS, "empty", counted, last, &emptyTimes);
        if (withBefore) TimeOneStart(before, MAIN_CLASS, "before", counted, last, &beforeTimes);
    }
    LatencyFigures("norrik.startup", norrikTimes, STARTUP_RUNS);
    LatencyFigures("empty.startup", emptyTimes, STARTUP_RUNS);
    if (withBefore) LatencyFigures("before.startup", beforeTimes, STARTUP_RUNS);
}

// ------------------------------------------------------------- two copies

bool Serve(Program& program) {
    program.Command(IDM_START_SERVER);
    return program.WaitForHistory(SERVER_STARTED) && program.WaitForHistory("\r\n", 7);
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A chat line as the receiving copy shows it.
std::string Shown(const std::string& sender, const std::string& text) { return "<" + sender + "> " + text + "\r\n"; }

std::string Numbered(const char* start, int number, size_t length, char filler) {
    char head[32];
    std::snprintf(head, sizeof head, "%s%04d ", start, number);
    std::string text = head;
    text.resize(length, filler);
    return text;
}

// Typing in two steps, so that the Enter alone can be timed.
bool FillInputLine(const Program& program, const std::string& line) { return SetText(program.input, line); }

bool PressEnter(const Program& program) { return Ask(program.input, WM_KEYDOWN, VK_RETURN, 1); }

bool ClearHistory(const Program& program) { return program.Type("/clear") && program.HistoryLength() == 0; }

bool ClearHistories(const Program& one, const Program& other) { return ClearHistory(one) && ClearHistory(other); }

// Every network figure is taken twice: with the windows shown, as a user
// has them, and minimised. Under Wine in Xvfb each line written to a shown
// history costs milliseconds of drawing, which the minimised run leaves
// out, so that what is left is the program's own path.
struct View {
    const char* prefix;
    bool minimised;
};
const View VIEWS[] = {{"norrik.", false}, {"norrik.min.", true}};

void Minimise(const Program& program) {
    // ShowWindow works across processes; it waits for nothing.
    ShowWindowAsync(program.window, SW_MINIMIZE);
    const DWORD begun = GetTickCount();
    while (!IsIconic(program.window) && GetTickCount() - begun < E2E_WAIT) Sleep(10);
}

// Asks for the history's length without pause until it has reached length
// or the wait is over. Each ask is one cross-process round trip (see
// PollRoundTrip), which is the resolution of every latency figure.
bool PollUntilLength(const Program& program, size_t length) {
    const DWORD begun = GetTickCount();
    while (program.HistoryLength() < length) {
        if (GetTickCount() - begun >= E2E_WAIT) return false;
    }
    return true;
}

// Milliseconds from start until the history is as long as expected, asked
// every millisecond, so as to leave the program the processor during a
// burst; negative when it did not get there within the wait or then holds
// anything else.
double MsUntilHistoryIs(const Program& program, const std::string& expected, double start) {
    const DWORD begun = GetTickCount();
    while (program.HistoryLength() < expected.size() && GetTickCount() - begun < E2E_WAIT) Sleep(1);
    const double end = NowMs();
    return program.History() == expected ? end - start : -1;
}

// Microseconds one ask of PollUntilLength takes while the copy is idle;
// negative when an ask went unanswered, which costs nothing like one that
// was answered.
double PollRoundTrip(const Program& program) {
    constexpr int ASKS = 200;
    const double start = NowMs();
    for (int i = 0; i < ASKS; ++i) {
        if (!Ask(program.history, WM_GETTEXTLENGTH, 0, 0)) return -1;
    }
    return 1000.0 * (NowMs() - start) / ASKS;
}

// Each line typed into from's input line, timed from the Enter key to the
// poll that finds the whole line in to's history.
std::vector<double> ChatLatency(const Program& from, const char* sender, const Program& to, const char* start,
                                size_t length, int count) {
    std::vector<double> samples;
    for (int i = 0; i < count; ++i) {
        const std::string line = Numbered(start, i, length, 'y');
        const std::string shown = Shown(sender, line);
        if (to.HistoryLength() + shown.size() > HISTORY_ROOM && !ClearHistories(from, to)) break;
        const size_t expected = to.HistoryLength() + shown.size();
        if (!FillInputLine(from, line)) break;
        const double typed = NowMs();
        if (!PressEnter(from) || !PollUntilLength(to, expected)) break;
        const double arrived = NowMs();
        if (!EndsWith(to.History(), shown)) break;
        samples.push_back(arrived - typed);
    }
    return samples;
}

// A conversation: a line typed into one copy, and once the other shows it,
// an answer of the same length typed there; timed from the first Enter
// until the first copy shows the answer. Both lines wait in their input
// lines beforehand, so that only the two Enters are inside the time.
std::vector<double> Conversation(const Program& one, const Program& other, size_t length, int count) {
    std::vector<double> samples;
    for (int i = 0; i < count; ++i) {
        const std::string line = Numbered("ask ", i, length, 'a');
        const std::string answer = Numbered("answer ", i, length, 'b');
        const std::string both = Shown("Alice", line) + Shown("Bob", answer);
        if (one.HistoryLength() + both.size() > HISTORY_ROOM && !ClearHistories(one, other)) break;
        const size_t otherExpects = other.HistoryLength() + Shown("Alice", line).size();
        const size_t oneExpects = one.HistoryLength() + both.size();
        if (!FillInputLine(one, line) || !FillInputLine(other, answer)) break;
        const double start = NowMs();
        if (!PressEnter(one) || !PollUntilLength(other, otherExpects) || !PressEnter(other) ||
            !PollUntilLength(one, oneExpects)) {
            break;
        }
        const double end = NowMs();
        if (!EndsWith(one.History(), both)) break;
        samples.push_back(end - start);
    }
    return samples;
}

// Batches of the longest line the input line takes, typed one after the
// other, timed until the last shows on the other side: messages a second.
double TypedThroughput(const Program& from, const char* sender, const Program& to) {
    double totalMs = 0;
    int shownLines = 0;
    for (int batch = 0; batch < TYPED_BATCHES; ++batch) {
        if (!ClearHistories(from, to)) return -1;
        std::string expected;
        const double start = NowMs();
        for (int i = 0; i < TYPED_BATCH_LINES; ++i) {
            const std::string line = Numbered("bulk ", batch * TYPED_BATCH_LINES + i, INPUT_LINE_LIMIT, 'w');
            if (!from.Type(line)) return -1;
            expected += Shown(sender, line);
        }
        const double ms = MsUntilHistoryIs(to, expected, start);
        if (ms < 0) return -1;
        totalMs += ms;
        shownLines += TYPED_BATCH_LINES;
    }
    return shownLines * 1000.0 / totalMs;
}

void ThroughputFigures(const std::string& name, double messagesPerSecond, size_t wireBytes) {
    if (messagesPerSecond <= 0) {
        Missing(name.c_str(), "failed");
        return;
    }
    Figure(name.c_str(), messagesPerSecond, "msg/s");
    Figure((name + "_kb").c_str(), messagesPerSecond * static_cast<double>(wireBytes) / 1024.0, "KB/s");
}

// The copies must outlive scripts/bench's second reading of /proc, or they
// would be missing from it: it writes its figure into the file that
// NORRIK_BENCH_PROC_FIGURES names once it has read. Waits for that, 10 s
// at most; at once when run by hand.
void WaitForProcReading() {
    char path[MAX_PATH] = "Z:";
    const DWORD length = GetEnvironmentVariableA("NORRIK_BENCH_PROC_FIGURES", path + 2, sizeof path - 2);
    if (length == 0 || length >= sizeof path - 2) return;
    const DWORD begun = GetTickCount();
    while (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES && GetTickCount() - begun < 10000) Sleep(20);
}

// Memory of both copies once connected, then the CPU time each uses over
// IDLE_MS in which nothing talks to them, beside an empty window's.
void MeasureIdle(const Program& server, const Program& client) {
    PROCESS_INFORMATION empty = {};
    HWND emptyWindow = nullptr;
    TimeToWindow(BesideMe("empty_window.exe"), EMPTY_WINDOW_CLASS, &empty, &emptyWindow);
    Sleep(1000);
    MemoryFigures("norrik.idle.client.memory", client.process.hProcess);
    MemoryFigures("norrik.idle.server.memory", server.process.hProcess);
    const char* const names[] = {"norrik.idle.client.cpu", "norrik.idle.server.cpu", "empty.idle.cpu"};
    const HANDLE processes[] = {client.process.hProcess, server.process.hProcess, empty.hProcess};
    double before[3];
    for (int i = 0; i < 3; ++i) before[i] = Running(processes[i]) ? CpuMs(processes[i]) : -1;
    // scripts/bench reads the Linux processes' own times from /proc at
    // these two marks.
    Figure("idle.begin", 0, "mark");
    Sleep(IDLE_MS);
    Figure("idle.end", 0, "mark");
    WaitForProcReading();
    for (int i = 0; i < 3; ++i) {
        // A process that ended meanwhile would give the times of a shorter while.
        const double after = Running(processes[i]) ? CpuMs(processes[i]) : -1;
        if (!processes[i]) {
            Missing(names[i], "not-started");
        } else if (before[i] < 0 || after < 0) {
            Missing(names[i], Running(processes[i]) ? "GetProcessTimes-failed" : "the-process-ended");
        } else {
            Figure(names[i], after - before[i], "ms/30s");
        }
    }
    EndProcess(empty, emptyWindow);
}

void MeasureTwoCopies(bool idle, bool chat) {
    Program alice("Alice");
    if (!alice.started() || !Serve(alice)) {
        Missing("norrik.pair", "server-did-not-start");
        return;
    }
    Program bob("Bob");
    if (!bob.started() || !bob.ConnectThroughDialog("127.0.0.1") ||
        !bob.WaitForHistory("*** You are connected to Alice.") ||
        !alice.WaitForHistory("*** You are connected to Bob.")) {
        Missing("norrik.pair", "copies-did-not-connect");
        return;
    }
    if (idle) MeasureIdle(alice, bob);
    if (!chat) return;
    for (const View& view : VIEWS) {
        if (view.minimised) {
            Minimise(alice);
            Minimise(bob);
        }
        const std::string name = view.prefix;
        const double poll = PollRoundTrip(bob);
        if (poll < 0) {
            Missing((name + "poll").c_str(), "the-copy-did-not-answer");
        } else {
            Figure((name + "poll").c_str(), poll, "us");
        }
        // "short 0001 " and five more: 16 characters, 19 bytes, 2 blocks.
        LatencyFigures((name + "short.oneway").c_str(),
                       ChatLatency(alice, "Alice", bob, "short ", 16, SHORT_LINES), SHORT_LINES);
        // The longest line the input line takes: 303 bytes, 31 blocks.
        LatencyFigures((name + "typed300.oneway").c_str(),
                       ChatLatency(alice, "Alice", bob, "long ", INPUT_LINE_LIMIT, LONG_LINES), LONG_LINES);
        LatencyFigures((name + "talk.short.roundtrip").c_str(), Conversation(alice, bob, 16, ROUND_TRIPS),
                       ROUND_TRIPS);
        LatencyFigures((name + "talk.typed300.roundtrip").c_str(),
                       Conversation(alice, bob, INPUT_LINE_LIMIT, ROUND_TRIPS), ROUND_TRIPS);
        ThroughputFigures(name + "typed300.throughput", TypedThroughput(alice, "Alice", bob),
                          ChatMessage(std::string(INPUT_LINE_LIMIT, 'w')).size());
    }
}

// ------------------------------------------------------ a history that fills

constexpr int FILL_MESSAGES = 3500;  // enough for three trims and a while after them
constexpr DWORD FILL_SAMPLE_MS = 2000;
constexpr size_t FILL_FULL = 750000;  // what the program trims its history to

struct FillSender {
    SOCKET socket = INVALID_SOCKET;
    bool sent = false;
};

// Sends FILL_MESSAGES messages of 500 text bytes, one block per send call,
// back to back; a send waits as long as the receiver takes.
DWORD WINAPI SendFill(void* argument) {
    FillSender* sender = static_cast<FillSender*>(argument);
    for (int i = 0; i < FILL_MESSAGES; ++i) {
        const std::string message = ChatMessage(Numbered("fill ", i, MAX_TEXT_LENGTH, 'f'));
        for (size_t at = 0; at < message.size(); at += WIRE_BLOCK) {
            if (send(sender->socket, message.data() + at, WIRE_BLOCK, 0) != WIRE_BLOCK) return 1;
        }
    }
    sender->sent = true;
    return 0;
}

SOCKET ConnectFill() {
    static WSADATA data;
    static const int started = WSAStartup(MAKEWORD(2, 2), &data);
    if (started != 0) return INVALID_SOCKET;
    SOCKET handle = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const BOOL on = TRUE;
    setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in where = {};
    where.sin_family = AF_INET;
    where.sin_port = htons(CHAT_PORT);
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(handle, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
        closesocket(handle);
        return INVALID_SOCKET;
    }
    return handle;
}

struct FillSample {
    double ms;
    int shown;  // messages shown so far: the number of the last one, plus one
    size_t length;
    double pagefileKb;
};

FillSample SampleFill(HWND history, HANDLE process, double start) {
    FillSample sample = {NowMs() - start, 0, 0, 0};
    std::vector<char> text(1, '\0');
    DWORD_PTR length = 0, copied = 0;
    if (Ask(history, WM_GETTEXTLENGTH, 0, 0, &length)) text.resize(length + 1, '\0');
    Ask(history, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied);
    const std::string shown(text.data(), copied);
    sample.length = shown.size();
    const size_t last = shown.rfind("<Raw> fill ");
    if (last != std::string::npos) sample.shown = std::atoi(shown.c_str() + last + 11) + 1;
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(process, &counters, sizeof counters)) sample.pagefileKb = counters.PagefileUsage / 1024.0;
    return sample;
}

double Rate(const FillSample& from, const FillSample& to) { return (to.shown - from.shown) * 1000.0 / (to.ms - from.ms); }

// The burst sent over socket to the shown window whose history pane is
// history, sampled every FILL_SAMPLE_MS: messages a second over the first
// 10 s, over the intervals that begin with the history at least
// FILL_FULL long, and over the interval after each of the first three
// trims (a sample shorter than the one before); the time until all have
// arrived, and the memory after the first trim and after the burst.
void MeasureFill(const std::string& name, HWND history, HANDLE process, SOCKET socket) {
    FillSender sender;
    sender.socket = socket;
    const double start = NowMs();
    HANDLE thread = CreateThread(nullptr, 0, SendFill, &sender, 0, nullptr);
    std::vector<FillSample> samples = {{0, 0, 0, 0}};
    double allMs = -1;
    while (samples.back().ms < 1200000.0 && Running(process)) {
        const double due = samples.back().ms + FILL_SAMPLE_MS;
        while (NowMs() - start < due) {
            Sleep(100);
        }
        samples.push_back(SampleFill(history, process, start));
        const FillSample& now = samples.back();
        std::printf("%s.trace %.1fs %d %zu %.0fKB\n", name.c_str(), now.ms / 1000, now.shown, now.length,
                    now.pagefileKb);
        std::fflush(stdout);
        if (now.shown >= FILL_MESSAGES) break;
        // Nothing more for 30 s: it has stopped.
        if (samples.size() > 15 && samples[samples.size() - 16].shown == now.shown) break;
    }
    if (samples.back().shown >= FILL_MESSAGES) allMs = samples.back().ms;
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    size_t tenth = 1;  // the first sample 10 s after the start
    while (tenth + 1 < samples.size() && samples[tenth].ms < 10000) ++tenth;
    Figure((name + ".first").c_str(), tenth < samples.size() ? Rate(samples[0], samples[tenth]) : -1, "msg/s");
    int fullShown = 0;
    double fullMs = 0;
    std::vector<size_t> trims;
    for (size_t i = 1; i + 1 < samples.size(); ++i) {
        if (samples[i].length >= FILL_FULL && samples[i + 1].shown < FILL_MESSAGES) {
            fullShown += samples[i + 1].shown - samples[i].shown;
            fullMs += samples[i + 1].ms - samples[i].ms;
        }
        if (samples[i].length < samples[i - 1].length) trims.push_back(i);
    }
    if (fullMs > 0) {
        Figure((name + ".full").c_str(), fullShown * 1000.0 / fullMs, "msg/s");
    } else {
        Missing((name + ".full").c_str(), "never-full");
    }
    for (size_t trim = 0; trim < 3; ++trim) {
        const std::string label = name + ".trim" + std::to_string(trim + 1);
        if (trim < trims.size() && trims[trim] + 1 < samples.size() && samples[trims[trim] + 1].shown < FILL_MESSAGES) {
            Figure(label.c_str(), Rate(samples[trims[trim]], samples[trims[trim] + 1]), "msg/s");
        } else {
            Missing(label.c_str(), "no-trim");
        }
    }
    if (allMs > 0) {
        Figure((name + ".all").c_str(), allMs / 1000, "s");
    } else {
        Missing((name + ".all").c_str(), "not-all-arrived");
    }
    if (!trims.empty()) Figure((name + ".memory.trim1").c_str(), samples[trims[0]].pagefileKb, "KB");
    Figure((name + ".memory.end").c_str(), samples.back().pagefileKb, "KB");
}

void MeasureFills() {
    {
        Program alice("Alice");
        if (!alice.started() || !Serve(alice)) {
            Missing("norrik.fill", "server-did-not-start");
        } else {
            SOCKET socket = ConnectFill();
            const std::string hello = ControlMessage(static_cast<char>(CTRL_HELLO), "Raw");
            if (socket == INVALID_SOCKET ||
                send(socket, hello.data(), static_cast<int>(hello.size()), 0) != static_cast<int>(hello.size()) ||
                !alice.WaitForHistory("*** You are connected to Raw.")) {
                Missing("norrik.fill", "peer-did-not-connect");
            } else {
                MeasureFill("norrik.fill", alice.history, alice.process.hProcess, socket);
            }
            if (socket != INVALID_SOCKET) closesocket(socket);
        }
    }
    PROCESS_INFORMATION started = {};
    HWND window = nullptr;
    if (TimeToWindow(BesideMe("history_window.exe"), HISTORY_WINDOW_CLASS, &started, &window) < 0) {
        Missing("history.fill", "did-not-start");
    } else {
        SOCKET socket = ConnectFill();
        HWND history = FindWindowExA(window, nullptr, "EDIT", nullptr);
        if (socket == INVALID_SOCKET || !history) {
            Missing("history.fill", "did-not-connect");
        } else {
            MeasureFill("history.fill", history, started.hProcess, socket);
        }
        if (socket != INVALID_SOCKET) closesocket(socket);
    }
    EndProcess(started, window);
}

// ------------------------------------------------- a copy and a raw peer

bool SendInBlocks(RawPeer& peer, const std::string& message) {
    for (size_t at = 0; at < message.size(); at += WIRE_BLOCK) {
        if (!peer.Send(message.substr(at, WIRE_BLOCK))) return false;
    }
    return true;
}

// The peer sends messages of 500 text bytes (51 blocks, one block per send
// call) back to back; timed until the copy's history shows the last.
double ReceivedThroughput(RawPeer& peer, const Program& copy) {
    double totalMs = 0;
    int shownMessages = 0;
    for (int batch = 0; batch < RECEIVED_BATCHES; ++batch) {
        if (!ClearHistory(copy)) return -1;
        std::string expected;
        std::vector<std::string> messages;
        for (int i = 0; i < RECEIVED_BATCH_MESSAGES; ++i) {
            const std::string text = Numbered("rx ", batch * RECEIVED_BATCH_MESSAGES + i, MAX_TEXT_LENGTH, 'z');
            messages.push_back(ChatMessage(text));
            expected += Shown("Raw", text);
        }
        const double start = NowMs();
        for (const std::string& message : messages) {
            if (!SendInBlocks(peer, message)) return -1;
        }
        const double ms = MsUntilHistoryIs(copy, expected, start);
        if (ms < 0) return -1;
        totalMs += ms;
        shownMessages += RECEIVED_BATCH_MESSAGES;
    }
    return shownMessages * 1000.0 / totalMs;
}

// The peer's side of a conversation: in the clear, or sealed when noise is
// given (after its handshake with the copy).
struct PeerSide {
    RawPeer& raw;
    NoisePeer* noise;
};

// Wire bytes of a control message with a text of that many characters.
size_t WireSize(size_t textLength) { return (2 + textLength + 2 + WIRE_BLOCK - 1) / WIRE_BLOCK * WIRE_BLOCK; }

std::string TextOfMessage(const std::string& wire) {
    const size_t end = wire.find("\x0C\x0D");
    return wire.size() < 2 || end == std::string::npos ? "" : wire.substr(2, end - 2);
}

// Reads the copy's next message (kind, code, text) whole; in records when
// the conversation is encrypted.
bool ReadFromCopy(PeerSide& peer, const std::string& message) {
    if (!peer.noise) return peer.raw.Read(Padded(message).size()) == Padded(message);
    std::string joined;
    for (size_t at = 0; at == 0 || at < message.size(); at += RECORD_PART_MAX) {
        const size_t part = std::min(RECORD_PART_MAX, message.size() - at);
        const size_t text = sodium_base64_ENCODED_LEN(1 + part + noise::TAG_LEN,
                                                      sodium_base64_VARIANT_URLSAFE_NO_PADDING) - 1;
        if (peer.noise->Open(TextOfMessage(peer.raw.Read(WireSize(text))), joined) < 0) return false;
    }
    return joined == message;
}

// Each peer sends as its kind of program does: one of the original
// protocol a block a call, a copy of this program a record in one.
bool SendToCopy(PeerSide& peer, const std::string& message) {
    if (!peer.noise) return SendInBlocks(peer.raw, Padded(message));
    for (const std::string& record : peer.noise->Seal(message)) {
        if (!peer.raw.Send(ControlMessage(static_cast<char>(CTRL_RECORD), record))) return false;
    }
    return true;
}

// A line typed into the copy, timed from Enter to the peer holding all of
// it (one way), and on to the copy showing the peer's answer (round trip):
// the longest line the input line takes (31 blocks in the clear) answered
// with 500 text bytes, or a short line answered with one as long. The copy
// writes its own line into its history before it sends it.
void PeerRoundTrip(PeerSide& peer, const Program& copy, size_t length, std::vector<double>* oneWay,
                   std::vector<double>* roundTrip) {
    for (int i = 0; i < ROUND_TRIPS; ++i) {
        const std::string line = Numbered("ask ", i, length, 'a');
        const std::string answer = Numbered("back ", i, length == INPUT_LINE_LIMIT ? MAX_TEXT_LENGTH : length, 'b');
        const std::string shown = Shown("Alice", line) + Shown("Raw", answer);
        if (copy.HistoryLength() + shown.size() > HISTORY_ROOM && !ClearHistory(copy)) return;
        const size_t expected = copy.HistoryLength() + shown.size();
        if (!FillInputLine(copy, line)) return;
        const double start = NowMs();
        if (!PressEnter(copy)) return;
        const bool received = ReadFromCopy(peer, "\x01" + line);
        const double arrived = NowMs();
        if (!received || !SendToCopy(peer, "\x01" + answer) || !PollUntilLength(copy, expected)) return;
        const double answered = NowMs();
        if (!EndsWith(copy.History(), shown)) return;
        oneWay->push_back(arrived - start);
        roundTrip->push_back(answered - start);
    }
}

// A line the peer sends, timed from its first send call until the copy
// shows all of it: the receiving half of a one-way figure.
std::vector<double> PeerToCopy(PeerSide& peer, const Program& copy, size_t length) {
    std::vector<double> samples;
    for (int i = 0; i < ROUND_TRIPS; ++i) {
        const std::string line = Numbered("in ", i, length, 'i');
        if (copy.HistoryLength() + Shown("Raw", line).size() > HISTORY_ROOM && !ClearHistory(copy)) break;
        const size_t expected = copy.HistoryLength() + Shown("Raw", line).size();
        const double start = NowMs();
        if (!SendToCopy(peer, "\x01" + line) || !PollUntilLength(copy, expected)) break;
        samples.push_back(NowMs() - start);
        if (!EndsWith(copy.History(), Shown("Raw", line))) break;
    }
    return samples;
}

// A peer joins the serving copy: greetings both ways, and with noise the
// handshake, the peer opening it as a copy would. The copy's history says
// which it became.
bool JoinCopy(PeerSide& peer, Program& copy) {
    const std::string hello = ControlMessage(static_cast<char>(CTRL_HELLO), "Alice");
    if (!peer.raw.Connect(CHAT_PORT) || peer.raw.Read(hello.size()) != hello ||
        !peer.raw.Send(ControlMessage(static_cast<char>(CTRL_HELLO), "Raw"))) {
        return false;
    }
    if (!peer.noise) return true;
    peer.noise->Begin(true, "Raw", "Alice");
    return peer.raw.Send(ControlMessage(static_cast<char>(CTRL_HANDSHAKE), peer.noise->Write())) &&
           peer.noise->Read(TextOfMessage(peer.raw.Read(WireSize(128)))) &&
           peer.raw.Send(ControlMessage(static_cast<char>(CTRL_HANDSHAKE), peer.noise->Write())) &&
           copy.WaitForHistory("***Encrypted");
}

// From the peer's connect to the copy showing the peer's first line, each
// time on a new connection: in the clear the line follows the greetings at
// once; encrypted it waits for the handshake's one round trip.
std::vector<double> FirstLines(Program& copy, bool encrypted) {
    std::vector<double> samples;
    NoisePeer noise(5);
    for (int i = 0; i < FIRST_LINES; ++i) {
        if (!ClearHistory(copy)) break;
        RawPeer raw;
        PeerSide peer{raw, encrypted ? &noise : nullptr};
        const std::string line = Numbered("first ", i, 16, 'f');
        const double start = NowMs();
        if (!JoinCopy(peer, copy) || !SendToCopy(peer, "\x01" + line) ||
            !copy.WaitForHistory(Shown("Raw", line))) {
            break;
        }
        samples.push_back(NowMs() - start);
        raw.Close();
        if (!copy.WaitForHistory("has quit")) break;
    }
    return samples;
}

void MeasureCopyWithPeer() {
    Program alice("Alice");
    if (!alice.started() || !Serve(alice)) {
        Missing("norrik.peer", "server-did-not-start");
        return;
    }
    for (bool encrypted : {false, true}) {
        if (!ClearHistory(alice)) return;
        RawPeer raw;
        NoisePeer noise(5);
        PeerSide peer{raw, encrypted ? &noise : nullptr};
        if (!JoinCopy(peer, alice) || !alice.WaitForHistory("*** You are connected to Raw.")) {
            Missing("norrik.peer", "peer-did-not-connect");
            return;
        }
        // A peer in the clear is known as one at its first line.
        if (!encrypted && !(SendToCopy(peer, "\x01hello") && alice.WaitForHistory("***Not encrypted"))) {
            Missing("norrik.peer", "peer-not-settled");
            return;
        }
        const std::string sealed = encrypted ? "sealed." : "";
        for (const View& view : VIEWS) {
            if (view.minimised) Minimise(alice);
            const std::string name = view.prefix + sealed;
            if (!encrypted) {
                ThroughputFigures(name + "received500.throughput", ReceivedThroughput(peer.raw, alice),
                                  ChatMessage(std::string(MAX_TEXT_LENGTH, 'z')).size());
            }
            for (const auto& [length, label] : {std::pair<size_t, const char*>{16, "peer16."},
                                                {INPUT_LINE_LIMIT, "peer300."}}) {
                std::vector<double> oneWay, roundTrip;
                PeerRoundTrip(peer, alice, length, &oneWay, &roundTrip);
                LatencyFigures((name + label + "oneway").c_str(), oneWay, ROUND_TRIPS);
                LatencyFigures((name + label + "roundtrip").c_str(), roundTrip, ROUND_TRIPS);
                LatencyFigures((name + label + "in").c_str(), PeerToCopy(peer, alice, length), ROUND_TRIPS);
            }
        }
        // Both conversations are measured alike: shown first, then minimised.
        ShowWindowAsync(alice.window, SW_RESTORE);
        raw.Close();
        if (!alice.WaitForHistory("has quit")) return;
    }
    LatencyFigures("plain.firstline", FirstLines(alice, false), FIRST_LINES);
    LatencyFigures("sealed.firstline", FirstLines(alice, true), FIRST_LINES);
}

bool Wanted(int argc, char** argv, const char* section) {
    if (argc < 2) return true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], section) == 0) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (Wanted(argc, argv, "startup")) MeasureStartup();
    const bool idle = Wanted(argc, argv, "idle");
    const bool chat = Wanted(argc, argv, "chat");
    if (idle || chat) MeasureTwoCopies(idle, chat);
    if (Wanted(argc, argv, "peer")) MeasureCopyWithPeer();
    if (Wanted(argc, argv, "fill")) MeasureFills();
    return 0;
}
