#include "fakes/fake_shell.h"

#include "app/controls.h"
#include "net/alert_api.h"
#include "popup/popup.h"

std::vector<std::string> fakeControls;
std::vector<std::string> fakeAlerts;
std::vector<std::string> fakeTimeline;

void ResetFakeShell() {
    fakeControls.clear();
    fakeAlerts.clear();
    fakeTimeline.clear();
}

void RecordTimeline(const std::string& entry) { fakeTimeline.push_back(entry); }

namespace {

const char* MenuName(MenuOwner menu) { return menu == MenuOwner::Main ? "main" : "tray"; }

void Control(const std::string& entry) {
    fakeControls.push_back(entry);
    RecordTimeline(entry);
}

void Alert(const std::string& entry) {
    fakeAlerts.push_back(entry);
    RecordTimeline(entry);
}

}  // namespace

void SetButtonEnabled(int button, bool on) {
    Control("button " + std::to_string(button) + (on ? " on" : " off"));
}

void SwapMenuItem(MenuOwner menu, int oldId, int newId, const char* text) {
    Control(std::string("swap ") + MenuName(menu) + " " + std::to_string(oldId) + " " + std::to_string(newId) + " " +
            text);
}

void SetMenuItemEnabled(MenuOwner menu, int id, bool enabled) {
    Control(std::string("menu ") + MenuName(menu) + " " + std::to_string(id) + (enabled ? " enabled" : " grayed"));
}

void StartFlashTimer(unsigned id, unsigned interval) {
    Alert("timer start " + std::to_string(id) + " " + std::to_string(interval));
}

void StopFlashTimer(unsigned id) { Alert("timer stop " + std::to_string(id)); }

void FlashTitleBar(bool invert) { Alert(invert ? "flash invert" : "flash restore"); }

void SoundTone(unsigned frequency, unsigned duration) {
    Alert("beep " + std::to_string(frequency) + " " + std::to_string(duration));
}

void PlayWaveFile(const char* path) { Alert(std::string("sound ") + path); }

int ShowReceivedPopup(const char* text) {
    Alert(std::string("popup ") + text);
    return 1;
}
