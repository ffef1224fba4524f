// The processor's free-running cycle counter, the only source of chance the
// random draw has.
#pragma once

#include <cstdint>

namespace vt {

// The low 32 bits of a counter that moves at processor speed, read afresh on
// every call; no value is kept between calls, so any thread may call it.
std::uint32_t read_cycle_counter() noexcept;

}  // namespace vt
