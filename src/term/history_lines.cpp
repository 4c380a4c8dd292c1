#include "term/history_lines.h"

#include <cwchar>

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
    auto next = [&] {
        rows.push_back(row);
        row.clear();
        used = 0;
    };
    for (size_t i = 0; i <= text.size(); ++i) {
        const wchar_t c = i < text.size() ? text[i] : L'\n';
        if (c == L'\n') {
            // The last line of the text ends without a line end only when
            // something is still to come on it.
            if (i < text.size() || !row.empty()) next();
            row.clear();
            used = 0;
            continue;
        }
        if (c == L'\r') continue;
        if (c == L'\t') {
            do {
                if (used == columns) next();
                row += L' ';
                ++used;
            } while (used % TAB_WIDTH != 0 && used < columns);
            continue;
        }
        const int wide = ColumnsOf(c);
        if (used + wide > columns && used > 0) next();
        row += Shown(c);
        used += wide;
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
