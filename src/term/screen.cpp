#include "term/screen.h"

#include <curses.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/commands.h"
#include "console/history.h"
#include "net/alerts.h"
#include "net/connection.h"
#include "popup/popup_rules.h"
#include "settings/settings.h"
#include "term/code_page.h"
#include "term/event_loop.h"
#include "term/history_lines.h"
#include "term/history_view.h"
#include "term/input_editor.h"
#include "term/popups.h"
#include "term/settings_file.h"
#include "term/status_line.h"
#include "term/state.h"

namespace {

bool IsControlKey(wchar_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0); }

constexpr int KEY_CTRL_C = 3;
constexpr int KEY_CTRL_J = 10;
constexpr int KEY_ENTER_CR = 13;
constexpr int KEY_ESCAPE = 27;
constexpr int KEY_DELETE_ASCII = 127;
constexpr int KEY_CTRL_A = 1;
constexpr int KEY_CTRL_E = 5;
constexpr int KEY_CTRL_H = 8;
constexpr int KEY_CTRL_L = 12;
constexpr int KEY_TAB = 9;
// Closes every received popup at once, wherever the keys are: a peer that
// sends many cannot bury the screen.
constexpr int KEY_CTRL_X = 24;
constexpr int BOX_WIDTH = 60;
const char* const POPUP_KEYS = "r: reply  Esc: close  Ctrl+X: close all  Tab: back";
constexpr int DRAW_INTERVAL_MS = 30;

// Set by /exit, Ctrl+C, and the signals that ask a program to end.
volatile std::sig_atomic_t leaving = 0;
ComposeBox& compose = term.compose;

void Leave() { leaving = 1; }

// A terminal closed (SIGHUP) or a polite kill (SIGTERM) leaves as /exit
// does: the quit message to a connected peer, and the terminal put back.
void LeaveOnSignal(int) {
    leaving = 1;
    WakeEventLoop();
}

// ------------------------------------------------------------- drawing

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// Text (already Shown) in at most width columns from row, column.
void DrawText(int row, int column, const std::wstring& text, int width) {
    if (width <= 0) return;
    const std::wstring fits = FitColumns(text, width);
    mvaddnwstr(row, column, fits.c_str(), static_cast<int>(fits.size()));
}

// The history lies between the status line and the input line; PgUp and
// PgDn move it by its height less one row.
int HistoryHeight() { return std::max(0, LINES - 2); }
int Page() { return std::max(1, HistoryHeight() - 1); }

int TextColumns(const std::wstring& text) {
    int columns = 0;
    for (wchar_t c : text) columns += ColumnsOf(c);
    return columns;
}

// A row of the history in the colour of its line's kind: a line of the
// program whole, a chat line's name on its first row.
void DrawHistoryRow(int row, const std::wstring& text, LineKind kind, bool first) {
    const size_t stamp = BeginsWithStamp(text) ? STAMP_LENGTH : 0;
    const size_t nameEnd = text.find(L'>', stamp);
    const bool name = (kind == LineKind::Own || kind == LineKind::Peer) && first && nameEnd != std::wstring::npos;
    const bool whole = kind == LineKind::System || kind == LineKind::Error;
    const attr_t colour = COLOR_PAIR(static_cast<short>(kind));
    const size_t from = name ? stamp : whole ? 0 : text.size(), to = name ? nameEnd + 1 : text.size();
    DrawText(row, 0, text.substr(0, from), COLS);
    const int before = TextColumns(text.substr(0, from));
    attron(colour);
    DrawText(row, before, text.substr(from, to - from), COLS - before);
    attroff(colour);
    const int within = before + TextColumns(text.substr(from, to - from));
    DrawText(row, within, text.substr(to), COLS - within);
}

// A framed box in the middle of the screen, shifted by offset rows and
// columns so that stacked boxes show their edges.
void DrawBox(int offset, const std::wstring& caption, const std::wstring& text, const std::string& keys) {
    const int width = std::min(BOX_WIDTH, COLS - 2);
    if (width < 10 || LINES < 6) return;
    const std::vector<std::wstring> rows = WrapRows(text, width - 4);
    const int height = std::min(static_cast<int>(rows.size()) + 4, LINES - 2);
    const int top = std::max(1, std::min((LINES - height) / 2 + offset, LINES - height - 1));
    const int left = std::max(0, std::min((COLS - width) / 2 + offset * 2, COLS - width));
    for (int row = 0; row < height; ++row) mvhline(top + row, left, ' ', width);
    // Plain characters for the frame: they look the same in every terminal,
    // locale and multiplexer.
    mvhline(top, left, '-', width);
    mvhline(top + height - 1, left, '-', width);
    for (int row = 0; row < height; ++row) {
        mvaddch(top + row, left, row == 0 || row == height - 1 ? '+' : '|');
        mvaddch(top + row, left + width - 1, row == 0 || row == height - 1 ? '+' : '|');
    }
    attron(A_BOLD);
    DrawText(top, left + 2, L" " + caption + L" ", width - 4);
    attroff(A_BOLD);
    const int shown = height - 4;
    const int first = std::max(0, static_cast<int>(rows.size()) - shown);
    for (int row = 0; row < shown && first + row < static_cast<int>(rows.size()); ++row) {
        DrawText(top + 1 + row, left + 2, rows[static_cast<size_t>(first + row)], width - 4);
    }
    DrawText(top + height - 2, left + 2, Wide(keys), width - 4);
}

