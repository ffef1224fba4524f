// Control of the recording fake transport, which a contract test finds in
// its own folder in place of the real one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vt::fake {

struct Settings {
    bool fail_open = false;
    bool fail_connect = false;
    bool fail_open_request = false;
    std::string body{};          // served by InternetReadFile
    std::string header_block{};  // served by HttpQueryInfoA (without its zero)
    bool answer_headers = true;  // false: the header query fails
    std::uint32_t claimed_count = 0;  // non-zero: every read reports this count
};

// Exported by the fake; the test reaches them through dlsym.
using ResetFunction = void(const Settings&);
using LogFunction = const std::vector<std::string>*();  // a pointer: C linkage returns no class

}  // namespace vt::fake
