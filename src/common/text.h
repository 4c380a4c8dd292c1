#pragma once
// Bounded text helpers. Every copy of text into a fixed field goes through
// these, so no field is ever written past its end or left unterminated,
// whatever a peer, the registry or a control hands us.
#include <cstddef>
#include <cstring>

// Copies at most destSize - 1 bytes of src (up to its zero) and always
// terminates dest. Returns the number of bytes copied.
inline size_t CopyText(char* dest, size_t destSize, const char* src) {
    if (destSize == 0) return 0;
    size_t n = 0;
    if (src) {
        while (n + 1 < destSize && src[n] != '\0') {
            dest[n] = src[n];
            ++n;
        }
    }
    dest[n] = '\0';
    return n;
}

template <size_t N>
inline size_t CopyText(char (&dest)[N], const char* src) {
    return CopyText(dest, N, src);
}

// Appends src to the zero-terminated text in dest, cut to fit. Returns the
// new length of dest.
inline size_t AppendText(char* dest, size_t destSize, const char* src) {
    if (destSize == 0) return 0;
    size_t used = strnlen(dest, destSize - 1);
    return used + CopyText(dest + used, destSize - used, src);
}

template <size_t N>
inline size_t AppendText(char (&dest)[N], const char* src) {
    return AppendText(dest, N, src);
}
