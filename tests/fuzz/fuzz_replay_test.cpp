// Every saved fuzz input, the seed corpora and the inputs that once broke
// something, replayed through the same entry points the fuzzer calls. A
// crash or a broken rule ends the test's process, which fails it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "fuzz/entries/fuzz_entries.h"

namespace vt::fuzz {

// Test names and failures show the entry by its name alone.
void PrintTo(const FuzzEntry& entry, std::ostream* out) { *out << entry.name; }

namespace {

namespace fs = std::filesystem;

fs::path fuzz_folder() {
    const char* source = std::getenv("VT_SOURCE_DIR");
    return fs::path(source ? source : ".") / "fuzz";
}

std::vector<std::uint8_t> read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> files_in(const fs::path& folder) {
    std::vector<fs::path> files;
    if (!fs::is_directory(folder)) return files;
    for (const auto& item : fs::directory_iterator(folder)) {
        if (item.is_regular_file()) files.push_back(item.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Names the file first: a crash ends the process before any report.
void replay(const FuzzEntry& entry, const fs::path& file) {
    std::fprintf(stderr, "replaying %s\n", file.c_str());
    entry.run(read_file(file));
}

class FuzzReplay : public testing::TestWithParam<FuzzEntry> {};

TEST_P(FuzzReplay, SeedsAndRegressionsRunClean) {
    const FuzzEntry& entry = GetParam();
    const std::string name(entry.name);
    const auto seeds = files_in(fuzz_folder() / "corpus" / name);
    // A corpus folder that went missing would leave the target unbuilt and
    // this replay empty without a word.
    ASSERT_FALSE(seeds.empty()) << "no seed corpus in fuzz/corpus/" << name;
    for (const fs::path& file : seeds) replay(entry, file);
    for (const fs::path& file : files_in(fuzz_folder() / "regressions" / name)) replay(entry, file);
}

INSTANTIATE_TEST_SUITE_P(Entries, FuzzReplay, testing::ValuesIn(fuzz_entries().begin(), fuzz_entries().end()),
                         [](const testing::TestParamInfo<FuzzEntry>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vt::fuzz
