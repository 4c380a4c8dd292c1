#pragma once
// What the terminal program keeps, in one record: what it shows as the
// core leaves it through its interfaces (the history, the input line, boxes,
// popups, the compose box), the screen's own place in the history, the
// lines typed before, and the event loop's tables. The core keeps its own
// records and decides; nothing here does.
#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "net/connection_state.h"

struct ReceivedPopupBox {
    std::string caption;  // "Popup message from NAME", the name as it was on arrival
    std::string text;     // as the peer sent it; line ends may be "\r\n"
};

// The send window: open, with the caption the core made and the text so far.
struct ComposeBox {
    bool open = false;
    std::string caption;  // as the core made it, in the wire's code page
    std::wstring text;    // as typed; line breaks are "\r\n"
};

// Lines entered, oldest first, and where Up and Down stand in them: at
// lines.size() the line being typed, kept aside while an older one is shown.
struct InputRecall {
    std::deque<std::wstring> lines;
    size_t at = 0;
    std::wstring typedAside;
};

// Where the keys go. A popup that arrives never takes them: the user goes
// to the popups with Tab, a key that normal text never holds.
enum class Focus { InputLine, Popups };

enum class Selected { None, Listen, Connection };

// What WinSock would remember of a socket between its notifications.
struct SocketRecord {
    Selected selected = Selected::None;
    bool connecting = false;    // a connect is under way: its end is the next notification
    int refusedAtOnce = 0;      // errno of a connect that failed at once, told as its end
    bool accepted = false;      // came from accept: connected already
    bool readArmed = true;      // a read notification may come; again after each read
    bool acceptArmed = true;    // an accept notification may come; again after each accept
    bool writeWanted = false;   // a send would have blocked: tell once it can go on
    bool closeTold = false;     // the close has been told: nothing more comes
};

enum class Target { Listen, Connection, Lookup };

struct Notification {
    Target target;
    uintptr_t handle;  // the socket, or the look-up's handle
    uint32_t event;
    int error;
};

// A look-up runs on a thread of its own with a copy of the name and a
// result of its own: it never touches the core's memory, so one that is
// given up, or still running at exit, can do no harm. The answer is copied
// into the core's buffer when it is handed over.
struct LookupJob {
    uintptr_t handle = 0;
    char name[CONNECT_HOST_SIZE] = {};
    bool found = false;
    uint32_t address = 0;
    char* buffer = nullptr;  // the core's, valid until the answer is handed over
    size_t size = 0;
};

struct EventLoopTables {
    std::map<int, SocketRecord> sockets;
    std::deque<Notification> queue;
    std::map<int, void (*)()> watched;
    std::map<uintptr_t, std::shared_ptr<LookupJob>> lookupsUnderWay;
    uintptr_t nextLookupHandle = 1;
    int lastError = 0;
    int lastConnectErrno = 0;
    int lastCloseErrno = 0;
    // The pipe by which look-ups and signals wake the loop.
    int wakePipe[2] = {-1, -1};
    // The core's greeting timer: whether it is set, and when it is due
    // (MillisecondsNow).
    bool greetingTimerSet = false;
    uint32_t greetingTimerDue = 0;
};

// The settings file's state between the store's calls. The file as lines,
// in their order: values are replaced where they stand, new ones appended,
// and lines of other names or none kept as they are.
struct SettingsFileState {
    std::vector<std::string> lines;
    bool openForWriting = false;
    // A file that is there but cannot be read, or is too large to be read
    // whole, is never written over: what it holds is the user's, and would
    // be lost.
    bool unreadable = false;
    std::string filePath;
    bool filePathSet = false;
    // Why the last write failed, for the user; empty after one that worked.
    std::string problem;
    // Between reading the file and writing it back when the settings load,
    // and what it was before the read began.
    bool loading = false;
    bool loadingBefore = false;
    // The key opened now reads or writes the key store's values.
    bool keyStoreSession = false;
    // A read began and the settings' code page of the file is not yet in use.
    bool codePageDue = false;
    // The login name a load took as the nickname of a new file.
    std::string loginNameTaken;
};

// Following the end, or scrolled back to the row topRow of the line that
// starts at top in the history, while newLines arrived below.
struct HistoryView {
    bool atEnd = true;
    size_t top = 0;
    int topRow = 0;
    size_t newLines = 0;
};

struct BellRecord {
    bool rung = false;
    uint32_t lastAt = 0;  // milliseconds
};

// The converters between the wire's code page and wide characters
// (code_page.cpp), opened when first needed; closed with the record.
struct CodePageConverters {
    iconv_t toWire = reinterpret_cast<iconv_t>(-1);
    iconv_t fromWire = reinterpret_cast<iconv_t>(-1);
    CodePageConverters() = default;
    CodePageConverters(const CodePageConverters&) = delete;
    CodePageConverters& operator=(CodePageConverters&& other) noexcept {
        std::swap(toWire, other.toWire);
        std::swap(fromWire, other.fromWire);
        return *this;
    }
    ~CodePageConverters() {
        for (iconv_t converter : {toWire, fromWire}) {
            if (converter != reinterpret_cast<iconv_t>(-1)) iconv_close(converter);
        }
    }
};

struct TermState {
    // The history pane as the core wrote it, in the wire's code page: lines
    // end in "\r\n". Its length stays within the core's capacity, which
    // trims it.
    std::string history;
    // Texts appended to the history so far: the core tells every refusal
    // of a send in a line.
    size_t historyAppends = 0;
    // The input line as typed, and the caret in it (in characters).
    std::wstring input;
    size_t caret = 0;
    // Message boxes not yet dismissed, oldest first: "Error: text".
    std::vector<std::string> boxes;
    // Received popups the user has not closed yet, oldest first; the core
    // caps how many stay open.
    std::vector<ReceivedPopupBox> popups;
    Focus focus = Focus::InputLine;
    ComposeBox compose;
    // Bells asked for and not rung yet, and when the last was asked for.
    int bells = 0;
    BellRecord bell;
    // A message arrived while the terminal had no focus, and whether the
    // title shows it yet.
    bool titleMarked = false;
    bool titleMarkedShown = false;
    // Which part of the history the screen shows (history_view.h).
    HistoryView view;
    // A time stamp before each line of the history (the setting Timestamps),
    // and colours for the kinds of lines, where the terminal has them.
    bool timestamps = false;
    bool colours = false;
    // Something changed since the screen was last drawn.
    bool changed = true;

    InputRecall recall;
    EventLoopTables loop;
    SettingsFileState settingsFile;
    CodePageConverters codePage;
};

extern TermState term;
