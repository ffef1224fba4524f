#include "pictures/random_in_range.h"

#include <cmath>

#include "core/text_operations.h"
#include "pictures/cycle_counter.h"

namespace vt {
namespace {

// One step of the classic linear congruential generator; its bits 16 to 30
// are the draw.
constexpr std::uint32_t LCG_MULTIPLIER = 214013u;
constexpr std::uint32_t LCG_INCREMENT = 2531011u;
constexpr std::uint32_t DRAW_MASK = 0x7FFFu;

// Whole numbers give a remainder of exactly 0 or +-1; the tolerance only
// keeps the comparison from depending on that.
constexpr double PARITY_TOLERANCE = 1e-7;

// A high bound of 0 asks for the largest range there is.
constexpr std::int32_t HIGH_WHEN_ZERO = 2147483647;

bool rejected_by(std::int32_t parity, std::int32_t drawn) noexcept {
    const double remainder = real_mod(static_cast<double>(drawn), 2.0);
    switch (parity) {
    case PARITY_ODD:
        return std::fabs(remainder) <= PARITY_TOLERANCE;
    case PARITY_EVEN:
        // A negative odd draw leaves -1 here and is kept as it is.
        return std::fabs(remainder - 1.0) <= PARITY_TOLERANCE;
    default:
        return false;
    }
}

}  // namespace

std::int32_t draw_random_from(std::uint32_t counter, std::int32_t low, std::int32_t high) noexcept {
    const std::uint32_t x = counter * LCG_MULTIPLIER + LCG_INCREMENT;
    const std::uint32_t r = (x >> 16) & DRAW_MASK;
    const std::int32_t h = high == 0 ? HIGH_WHEN_ZERO : high;
    const std::uint32_t span = static_cast<std::uint32_t>(h) - static_cast<std::uint32_t>(low) + 1u;
    // A span of zero is all 2^32 values, and r is below that.
    const std::uint32_t offset = span == 0 ? r : r % span;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(low) + offset);
}

std::int32_t draw_random(std::int32_t low, std::int32_t high) noexcept {
    return draw_random_from(read_cycle_counter(), low, high);
}

Text random_in_range_from(std::uint32_t counter, std::int32_t low, std::int32_t high, std::int32_t parity) {
    std::int32_t c = draw_random_from(counter, low, high);
    if (rejected_by(parity, c)) {
        // Stepping past either end of the int32 range wraps around.
        const std::uint32_t step = c == high ? 0xFFFFFFFFu : 1u;
        c = static_cast<std::int32_t>(static_cast<std::uint32_t>(c) + step);
    }
    return int_to_text(c);
}

Text random_in_range(std::int32_t low, std::int32_t high, std::int32_t parity) {
    return random_in_range_from(read_cycle_counter(), low, high, parity);
}

}  // namespace vt
