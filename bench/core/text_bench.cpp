// The text operations against plain std::string equivalents, side by side
// in one run: the split of one refresh (423 CR LF lines, then one line) and
// a search through mixed ASCII and two-byte text, each at 1x and 8x size.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/text_operations.h"

namespace {

// 423 lines of 80 bytes plus 2 for the separator come to about the 34,814
// bytes of the picture list; `scale` repeats it.
std::string lines_text(int scale) {
    std::string text;
    const int lines = 423 * scale;
    for (int i = 0; i < lines; ++i) {
        if (i) text += "\r\n";
        std::string line = "https://img" + std::to_string(i % 12) + ".example.com/" + std::to_string(1000000000 + i);
        line.resize(80, 'a');
        text += line;
    }
    return text;
}

// Two-byte characters whose second byte is the needle's first letter.
std::string mixed_text(std::size_t bytes) {
    std::string text;
    while (text.size() < bytes) text += "abc \xB0\x6E\xC4\xE3 def\xB8\xA3ghi ";
    text.resize(bytes);
    return text + "needle";
}

void split_and_take(benchmark::State& state) {
    const vt::Text text(lines_text(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        const vt::TextArray lines = vt::split_text(text, vt::Text("\r\n"));
        benchmark::DoNotOptimize(vt::array_get(lines, 200));
    }
}

void split_and_take_plain(benchmark::State& state) {
    const std::string text = lines_text(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::vector<std::string> lines;
        std::size_t start = 0;
        for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2) {
            lines.emplace_back(text, start, at - start);
        }
        lines.emplace_back(text, start);
        benchmark::DoNotOptimize(lines[199]);
    }
}

void find_in_mixed(benchmark::State& state) {
    const vt::Text text(mixed_text(static_cast<std::size_t>(state.range(0)) << 20));
    const vt::Text needle("needle");
    for (auto _ : state) benchmark::DoNotOptimize(vt::find_text(text, needle, std::nullopt, false));
}

void find_in_mixed_plain(benchmark::State& state) {
    const std::string text = mixed_text(static_cast<std::size_t>(state.range(0)) << 20);
    for (auto _ : state) benchmark::DoNotOptimize(text.find("needle"));
}

BENCHMARK(split_and_take)->Arg(1)->Arg(8)->Unit(benchmark::kMicrosecond);
BENCHMARK(split_and_take_plain)->Arg(1)->Arg(8)->Unit(benchmark::kMicrosecond);
BENCHMARK(find_in_mixed)->Arg(1)->Arg(8)->Unit(benchmark::kMicrosecond);
BENCHMARK(find_in_mixed_plain)->Arg(1)->Arg(8)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
