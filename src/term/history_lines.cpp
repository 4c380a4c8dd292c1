#include "term/history_lines.h"

namespace {

constexpr size_t TAB_WIDTH = 8;

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

}  // namespace

std::vector<std::string> HistoryRows(const std::string& history, int width) {
    std::vector<std::string> rows;
    const size_t columns = width > 0 ? static_cast<size_t>(width) : 1;
    std::string row;
    for (size_t i = 0; i <= history.size(); ++i) {
        const unsigned char c = i < history.size() ? static_cast<unsigned char>(history[i]) : '\n';
        if (c == '\n') {
            // The last line of the text ends without a line end only when
            // something is still to come on it.
            if (i < history.size() || !row.empty()) rows.push_back(row);
            row.clear();
            continue;
        }
        if (c == '\r') continue;
        if (c == '\t') {
            do {
                if (row.size() == columns) rows.push_back(row), row.clear();
                row += ' ';
            } while (row.size() % TAB_WIDTH != 0 && row.size() < columns);
            continue;
        }
        if (row.size() == columns) rows.push_back(row), row.clear();
        row += IsControl(c) ? '?' : static_cast<char>(c);
    }
    return rows;
}

std::string Printable(const std::string& text) {
    std::string printable;
    for (unsigned char c : text) printable += c == '\t' ? ' ' : IsControl(c) ? '?' : static_cast<char>(c);
    return printable;
}
