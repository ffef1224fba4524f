// The fuzzed entry points: each takes one input of arbitrary bytes, drives
// the code under test with it and stops the process when a result breaks a
// rule that must hold for every input. The libFuzzer targets and the replay
// test both call these, so a saved input replays exactly as it was found.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace vt::fuzz {

using FuzzEntryFunction = void(std::span<const std::uint8_t> input);

struct FuzzEntry {
    std::string_view name;  // also the name of its corpus and regression folders
    FuzzEntryFunction* run;
};

std::span<const FuzzEntry> fuzz_entries();
// The entry of that name; ends the process when there is none.
FuzzEntryFunction* fuzz_entry(std::string_view name);

// One per entry point.
FuzzEntryFunction fuzz_picture_box;
FuzzEntryFunction fuzz_bmp;
FuzzEntryFunction fuzz_icon;
FuzzEntryFunction fuzz_pcx;
FuzzEntryFunction fuzz_text_operations;
FuzzEntryFunction fuzz_url_parts;
FuzzEntryFunction fuzz_cookie_merge;
FuzzEntryFunction fuzz_http_response;

}  // namespace vt::fuzz