void SetTitle(bool marked) {
    // An xterm title sequence; only our own words go into it, never a peer's.
    std::printf("\033]0;%s\007", marked ? "* Norrik" : "Norrik");
    std::fflush(stdout);
}

void Draw() {
    if (term.bells > 0) {
        beep();
        term.bells = 0;
    }
    if (term.titleMarked != term.titleMarkedShown) {
        term.titleMarkedShown = term.titleMarked;
        SetTitle(term.titleMarkedShown);
    }
    erase();
    attron(A_REVERSE);
    mvhline(0, 0, ' ', COLS);
    DrawText(0, 1, Wide("Norrik " NORRIK_VERSION_TEXT " | ") + StatusLine(CurrentConnection()), COLS - 2);
    const std::string note = StatusNote(term.popups.size(), term.focus, term.view);
    if (!note.empty()) DrawText(0, std::max(1, COLS - 1 - static_cast<int>(note.size())), Wide(note), COLS - 2);
    attroff(A_REVERSE);

    std::vector<RowSource> sources;
    const std::vector<std::wstring> rows = ShownRows(term.history, term.view, COLS, HistoryHeight(), &sources);
    const std::string peer = CurrentConnection().peer;
    for (size_t row = 0; row < rows.size(); ++row) {
        const RowSource& from = sources[row];
        const std::string line = term.history.substr(from.lineStart, from.lineEnd - from.lineStart);
        DrawHistoryRow(1 + static_cast<int>(row), rows[row], term.colours ? KindOf(line, peer) : LineKind::Plain,
                       from.first);
    }
    if (!term.view.atEnd) {
        attron(A_REVERSE);
        DrawText(1, std::max(0, COLS - 12), L" PgDn: newer ", 12);
        attroff(A_REVERSE);
    }

    // The input line, scrolled by whole characters so that the caret
    // stays in view.
    const int inputWidth = std::max(1, COLS - 3);
    const std::wstring input = Printable(term.input);
    size_t shift = 0;
    int caretColumn = TextColumns(input.substr(0, term.caret));
    while (caretColumn > inputWidth && shift < term.caret) caretColumn -= ColumnsOf(input[shift++]);
    mvaddstr(LINES - 1, 0, "> ");
    DrawText(LINES - 1, 2, input.substr(shift), inputWidth);
    const int cursorRow = LINES - 1, cursorColumn = 2 + caretColumn;

    int offset = 0;
    const bool inPopups = term.focus == Focus::Popups;
    for (size_t i = 0; i < term.popups.size(); ++i) {
        const ReceivedPopupBox& popup = term.popups[i];
        const bool newest = i + 1 == term.popups.size();
        DrawBox(offset++, Printable(popup.caption), FromWire(popup.text),
                !newest ? "" : inPopups ? POPUP_KEYS : "Tab: go here to reply or close");
    }
    if (compose.open) {
        DrawBox(offset++, Printable(compose.caption), compose.text + L"_",
                "Enter: send   Ctrl+J: new line   Esc: cancel");
    }
    if (!term.boxes.empty()) DrawBox(offset, L"Error", Printable(term.boxes.front().substr(7)), "Esc: OK");
    curs_set(!compose.open && !inPopups ? 1 : 0);
    move(cursorRow, cursorColumn);
    refresh();
    term.changed = false;
}

// ---------------------------------------------------------------- keys

// A key as ncurses reads it: a function key (KEY_LEFT...), or a character,
// control characters among them (Enter is 13, Esc 27).
struct Key {
    int function = 0;
    wchar_t character = 0;
    bool Is(int c) const { return function == 0 && character == static_cast<wchar_t>(c); }
};

bool ReadKey(Key* key) {
    wint_t code = 0;
    const int kind = get_wch(&code);
    if (kind == ERR) return false;
    *key = Key();
    if (kind == KEY_CODE_YES) {
        key->function = static_cast<int>(code);
    } else {
        key->character = static_cast<wchar_t>(code);
    }
    return true;
}

