#include "fuzz/entries/fuzz_entries.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace vt::fuzz {

namespace {

constexpr std::array<FuzzEntry, 8> ENTRIES = {{
    {"picture_box", fuzz_picture_box},
    {"bmp", fuzz_bmp},
    {"icon", fuzz_icon},
    {"pcx", fuzz_pcx},
    {"text_operations", fuzz_text_operations},
    {"url_parts", fuzz_url_parts},
    {"cookie_merge", fuzz_cookie_merge},
    {"http_response", fuzz_http_response},
}};

}  // namespace

std::span<const FuzzEntry> fuzz_entries() { return ENTRIES; }

FuzzEntryFunction* fuzz_entry(std::string_view name) {
    for (const FuzzEntry& entry : ENTRIES) {
        if (entry.name == name) return entry.run;
    }
    std::fprintf(stderr, "no fuzz entry named %s\n", std::string(name).c_str());
    std::abort();
}

}  // namespace vt::fuzz
