#include "term/input_editor.h"

#include <deque>

#include "app/interpreter.h"
#include "term/view.h"
#include "seams/input_line.h"

namespace {

// Lines entered, oldest first, and where Up and Down stand in them: at
// size() the line being typed, kept aside while an older one is shown.
std::deque<std::string> recalled;
size_t recallAt = 0;
std::string typedAside;

void Show(const std::string& line) {
    termView.input = line.substr(0, INPUT_LINE_LIMIT);
    termView.caret = termView.input.size();
}

}  // namespace

void TypeCharacter(char c) {
    if (termView.input.size() >= INPUT_LINE_LIMIT) return;
    termView.input.insert(termView.caret, 1, c);
    ++termView.caret;
    termView.changed = true;
}

void EditInputLine(EditKey key) {
    std::string& input = termView.input;
    size_t& caret = termView.caret;
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
        if (recallAt == 0) return;
        if (recallAt == recalled.size()) typedAside = input;
        Show(recalled[--recallAt]);
        break;
    case EditKey::Down:
        if (recallAt >= recalled.size()) return;
        ++recallAt;
        Show(recallAt == recalled.size() ? typedAside : recalled[recallAt]);
        break;
    }
    termView.changed = true;
}

void EnterInputLine() {
    if (!termView.input.empty() && (recalled.empty() || recalled.back() != termView.input)) {
        recalled.push_back(termView.input);
        if (recalled.size() > RECALLED_LINES) recalled.pop_front();
    }
    recallAt = recalled.size();
    typedAside.clear();
    HandleInputLine();
}
