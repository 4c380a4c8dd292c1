#include "term/input_editor.h"

#include "app/interpreter.h"
#include "seams/input_line.h"
#include "term/code_page.h"
#include "term/popups.h"
#include "term/state.h"

namespace {

InputRecall& recall = term.recall;
const std::string POPUP_WORD = "/popup";

void Show(const std::wstring& line) {
    term.input = line;
    term.caret = term.input.size();
}

}  // namespace

void TypeCharacter(wchar_t c) {
    std::wstring typed = term.input;
    typed.insert(term.caret, 1, c);
    if (WireLength(typed) > INPUT_LINE_LIMIT) return;
    term.input = typed;
    ++term.caret;
    term.changed = true;
}

void EditInputLine(EditKey key) {
    std::wstring& input = term.input;
    size_t& caret = term.caret;
    switch (key) {
    case EditKey::Left: caret -= caret > 0 ? 1 : 0; break;
    case EditKey::Right: caret += caret < input.size() ? 1 : 0; break;
    case EditKey::Home: caret = 0; break;
    case EditKey::End: caret = input.size(); break;
    case EditKey::Backspace:
        if (caret > 0) input.erase(--caret, 1);
        break;
    case EditKey::Delete:
        if (caret < input.size()) input.erase(caret, 1);
        break;
    case EditKey::Up:
        if (recall.at == 0) return;
        if (recall.at == recall.lines.size()) recall.typedAside = input;
        Show(recall.lines[--recall.at]);
        break;
    case EditKey::Down:
        if (recall.at >= recall.lines.size()) return;
        ++recall.at;
        Show(recall.at == recall.lines.size() ? recall.typedAside : recall.lines[recall.at]);
        break;
    }
    term.changed = true;
}

void EnterInputLine() {
    if (!term.input.empty() && (recall.lines.empty() || recall.lines.back() != term.input)) {
        recall.lines.push_back(term.input);
        if (recall.lines.size() > RECALLED_LINES) recall.lines.pop_front();
    }
    recall.at = recall.lines.size();
    recall.typedAside.clear();
    // "/popup TEXT" as the interpreter reads it: the text from the eighth
    // character on.
    const std::string line = ToWire(term.input);
    if (line.compare(0, POPUP_WORD.size(), POPUP_WORD) != 0 || line.size() <= POPUP_WORD.size() + 1) {
        HandleInputLine();
        return;
    }
    SendPopupAndTrace(line.substr(POPUP_WORD.size() + 1), [] {
        HandleInputLine();
        return true;
    });
}
