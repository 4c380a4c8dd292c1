#pragma once
// What the Options page shows and what it stores, without the dialog. Its
// fields are the settings that have a control on it (settings_table.h).
#include <string>
#include <vector>

struct ChatSettings;

// One field of the page, as its control shows it.
struct OptionsPageField {
    int control;       // the dialog control, IDC_*
    bool isBox;        // a check box; else a text field
    std::string text;  // a text field's text
    bool checked;      // a box's check
};

struct OptionsPageValues {
    std::vector<OptionsPageField> fields;  // in the table's order
    // The box of that control is there and checked.
    bool Checked(int control) const;
};

// Texts as they are; boxes are checked for any non-zero value.
OptionsPageValues OptionsPageFromSettings(const ChatSettings& settings);

// The texts are cut to their read sizes; the boxes become exactly 0 or 1.
// Settings without a field on the page (Toolbar, AlwaysOnTop) stay as they
// are, and so do those whose field is missing from values.
void ApplyOptionsPage(const OptionsPageValues& values, ChatSettings& settings);

// The same for the program's own settings, for the dialog.
OptionsPageValues CurrentOptionsPage();
void ApplyOptionsPageToCurrent(const OptionsPageValues& values);

// "Start minimized to tray" can only be chosen together with the icon.
struct StartInTrayBox {
    bool enabled;
    bool checked;
};
// When the page opens: disabled without the icon, its check left as stored.
StartInTrayBox StartInTrayWhenOpened(const OptionsPageValues& values);
// After a click on "Use trayicon": turning the icon off also clears it;
// turning it on enables it without checking it.
StartInTrayBox StartInTrayAfterTrayiconClick(bool trayiconChecked, bool startInTrayChecked);
