// What a frame of the terminal program costs in its history: the rows the
// screen shows, converted from the code page and wrapped, of histories of
// 1,000 to 1,000,000 characters (the core's capacity), 80 and 2 columns
// wide, 22 rows high, following the end and scrolled back to the middle.
// WholeHistoryWrapped is the whole history wrapped at every frame, as the
// screen once did, for comparison.
#include <benchmark/benchmark.h>

#include <string>

#include "term/history_lines.h"
#include "term/history_view.h"

namespace {

constexpr int HEIGHT = 22;

// Chat lines of 20 to 80 characters, Western letters among them, as
// Windows-1252 puts them on the wire.
std::string History(size_t characters) {
    std::string history;
    for (size_t i = 0; history.size() < characters; ++i) {
        history += "<Anna> line " + std::to_string(i) + " caf\xe9 " + std::string(i % 61, 'x') + "\r\n";
    }
    history.resize(characters - 2);
    return history + "\r\n";
}

void ShownAtTheEnd(benchmark::State& state) {
    const std::string history = History(static_cast<size_t>(state.range(0)));
    const int width = static_cast<int>(state.range(1));
    for (auto _ : state) {
        HistoryView view;
        benchmark::DoNotOptimize(ShownRows(history, view, width, HEIGHT));
    }
}

void ShownScrolledBack(benchmark::State& state) {
    const std::string history = History(static_cast<size_t>(state.range(0)));
    const int width = static_cast<int>(state.range(1));
    HistoryView view;
    view.atEnd = false;
    view.top = history.find('\n', history.size() / 2) + 1;
    for (auto _ : state) benchmark::DoNotOptimize(ShownRows(history, view, width, HEIGHT));
}

void WholeHistoryWrapped(benchmark::State& state) {
    const std::string history = History(static_cast<size_t>(state.range(0)));
    const int width = static_cast<int>(state.range(1));
    for (auto _ : state) benchmark::DoNotOptimize(HistoryRows(history, width));
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
    for (int64_t characters : {1000, 100000, 1000000}) {
        for (int64_t width : {80, 2}) benchmark->Args({characters, width});
    }
    benchmark->Unit(benchmark::kMicrosecond);
}

}  // namespace

BENCHMARK(ShownAtTheEnd)->Apply(Sizes);
BENCHMARK(ShownScrolledBack)->Apply(Sizes);
BENCHMARK(WholeHistoryWrapped)->Apply(Sizes);
