// One libFuzzer target: the entry point named by VT_FUZZ_ENTRY.
#include <cstddef>
#include <cstdint>

#include "fuzz/entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static vt::fuzz::FuzzEntryFunction* const run = vt::fuzz::fuzz_entry(VT_FUZZ_ENTRY);
    run({data, size});
    return 0;
}
