#include "pictures/random_in_range.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <set>

#include "core/text_operations.h"
#include "pictures/cycle_counter.h"

namespace vt {
namespace {

constexpr std::int32_t INT32_LOW = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t INT32_HIGH = std::numeric_limits<std::int32_t>::max();
constexpr std::uint32_t DRAW_COUNT = 32768;

// The generator's step x = t * 214013 + 2531011 is a bijection of 32-bit
// numbers, so the counter value that yields any wanted draw r can be found by
// running the step backwards from x = r << 16.
constexpr std::uint32_t inverse_of_odd(std::uint32_t a) {
    std::uint32_t inverse = a;  // correct to 3 bits; each round doubles that
    for (int round = 0; round < 5; ++round) inverse *= 2u - a * inverse;
    return inverse;
}
constexpr std::uint32_t INVERSE_MULTIPLIER = inverse_of_odd(214013u);
static_assert(214013u * INVERSE_MULTIPLIER == 1u);

constexpr std::uint32_t counter_giving(std::uint32_t r) {
    return ((r << 16) - 2531011u) * INVERSE_MULTIPLIER;
}

TEST(DrawRandom, TakesBits16To30OfOneGeneratorStep) {
    // 0 * 214013 + 2531011 = 0x00269EC3; 1 * 214013 + 2531011 = 0x0029E2C0.
    EXPECT_EQ(draw_random_from(0u, 0, 32767), 0x26);
    EXPECT_EQ(draw_random_from(1u, 0, 32767), 0x29);
    // 0xFFFFFFFF * 214013 + 2531011 wraps to 0x0023FB46; bit 31 of x is dropped.
    EXPECT_EQ(draw_random_from(0xFFFFFFFFu, 0, 32767), 0x23);
    EXPECT_EQ(draw_random_from(counter_giving(0x7FFF), 0, 32767), 0x7FFF);
}

TEST(DrawRandom, ListBoundsCoverEveryLineWithTheExpectedWeights) {
    // 32768 = 77 * 423 + 197: lines 1..197 come from 78 draws, 198..423 from 77.
    std::map<std::int32_t, int> draws_per_line;
    for (std::uint32_t r = 0; r < DRAW_COUNT; ++r) ++draws_per_line[draw_random_from(counter_giving(r), 1, 423)];
    ASSERT_EQ(draws_per_line.size(), 423u);
    EXPECT_EQ(draws_per_line.begin()->first, 1);
    EXPECT_EQ(draws_per_line.rbegin()->first, 423);
    for (const auto& [line, count] : draws_per_line) EXPECT_EQ(count, line <= 197 ? 78 : 77) << "line " << line;
}

TEST(DrawRandom, BoundsTable) {
    struct Case {
        std::int32_t low, high;
        std::uint32_t r;
        std::int32_t expected;
    };
    const Case cases[] = {
        {7, 7, 0, 7},                          // equal bounds
        {7, 7, 32767, 7},
        {-10, -5, 3, -7},                      // negative range
        {10, 0, 0, 10},                        // high 0 stands for 2147483647 ...
        {10, 0, 32767, 32777},                 // ... so only the lowest 32768 values come
        {10, 5, 0, 10},                        // high below low: low + r
        {10, 5, 32767, 32777},
        {INT32_HIGH - 1, 5, 10, INT32_LOW + 8},  // low + r wraps past the top
        {INT32_HIGH, 0, 32767, INT32_HIGH},    // span 1
        {INT32_LOW, INT32_HIGH, 32767, INT32_LOW + 32767},
        // Zero span (high one below low, wrapping): the full 2^32 range.
        {5, 4, 0, 5},
        {5, 4, 32767, 32772},
        {INT32_LOW, 0, 100, INT32_LOW + 100},
        {0, -1, 32767, 32767},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(draw_random_from(counter_giving(c.r), c.low, c.high), c.expected)
            << "low " << c.low << " high " << c.high << " r " << c.r;
    }
}

TEST(RandomInRange, ParityAndTextTable) {
    struct Case {
        std::int32_t low, high, parity;
        std::uint32_t r;
        const char* expected;
    };
    const Case cases[] = {
        {1, 423, 0, 0, "1"},
        {1, 423, 0, 422, "423"},
        {-10, -5, 0, 3, "-7"},  // minus sign, no padding
        // Odd wanted, bounds 2..4: 2 -> 3, 3 stays, the high bound 4 -> 3.
        {2, 4, PARITY_ODD, 0, "3"},
        {2, 4, PARITY_ODD, 1, "3"},
        {2, 4, PARITY_ODD, 2, "3"},
        // Even wanted, bounds 1..5: 1 -> 2, 3 -> 4, the high bound 5 -> 4.
        {1, 5, PARITY_EVEN, 0, "2"},
        {1, 5, PARITY_EVEN, 1, "2"},
        {1, 5, PARITY_EVEN, 2, "4"},
        {1, 5, PARITY_EVEN, 4, "4"},
        {0, 5, PARITY_EVEN, 0, "0"},
        // Equal bounds: a rejected value steps below the low bound.
        {7, 7, PARITY_ODD, 0, "7"},
        {8, 8, PARITY_ODD, 0, "7"},
        {7, 7, PARITY_EVEN, 0, "6"},
        // High 0 is compared as 0, not as 2147483647.
        {10, 0, PARITY_ODD, 0, "11"},
        {-5, 0, PARITY_ODD, 5, "-1"},
        {2147483642, 0, PARITY_ODD, 4, "2147483647"},
        // Negative draws: even ones are moved, odd ones kept when even is wanted.
        {-10, -5, PARITY_ODD, 2, "-7"},
        {-10, -5, PARITY_ODD, 0, "-9"},
        {-10, -5, PARITY_EVEN, 3, "-7"},
        // Other options adjust nothing.
        {2, 4, 3, 0, "2"},
        {2, 4, -1, 0, "2"},
        // The step wraps at both ends of the int32 range.
        {INT32_LOW, INT32_LOW, PARITY_ODD, 0, "2147483647"},
        {2147483642, 0, PARITY_EVEN, 5, "-2147483648"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(random_in_range_from(counter_giving(c.r), c.low, c.high, c.parity).view(), c.expected)
            << "low " << c.low << " high " << c.high << " parity " << c.parity << " r " << c.r;
    }
}

TEST(RandomInRange, LiveCounterDrawsWithinTheListAndVaries) {
    std::set<std::int32_t> seen;
    for (int i = 0; i < 2000; ++i) {
        const std::int32_t line = text_to_int(random_in_range(1, 423));
        ASSERT_GE(line, 1);
        ASSERT_LE(line, 423);
        seen.insert(line);
    }
    // A counter stuck on one value would always give the same line.
    EXPECT_GT(seen.size(), 1u);
    const std::int32_t drawn = draw_random(-3, -1);
    EXPECT_TRUE(drawn >= -3 && drawn <= -1) << drawn;
}

}  // namespace
}  // namespace vt
