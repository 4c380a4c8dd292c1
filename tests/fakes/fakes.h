#pragma once
// In-memory stand-ins for the platform seams, for the native tests. Each
// records what the core asked of it and can be told to fail.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "settings/registry_store.h"

struct FakeHistoryPane {
    bool exists = true;
    std::string text;
    size_t selectionStart = 0;
    size_t selectionEnd = 0;
    std::vector<std::string> appends;  // each replace, in order
};

struct FakeRegistryValue {
    RegistryValueType type;
    std::string data;
};

struct FakeRegistry {
    // Values of the one key, by name; absent when keyExists is false.
    bool keyExists = false;
    bool refuseOpenForRead = false;
    bool refuseOpenForWrite = false;
    std::map<std::string, FakeRegistryValue> values;
    std::vector<std::string> writeOrder;  // value names, in the order written
    std::vector<std::string> readOrder;
    int openKeys = 0;  // opened and not yet closed
    int writeOpens = 0;

    void SetString(const std::string& name, const std::string& text) {
        values[name] = {RegistryValueType::String, text + std::string(1, '\0')};
    }
    void SetDword(const std::string& name, uint32_t value) {
        values[name] = {RegistryValueType::Dword, std::string(reinterpret_cast<const char*>(&value), 4)};
    }
    // The text of a stored string value, up to its zero.
    std::string StringValue(const std::string& name) const;
    uint32_t DwordValue(const std::string& name) const;
};

struct FakeInputLine {
    bool exists = true;
    std::string text;
    int clears = 0;
    int focuses = 0;
};

extern FakeHistoryPane fakeHistory;
extern FakeRegistry fakeRegistry;
extern FakeInputLine fakeInput;
extern std::vector<std::string> fakeErrorBoxes;
extern std::vector<std::string> fakePlainBoxes;  // caption "Error", no icon

// Fresh fakes and fresh core state, for the start of every test.
void ResetFakes();
