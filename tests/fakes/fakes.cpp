#include "fakes/fakes.h"

#include <algorithm>
#include <cstring>

#include "app/app_state.h"
#include "app/message_box.h"
#include "common/text.h"
#include "console/history_pane.h"
#include "console/input_line.h"
#include "fakes/fake_network.h"
#include "fakes/fake_shell.h"
#include "fakes/fake_socket.h"

FakeHistoryPane fakeHistory;
FakeRegistry fakeRegistry;
FakeInputLine fakeInput;
std::vector<std::string> fakeErrorBoxes;
std::vector<std::string> fakePlainBoxes;

void ResetFakes() {
    fakeHistory = FakeHistoryPane{};
    fakeRegistry = FakeRegistry{};
    fakeInput = FakeInputLine{};
    fakeErrorBoxes.clear();
    fakePlainBoxes.clear();
    ResetFakeSocket();
    ResetFakeNetwork();
    ResetFakeShell();
    ResetCoreState();
}

std::string FakeRegistry::StringValue(const std::string& name) const {
    auto found = values.find(name);
    if (found == values.end()) return "<missing>";
    const std::string& data = found->second.data;
    return std::string(data.c_str(), strnlen(data.data(), data.size()));
}

uint32_t FakeRegistry::DwordValue(const std::string& name) const {
    auto found = values.find(name);
    if (found == values.end() || found->second.data.size() != 4) return 0xDEADBEEF;
    uint32_t value;
    std::memcpy(&value, found->second.data.data(), 4);
    return value;
}

// ---- history pane: behaves like an EDIT control's text and selection ----

bool HistoryPaneExists() { return fakeHistory.exists; }

size_t HistoryPaneTextLength() { return fakeHistory.text.size(); }

void HistoryPaneSetSelection(size_t start, size_t end) {
    fakeHistory.selectionStart = start;
    fakeHistory.selectionEnd = end;
}

void HistoryPaneReplaceSelection(const char* text) {
    size_t start = std::min(fakeHistory.selectionStart, fakeHistory.text.size());
    size_t end = std::min(std::max(fakeHistory.selectionEnd, start), fakeHistory.text.size());
    fakeHistory.text.replace(start, end - start, text);
    fakeHistory.selectionStart = fakeHistory.selectionEnd = start + std::strlen(text);
    fakeHistory.appends.emplace_back(text);
    RecordTimeline(std::string("history ") + text);
}

void HistoryPaneSetText(const char* text) {
    fakeHistory.text = text;
    fakeHistory.selectionStart = fakeHistory.selectionEnd = 0;
}

// ---- input line ----

size_t ReadInputLine(char* buffer, size_t size) {
    return CopyText(buffer, size, fakeInput.exists ? fakeInput.text.c_str() : "");
}

void ClearInputLine() {
    fakeInput.text.clear();
    ++fakeInput.clears;
}

void FocusInputLine() { ++fakeInput.focuses; }

// ---- message boxes ----

void ShowErrorBox(const char* text) { fakeErrorBoxes.emplace_back(text); }

void ShowPlainBox(const char* text) { fakePlainBoxes.emplace_back(text); }

// ---- registry: one key ----

namespace {
int fakeKeyToken;
}

RegistryOpenResult RegistryOpenForRead(const char*, RegistryKey* key) {
    if (fakeRegistry.refuseOpenForRead) return RegistryOpenResult::Failed;
    bool existed = fakeRegistry.keyExists;
    fakeRegistry.keyExists = true;
    ++fakeRegistry.openKeys;
    *key = &fakeKeyToken;
    return existed ? RegistryOpenResult::OpenedExisting : RegistryOpenResult::Created;
}

bool RegistryOpenForWrite(const char*, RegistryKey* key) {
    if (fakeRegistry.refuseOpenForWrite) return false;
    fakeRegistry.keyExists = true;
    ++fakeRegistry.openKeys;
    ++fakeRegistry.writeOpens;
    *key = &fakeKeyToken;
    return true;
}

bool RegistryReadValue(RegistryKey, const char* name, RegistryValueType* type, std::string* data) {
    fakeRegistry.readOrder.emplace_back(name);
    auto found = fakeRegistry.values.find(name);
    if (found == fakeRegistry.values.end()) return false;
    *type = found->second.type;
    *data = found->second.data;
    return true;
}

void RegistryWriteString(RegistryKey, const char* name, const char* text) {
    fakeRegistry.writeOrder.emplace_back(name);
    fakeRegistry.values[name] = {RegistryValueType::String, std::string(text, std::strlen(text) + 1)};
}

void RegistryWriteDword(RegistryKey, const char* name, uint32_t value) {
    fakeRegistry.writeOrder.emplace_back(name);
    fakeRegistry.SetDword(name, value);
}

void RegistryCloseKey(RegistryKey) { --fakeRegistry.openKeys; }
