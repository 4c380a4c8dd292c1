#pragma once
// Text on the wire is 8-bit, in a Windows code page, as the Windows program
// sends and shows it; the terminal works in the wide characters of its
// locale. iconv of the C library converts between the two; a character
// that the other side lacks becomes '?'.
#include <cstddef>
#include <cstdint>
#include <string>

// From now on, the code page of the wire: 1252, 1251, 932, 65001 (UTF-8)...
// False, and Windows-1252, when the C library cannot convert it.
bool UseCodePage(uint32_t codePage);

std::wstring FromWire(const std::string& bytes);
std::string ToWire(const std::wstring& text);
// The bytes text takes on the wire: what the limits of the program count.
size_t WireLength(const std::wstring& text);

// Text of the locale: the arguments, standard input, the settings file.
// A byte sequence the locale does not know is one '?'.
std::wstring FromLocale(const std::string& text);
std::string ToLocale(const std::wstring& text);
