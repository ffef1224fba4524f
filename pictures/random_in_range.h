// A whole number drawn between two bounds from the cycle counter, with no
// generator state, so any number of threads may draw at once.
#pragma once

#include <cstdint>

#include "core/text.h"

namespace vt {

// Parity options of random_in_range; any other value asks for no adjustment.
inline constexpr std::int32_t PARITY_ODD = 1;   // an even draw moves to an odd neighbour
inline constexpr std::int32_t PARITY_EVEN = 2;  // a positive odd draw moves to an even neighbour

// low + (r mod span), with r in 0..32767 taken from one linear congruential
// step of `counter`. A high bound of 0 stands for 2147483647. All sums wrap in
// 32 bits, so a high bound below the low one gives low + r; a span that wraps
// to zero counts as the full 2^32 values and also gives low + r.
std::int32_t draw_random_from(std::uint32_t counter, std::int32_t low, std::int32_t high) noexcept;
// draw_random_from on the cycle counter as it reads now.
std::int32_t draw_random(std::int32_t low, std::int32_t high) noexcept;

// The decimal text of a draw between low and high, moved by one when the
// parity option rejects it: down if it equals `high` as passed (0 stays 0
// there), up otherwise.
Text random_in_range(std::int32_t low, std::int32_t high, std::int32_t parity = 0);
// random_in_range on a chosen counter value.
Text random_in_range_from(std::uint32_t counter, std::int32_t low, std::int32_t high, std::int32_t parity = 0);

}  // namespace vt