bool IsTyped(const Key& key) { return key.function == 0 && !IsControlKey(key.character); }

void Unget(const Key& key) {
    if (key.function) {
        ungetch(key.function);
    } else {
        unget_wch(key.character);
    }
}

// After Esc, the rest of a sequence the terminal sends: focus in, focus out.
bool ReadFocusReport() {
    Key second;
    if (!ReadKey(&second)) return false;
    if (!second.Is('[')) {
        Unget(second);
        return false;
    }
    Key third;
    if (!ReadKey(&third)) {
        unget_wch(L'[');
        return false;
    }
    if (third.Is('I') || third.Is('O')) {
        SetWindowActive(third.Is('I'));
        return true;
    }
    Unget(third);
    unget_wch(L'[');
    return false;
}

bool IsEnter(const Key& key) { return key.Is(KEY_ENTER_CR) || key.Is(KEY_CTRL_J) || key.function == KEY_ENTER; }

bool IsBackspace(const Key& key) {
    return key.function == KEY_BACKSPACE || key.Is(KEY_DELETE_ASCII) || key.Is(KEY_CTRL_H);
}

// Error boxes never take typed text: what is typed goes where it would
// without them. Esc dismisses the oldest, whatever has the keys, and so
// does Enter on an empty input line. True when the key dismissed one.
bool KeyForBox(const Key& key) {
    const bool onEmptyLine = !compose.open && term.focus == Focus::InputLine && term.input.empty();
    if (term.boxes.empty() || !(key.Is(KEY_ESCAPE) || (IsEnter(key) && onEmptyLine))) return false;
    term.boxes.erase(term.boxes.begin());
    return true;
}

void KeyForCompose(const Key& key) {
    std::wstring& composeText = compose.text;
    if (key.Is(KEY_ESCAPE)) {
        compose.open = false;
    } else if (key.Is(KEY_ENTER_CR) || key.function == KEY_ENTER) {
        // Empty: the box says so and the window stays, as on Windows.
        const std::string text = ToWire(composeText);
        SendPopupAndTrace(text, [&] {
            if (SendPopupText(text.c_str())) compose.open = false;
            return !compose.open;
        });
    } else if (key.Is(KEY_CTRL_J)) {
        if (WireLength(composeText + L"\r\n") <= static_cast<size_t>(POPUP_EDIT_LIMIT)) composeText += L"\r\n";
    } else if (IsBackspace(key)) {
        if (composeText.size() >= 2 && composeText.compare(composeText.size() - 2, 2, L"\r\n") == 0) {
            composeText.erase(composeText.size() - 2);
        } else if (!composeText.empty()) {
            composeText.pop_back();
        }
    } else if (IsTyped(key)) {
        if (WireLength(composeText + key.character) <= static_cast<size_t>(POPUP_EDIT_LIMIT)) {
            composeText += key.character;
        }
    }
}

// The popups have the keys only once the user went to them with Tab:
// reply and close work only there, so that nothing typed for the input
// line ever answers or closes a box.
void KeyForPopup(const Key& key) {
    if (key.Is(KEY_ESCAPE)) {
        term.popups.pop_back();
    } else if (key.Is('r') || key.Is('R')) {
        RunCommand(Command::OpenSendWindow, "");
    } else if (key.Is(KEY_TAB)) {
        term.focus = Focus::InputLine;
    }
}

void KeyForInputLine(const Key& key) {
    if (IsEnter(key)) {
        ViewCleared(term.view);
        EnterInputLine();
    } else if (IsBackspace(key)) {
        EditInputLine(EditKey::Backspace);
    } else if (key.Is(KEY_CTRL_A)) {
        EditInputLine(EditKey::Home);
    } else if (key.Is(KEY_CTRL_E)) {
        EditInputLine(EditKey::End);
    } else if (IsTyped(key)) {
        TypeCharacter(key.character);
    }
    switch (key.function) {
    case KEY_LEFT: EditInputLine(EditKey::Left); break;
    case KEY_RIGHT: EditInputLine(EditKey::Right); break;
    case KEY_HOME: EditInputLine(EditKey::Home); break;
    case KEY_END: EditInputLine(EditKey::End); break;
    case KEY_DC: EditInputLine(EditKey::Delete); break;
    case KEY_UP: EditInputLine(EditKey::Up); break;
    case KEY_DOWN: EditInputLine(EditKey::Down); break;
    case KEY_PPAGE: ScrollHistory(term.history, term.view, -Page(), COLS, HistoryHeight()); break;
    case KEY_NPAGE: ScrollHistory(term.history, term.view, Page(), COLS, HistoryHeight()); break;
    default: break;
    }
}

