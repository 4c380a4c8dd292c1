#include <windows.h>

#include <cstring>

#include "seams/settings_store.h"

namespace {

// A settings value is a few hundred bytes at most; anything far larger is
// not ours and is treated as missing.
constexpr DWORD LARGEST_VALUE = 64 * 1024;

HKEY AsHkey(RegistryKey key) { return static_cast<HKEY>(key); }

RegistryValueType TypeOf(DWORD storedType) {
    if (storedType == REG_SZ || storedType == REG_EXPAND_SZ) return RegistryValueType::String;
    if (storedType == REG_DWORD) return RegistryValueType::Dword;
    return RegistryValueType::Other;
}

}  // namespace

RegistryOpenResult RegistryOpenForRead(const char* subkey, RegistryKey* key) {
    HKEY opened = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, subkey, 0, nullptr, 0, KEY_READ, nullptr, &opened,
                        &disposition) != ERROR_SUCCESS) {
        return RegistryOpenResult::Failed;
    }
    *key = opened;
    return disposition == REG_OPENED_EXISTING_KEY ? RegistryOpenResult::OpenedExisting
                                                  : RegistryOpenResult::Created;
}

bool RegistryOpenForWrite(const char* subkey, RegistryKey* key) {
    HKEY opened = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, subkey, 0, nullptr, 0, KEY_WRITE, nullptr, &opened,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    *key = opened;
    return true;
}

bool RegistryReadString(RegistryKey key, const char* name, RegistryValueType* type, std::string* bytes) {
    DWORD storedType = 0;
    DWORD size = 0;
    if (RegQueryValueExA(AsHkey(key), name, nullptr, &storedType, nullptr, &size) != ERROR_SUCCESS) return false;
    if (size > LARGEST_VALUE) return false;
    bytes->assign(size, '\0');
    if (size > 0 && RegQueryValueExA(AsHkey(key), name, nullptr, &storedType,
                                     reinterpret_cast<BYTE*>(&(*bytes)[0]), &size) != ERROR_SUCCESS) {
        return false;
    }
    bytes->resize(size);
    *type = TypeOf(storedType);
    return true;
}

bool RegistryReadDword(RegistryKey key, const char* name, RegistryValueType* type, size_t* size, uint32_t* value) {
    DWORD storedType = 0;
    DWORD storedSize = 0;
    DWORD stored = 0;
    if (RegQueryValueExA(AsHkey(key), name, nullptr, &storedType, nullptr, &storedSize) != ERROR_SUCCESS) return false;
    // Only what fits a DWORD is read; a larger value tells its type and size.
    if (storedSize > 0 && storedSize <= sizeof stored &&
        RegQueryValueExA(AsHkey(key), name, nullptr, &storedType, reinterpret_cast<BYTE*>(&stored),
                         &storedSize) != ERROR_SUCCESS) {
        return false;
    }
    *type = TypeOf(storedType);
    *size = storedSize;
    *value = stored;
    return true;
}

void RegistryWriteString(RegistryKey key, const char* name, const char* text) {
    RegSetValueExA(AsHkey(key), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(std::strlen(text) + 1));
}

void RegistryWriteDword(RegistryKey key, const char* name, uint32_t value) {
    DWORD stored = value;
    RegSetValueExA(AsHkey(key), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored), sizeof stored);
}

void RegistryCloseKey(RegistryKey key) { RegCloseKey(AsHkey(key)); }
