// Ends a process, by default the calling one, at once with exit code 0.
#pragma once

#include <cstdint>
#include <optional>

namespace vt {

// True when the platform reports exactly 1. Does not return when it ends the
// calling process.
bool terminate_process(std::optional<std::int32_t> process_id = std::nullopt);

}  // namespace vt
