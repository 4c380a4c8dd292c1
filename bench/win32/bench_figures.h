#pragma once
// What the Win32 benchmark programs share: a fine clock, the order
// statistics they report, and one line of output per figure, which
// scripts/bench collects into its table:
//     <name> <value> <unit>
// A figure that could not be measured is printed with the value "n/a" and
// the reason as its unit, so that the table shows the gap instead of a
// number nobody measured.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

// The window class of empty_window.exe, which the driver waits for.
inline const char* const EMPTY_WINDOW_CLASS = "Bench Empty Window";
// The window class of history_window.exe.
inline const char* const HISTORY_WINDOW_CLASS = "Bench History Window";

// Milliseconds from an arbitrary start. QueryPerformanceCounter ticks at
// 10 MHz under Wine (clock_gettime underneath), so 0.1 µs apart.
inline double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The value below which the given share of the samples lie (nearest rank);
// 0 for no samples.
inline double Percentile(std::vector<double> samples, double share) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    size_t rank = static_cast<size_t>(std::ceil(share * static_cast<double>(samples.size()) - 1e-9));
    rank = std::min(std::max<size_t>(rank, 1), samples.size());
    return samples[rank - 1];
}

inline double Median(const std::vector<double>& samples) { return Percentile(samples, 0.5); }

inline void Figure(const char* name, double value, const char* unit) {
    std::printf("%s %.4f %s\n", name, value, unit);
    std::fflush(stdout);
}

inline void Missing(const char* name, const char* reason) {
    std::printf("%s n/a %s\n", name, reason);
    std::fflush(stdout);
}

// Median and 95th percentile of a series of samples in milliseconds, as
// <name>.median and <name>.p95, or why there are none.
inline void LatencyFigures(const char* name, const std::vector<double>& samples, size_t wanted) {
    char label[128];
    if (samples.size() < wanted) {
        std::snprintf(label, sizeof label, "%s.median", name);
        Missing(label, "incomplete");
        return;
    }
    std::snprintf(label, sizeof label, "%s.median", name);
    Figure(label, Median(samples), "ms");
    std::snprintf(label, sizeof label, "%s.p95", name);
    Figure(label, Percentile(samples, 0.95), "ms");
}
