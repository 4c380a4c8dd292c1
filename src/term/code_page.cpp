#include "term/code_page.h"

#include <cerrno>
#include <climits>
#include <cwchar>

#include "settings/settings.h"
#include "term/state.h"

namespace {

CodePageConverters& converters = term.codePage;

const iconv_t NO_CONVERTER = reinterpret_cast<iconv_t>(-1);

std::string IconvName(uint32_t codePage) {
    if (codePage == 65001) return "UTF-8";
    return "CP" + std::to_string(codePage);
}

void Close(iconv_t& converter) {
    if (converter != NO_CONVERTER) iconv_close(converter);
    converter = NO_CONVERTER;
}

bool Open(uint32_t codePage) {
    const std::string name = IconvName(codePage);
    iconv_t toWire = iconv_open(name.c_str(), "WCHAR_T");
    iconv_t fromWire = iconv_open("WCHAR_T", name.c_str());
    if (toWire == NO_CONVERTER || fromWire == NO_CONVERTER) {
        Close(toWire);
        Close(fromWire);
        return false;
    }
    Close(converters.toWire);
    Close(converters.fromWire);
    converters.toWire = toWire;
    converters.fromWire = fromWire;
    return true;
}

void EnsureOpen() {
    if (converters.toWire == NO_CONVERTER) Open(DEFAULT_CODE_PAGE);
}

// Runs the converter over input whole. What it cannot convert (a character
// the target lacks, or bytes that are no character of the source) becomes
// one '?' written by question, and the input goes on after `skip` bytes.
template <typename Out>
Out Convert(iconv_t converter, const char* input, size_t size, size_t skip, const Out& question) {
    Out converted;
    if (converter == NO_CONVERTER) return converted;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input);
    char block[1024];
    while (size > 0) {
        char* out = block;
        size_t room = sizeof block;
        const size_t result = iconv(converter, &in, &size, &out, &room);
        const int error = result == static_cast<size_t>(-1) ? errno : 0;
        converted.append(reinterpret_cast<const typename Out::value_type*>(block),
                         static_cast<size_t>(out - block) / sizeof(typename Out::value_type));
        if (error == E2BIG) continue;
        if (error == 0) break;
        // EILSEQ, or EINVAL for a character cut off at the end.
        converted += question;
        const size_t skipped = error == EINVAL || size < skip ? size : skip;
        in += skipped;
        size -= skipped;
    }
    return converted;
}

}  // namespace

bool UseCodePage(uint32_t codePage) {
    if (Open(codePage)) return true;
    Open(DEFAULT_CODE_PAGE);
    return false;
}

std::wstring FromWire(const std::string& bytes) {
    EnsureOpen();
    return Convert(converters.fromWire, bytes.data(), bytes.size(), 1, std::wstring(L"?"));
}

std::string ToWire(const std::wstring& text) {
    EnsureOpen();
    return Convert(converters.toWire, reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t),
                   sizeof(wchar_t), std::string("?"));
}

size_t WireLength(const std::wstring& text) { return ToWire(text).size(); }

std::wstring FromLocale(const std::string& text) {
    std::wstring wide;
    std::mbstate_t state = std::mbstate_t();
    for (size_t at = 0; at < text.size();) {
        wchar_t c = 0;
        const size_t used = std::mbrtowc(&c, text.data() + at, text.size() - at, &state);
        if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) {
            // Not a character of the locale: one '?' for the byte, and the
            // next byte starts afresh.
            wide += L'?';
            state = std::mbstate_t();
            ++at;
            continue;
        }
        wide += c;
        at += used == 0 ? 1 : used;  // a zero byte is a character too
    }
    return wide;
}

std::string ToLocale(const std::wstring& text) {
    std::string bytes;
    std::mbstate_t state = std::mbstate_t();
    char character[MB_LEN_MAX];
    for (wchar_t c : text) {
        const size_t length = std::wcrtomb(character, c, &state);
        if (length == static_cast<size_t>(-1)) {
            bytes += '?';
            state = std::mbstate_t();
        } else {
            bytes.append(character, length);
        }
    }
    return bytes;
}
