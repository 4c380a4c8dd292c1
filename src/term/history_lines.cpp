#include "term/history_lines.h"

#include <cwchar>
#include <cwctype>

#include "term/code_page.h"

namespace {

constexpr int TAB_WIDTH = 8;

bool IsControl(wchar_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

}  // namespace

wchar_t Shown(wchar_t c) { return IsControl(c) || wcwidth(c) < 0 ? L'?' : c; }

int ColumnsOf(wchar_t c) {
    const int columns = wcwidth(Shown(c));
    return columns < 0 ? 1 : columns;
}

std::vector<std::wstring> WrapRows(const std::wstring& text, int width) {
    std::vector<std::wstring> rows;
    const int columns = width > 0 ? width : 1;
    std::wstring row;
    int used = 0;
    // Where the last word of the row begins, after a blank; 0: no blank.
    size_t wordStart = 0;
    auto next = [&](const std::wstring& carried) {
        rows.push_back(row.substr(0, row.size() - carried.size()));
        row = carried;
        used = 0;
        for (wchar_t c : row) used += ColumnsOf(c);
        wordStart = 0;
    };
    for (size_t i = 0; i <= text.size(); ++i) {
        const wchar_t c = i < text.size() ? text[i] : L'\n';
        if (c == L'\n') {
            // The last line of the text ends without a line end only when
            // something is still to come on it.
            if (i < text.size() || !row.empty()) next(L"");
            row.clear();
            used = 0;
            continue;
        }
        if (c == L'\r') continue;
        if (c == L'\t') {
            do {
                if (used == columns) next(L"");
                row += L' ';
                ++used;
            } while (used % TAB_WIDTH != 0 && used < columns);
            wordStart = row.size();
            continue;
        }
        const int wide = ColumnsOf(c);
        if (used + wide > columns && used > 0) {
            // A blank at the break goes; a word that does not fit goes
            // whole to the next row, unless it is the row's only one.
            if (c == L' ') {
                next(L"");
                continue;
            }
            next(wordStart > 0 ? row.substr(wordStart) : L"");
        }
        row += Shown(c);
        used += wide;
        if (c == L' ') wordStart = row.size();
    }
    return rows;
}

std::vector<std::wstring> HistoryRows(const std::string& history, int width) {
    return WrapRows(FromWire(history), width);
}

std::wstring Printable(const std::wstring& text) {
    std::wstring printable;
    for (wchar_t c : text) printable += c == L'\t' ? L' ' : Shown(c);
    return printable;
}

std::wstring Printable(const std::string& wireText) { return Printable(FromWire(wireText)); }

std::wstring FitColumns(const std::wstring& text, int width) {
    int used = 0;
    size_t fits = 0;
    for (; fits < text.size(); ++fits) {
        used += ColumnsOf(text[fits]);
        if (used > width) break;
    }
    return text.substr(0, fits);
}

std::string Stamped(const std::string& text, bool beginsLine, const std::string& stamp) {
    std::string stamped;
    for (size_t i = 0; i < text.size(); ++i) {
        if (i == 0 ? beginsLine : text[i - 1] == '\n') stamped += stamp;
        stamped += text[i];
    }
    return stamped;
}

bool BeginsWithStamp(const std::wstring& row) {
    return row.size() >= STAMP_LENGTH && row[0] == L'[' && std::iswdigit(row[1]) && std::iswdigit(row[2]) &&
           row[3] == L':' && std::iswdigit(row[4]) && std::iswdigit(row[5]) && row[6] == L']' && row[7] == L' ';
}

LineKind KindOf(const std::string& line, const std::string& peer) {
    const std::wstring wide = FromWire(line.substr(0, STAMP_LENGTH));
    const std::string text = BeginsWithStamp(wide) ? line.substr(STAMP_LENGTH) : line;
    auto begins = [&](const std::string& start) { return text.compare(0, start.size(), start) == 0; };
    if (begins("***Error") || begins("Error") || begins("***Not connected")) return LineKind::Error;
    if (begins("***")) return LineKind::System;
    if (!begins("<") || text.find("> ") == std::string::npos) return LineKind::Plain;
    return begins("<" + peer + "> ") ? LineKind::Peer : LineKind::Own;
}

bool ColoursWanted(bool terminalHasColours, const char* noColor) {
    return terminalHasColours && !(noColor && noColor[0] != '\0');
}