// Standard input hung up or broke: the terminal went away without a
// SIGHUP (a multiplexer's pane, a closed pseudo-terminal), and would report
// so at every wait, for good.
bool InputGone() {
    pollfd input = {STDIN_FILENO, POLLIN, 0};
    return poll(&input, 1, 0) > 0 && (input.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void OnKeys() {
    // Leave as on SIGHUP, once the keys that came before are handled.
    if (InputGone()) Leave();
    for (Key key; ReadKey(&key);) {
        term.changed = true;
        if (key.Is(KEY_CTRL_C)) {
            Leave();
        } else if (key.function == KEY_RESIZE || key.Is(KEY_CTRL_L)) {
            clearok(stdscr, TRUE);
        } else if (key.Is(KEY_ESCAPE) && ReadFocusReport()) {
            continue;
        } else if (KeyForBox(key)) {
            continue;
        } else if (compose.open) {
            KeyForCompose(key);
        } else if (key.Is(KEY_CTRL_X)) {
            term.popups.clear();
        } else if (key.Is(KEY_TAB) && term.focus == Focus::InputLine) {
            if (!term.popups.empty()) term.focus = Focus::Popups;
        } else if (term.focus == Focus::Popups) {
            KeyForPopup(key);
        } else {
            KeyForInputLine(key);
        }
        if (term.popups.empty()) term.focus = Focus::InputLine;
    }
}

}  // namespace

void LeaveScreen() { Leave(); }

int RunScreen(const Arguments& arguments) {
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
        std::fprintf(stderr, "norrik: the screen needs a terminal; norrik send works without one\n");
        return 1;
    }
    LoadCurrentSettings();
    TellDroppedPopups();
    const bool codePageKnown = UseCodePage(static_cast<uint32_t>(CurrentSettings().CodePage));
    term.timestamps = CurrentSettings().Timestamps != 0;
    initscr();
    term.colours = ColoursWanted(has_colors(), std::getenv("NO_COLOR"));
    if (term.colours) {
        start_color();
        use_default_colors();
        init_pair(static_cast<short>(LineKind::Own), COLOR_GREEN, -1);
        init_pair(static_cast<short>(LineKind::Peer), COLOR_MAGENTA, -1);
        init_pair(static_cast<short>(LineKind::System), COLOR_CYAN, -1);
        init_pair(static_cast<short>(LineKind::Error), COLOR_RED, -1);
    }
    raw();
    // Enter arrives as a carriage return, apart from Ctrl+J.
    nonl();
    noecho();
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    set_escdelay(25);
    // Focus reports, where the terminal offers them: the title is marked
    // only while the terminal has no focus.
    std::printf("\033[?1004h");
    SetTitle(false);

    if (!LoginNameTaken().empty()) {
        const std::string line = "***Your nickname is " + ToWire(FromLocale(LoginNameTaken())) +
                                 ", your login name: /nick NAME changes it, /save keeps the change\r\n";
        AppendHistory(line.c_str());
    }
    if (!SettingsFileProblem().empty()) {
        AppendHistory(("***" + SettingsFileProblem() + "\r\n").c_str());
    }
    if (!codePageKnown) {
        const std::string line = "***CodePage " + std::to_string(CurrentSettings().CodePage) +
                                 " cannot be converted here: text goes as Windows-1252\r\n";
        AppendHistory(line.c_str());
    }
    InitNetwork();
    if (arguments.startServer) RunCommand(Command::StartServer, "");
    if (!arguments.host.empty()) RunCommand(Command::Connect, arguments.host.c_str());

    WatchDescriptor(STDIN_FILENO, OnKeys);
    std::signal(SIGTERM, LeaveOnSignal);
    std::signal(SIGHUP, LeaveOnSignal);
    // A peer that floods the program keeps the loop busy: the screen is
    // drawn again at most every DRAW_INTERVAL_MS meanwhile, and as soon as
    // the loop has waited that long for nothing. Idle, it waits for good.
    using Clock = std::chrono::steady_clock;
    const auto interval = std::chrono::milliseconds(DRAW_INTERVAL_MS);
    auto lastDraw = Clock::now() - interval;
    bool quiet = true;
    while (!leaving) {
        if (term.changed && (quiet || Clock::now() - lastDraw >= interval)) {
            Draw();
            lastDraw = Clock::now();
        }
        const auto waited = Clock::now();
        RunEventLoopOnce(term.changed ? DRAW_INTERVAL_MS : -1);
        quiet = Clock::now() - waited >= interval;
    }
    // As the Windows program's exit: the quit message to a connected peer.
    ShutdownNetwork();
    for (int i = 0; i < 50 && EventsQueued(); ++i) RunEventLoopOnce(0);
    std::printf("\033[?1004l");
    SetTitle(false);
    endwin();
    return 0;
}
