#pragma once
// The few registry operations the settings need: one key under the current
// user, whole values in and out. The Win32 build forwards to the registry
// API; the native tests use an in-memory store that can refuse writes.
#include <cstdint>
#include <string>

using RegistryKey = void*;

enum class RegistryOpenResult { Failed, Created, OpenedExisting };
enum class RegistryValueType { String, Dword, Other };

// Opens (creating when missing) the subkey for reading and tells whether it
// already existed.
RegistryOpenResult RegistryOpenForRead(const char* subkey, RegistryKey* key);
bool RegistryOpenForWrite(const char* subkey, RegistryKey* key);

// Reads a whole value as raw bytes. False when the value is missing or
// cannot be read.
bool RegistryReadValue(RegistryKey key, const char* name, RegistryValueType* type,
                       std::string* data);

// Strings are stored with their terminating zero. Results are not examined.
void RegistryWriteString(RegistryKey key, const char* name, const char* text);
void RegistryWriteDword(RegistryKey key, const char* name, uint32_t value);

void RegistryCloseKey(RegistryKey key);
