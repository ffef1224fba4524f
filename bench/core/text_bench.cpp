// The text operations against plain std::string equivalents, side by side
// in one run: the split of one refresh (the picture list, then one line) and
// a search through mixed ASCII and two-byte text, each at 1x and 8x size.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/text_operations.h"
#include "resources/builtin_data.h"

namespace {

// The built-in picture list (423 CR LF lines, 34,814 bytes), `scale` times
// over.
std::string lines_text(int scale) {
    const std::string_view list(reinterpret_cast<const char*>(vt::PICTURE_LIST.data()), vt::PICTURE_LIST.size());
    std::string text(list);
    for (int i = 1; i < scale; ++i) (text += "\r\n") += list;
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
