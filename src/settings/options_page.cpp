#include "settings/options_page.h"

#include "common/text.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "settings/settings_table.h"

namespace {

const Setting* SettingOnPage(int control) {
    for (const Setting& setting : SETTINGS) {
        if (setting.control != NOT_ON_PAGE && setting.control == control) return &setting;
    }
    return nullptr;
}

}  // namespace

bool OptionsPageValues::Checked(int control) const {
    for (const OptionsPageField& field : fields) {
        if (field.control == control) return field.isBox && field.checked;
    }
    return false;
}

OptionsPageValues OptionsPageFromSettings(const ChatSettings& settings) {
    OptionsPageValues values;
    for (const Setting& setting : SETTINGS) {
        if (setting.control == NOT_ON_PAGE) continue;
        if (setting.type == SettingType::String) {
            values.fields.push_back({setting.control, false, setting.textValue(settings), false});
        } else {
            values.fields.push_back({setting.control, true, "", settings.*setting.number != 0});
        }
    }
    return values;
}

void ApplyOptionsPage(const OptionsPageValues& values, ChatSettings& settings) {
    for (const OptionsPageField& field : values.fields) {
        const Setting* setting = SettingOnPage(field.control);
        if (!setting) continue;
        if (setting->type == SettingType::String) {
            CopyText(setting->textField(settings), setting->readSize, field.text.c_str());
        } else {
            settings.*setting->number = field.checked ? 1 : 0;
        }
    }
}

OptionsPageValues CurrentOptionsPage() { return OptionsPageFromSettings(chatSettings); }

void ApplyOptionsPageToCurrent(const OptionsPageValues& values) { ApplyOptionsPage(values, chatSettings); }

StartInTrayBox StartInTrayWhenOpened(const OptionsPageValues& values) {
    return {values.Checked(IDC_TRAYICON), values.Checked(IDC_STARTINTRAY)};
}

StartInTrayBox StartInTrayAfterTrayiconClick(bool trayiconChecked, bool startInTrayChecked) {
    if (trayiconChecked) return {true, startInTrayChecked};
    return {false, false};
}
