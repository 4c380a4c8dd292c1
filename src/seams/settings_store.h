#pragma once
// The few operations the settings need of their store: one key, whole
// values in and out, each read as the type the settings keep it as. The
// Win32 front end forwards to the registry API under the current user; the
// terminal front end keeps a text file; the native tests use an in-memory
// store that can refuse writes. The store decides nothing: it tells what it
// holds and how, and every rule of what a value may hold (its type, its
// size, its length) is the settings' own.
#include <cstddef>
#include <cstdint>
#include <string>

using RegistryKey = void*;

enum class RegistryOpenResult { Failed, Created, OpenedExisting };
// How a value is stored. A store that keeps only text (the settings file)
// has a DWORD where the text is a decimal number of 0 to 4294967295, and
// something else where a number is read and the text is none.
enum class RegistryValueType { String, Dword, Other };

// Opens (creating when missing) the subkey for reading and tells whether it
// already existed.
RegistryOpenResult RegistryOpenForRead(const char* subkey, RegistryKey* key);
bool RegistryOpenForWrite(const char* subkey, RegistryKey* key);

// Reads a value kept as a string: how it is stored, and its bytes as stored,
// whatever its type. A string's zero need not be among them, and bytes may
// follow it. False when the value is missing or cannot be read.
bool RegistryReadString(RegistryKey key, const char* name, RegistryValueType* type, std::string* bytes);

// Reads a value kept as a DWORD: how it is stored, how many bytes it holds,
// and, when that is four or fewer, the number they make (little-endian).
// False when the value is missing or cannot be read.
bool RegistryReadDword(RegistryKey key, const char* name, RegistryValueType* type, size_t* size, uint32_t* value);

// Strings are stored with their terminating zero. Results are not examined.
void RegistryWriteString(RegistryKey key, const char* name, const char* text);
void RegistryWriteDword(RegistryKey key, const char* name, uint32_t value);

void RegistryCloseKey(RegistryKey key);
