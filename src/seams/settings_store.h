#pragma once
// The few operations the settings need of their store: one key, whole
// values in and out. The Win32 front end forwards to the registry API under
// the current user; the terminal front end keeps a text file; the native
// tests use an in-memory store that can refuse writes. The store decides
// nothing: every rule of what a value may hold is the settings' own.
#include <cstdint>
#include <string>

using RegistryKey = void*;

enum class RegistryOpenResult { Failed, Created, OpenedExisting };
enum class RegistryValueType { String, Dword, Other };

// Opens (creating when missing) the subkey for reading and tells whether it
// already existed.
RegistryOpenResult RegistryOpenForRead(const char* subkey, RegistryKey* key);
bool RegistryOpenForWrite(const char* subkey, RegistryKey* key);

// Reads a whole value as raw bytes, with the type it is stored as. A store
// that keeps only text reads it as the type wanted (a DWORD from a decimal
// number, Other when it is none); the registry has types of its own and
// ignores wanted. False when the value is missing or cannot be read.
bool RegistryReadValue(RegistryKey key, const char* name, RegistryValueType wanted, RegistryValueType* type,
                       std::string* data);

// Strings are stored with their terminating zero. Results are not examined.
void RegistryWriteString(RegistryKey key, const char* name, const char* text);
void RegistryWriteDword(RegistryKey key, const char* name, uint32_t value);

void RegistryCloseKey(RegistryKey key);
