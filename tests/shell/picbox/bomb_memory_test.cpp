// Small files that ask for enormous pictures. Each leaves the box a plain
// square, and the box never takes much memory finding that out. Every case
// runs in a child process, whose peak is read from the kernel.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "shell/picbox/pic_box.h"
#include "tests/shell/picbox/pic_box_test_support.h"
#include "tests/support/peak_memory.h"

namespace vt {
namespace {

constexpr std::int64_t PEAK_LIMIT_KIB = 300'000'000 / 1024;  // 300 MB, the process as a whole
constexpr int FRAME = 189;

TEST(PictureBombs, EachLeavesTheBoxPlainWithinThreeHundredMegabytes) {
    // The sizes the headers declare, as RGBA: 60000 x 60000 is 13.4 GiB,
    // 10,000 frames of 1000 x 1000 are 37 GiB, 65500 x 65500 is 16 GiB.
    for (const char* name : {"broken_png_60000.png", "broken_gif_10000_frames.gif", "broken_jpeg_65500.jpg"}) {
        const Bytes bomb = test::as_bytes(test::fixture_bytes(name));
        const test::ChildOutcome child = test::run_in_child([&] {
            PicBox box(FRAME, FRAME, DisplayMode::fit, BUTTON_FACE, true);
            box.set_picture(bomb);
            return test::is_plain(box.render(), BUTTON_FACE) ? 0 : 1;
        });
        std::printf("%s: %zu bytes, peak %lld KiB (%lld KiB above the start)\n", name, bomb.span().size(),
                    static_cast<long long>(child.peak.peak_kib), static_cast<long long>(child.peak.growth_kib()));
        ASSERT_TRUE(child.exited) << name;
        EXPECT_EQ(child.status, 0) << name << ": the box shows a picture";
        ASSERT_GT(child.peak.peak_kib, 0) << name;
        if (test::PEAKS_ARE_MEANINGFUL) {
            EXPECT_LT(child.peak.peak_kib, PEAK_LIMIT_KIB) << name;
        }
    }
}

// Without this, a peak that was never read would pass the test above.
TEST(PictureBombs, TheChildsPeakShowsMemoryItTouched) {
    constexpr std::size_t TOUCHED = 64u << 20;
    const test::ChildOutcome child = test::run_in_child([] {
        std::vector<char> block(TOUCHED, 1);
        return block[TOUCHED - 1] == 1 ? 0 : 1;
    });
    ASSERT_TRUE(child.exited);
    EXPECT_EQ(child.status, 0);
    // All of it but a little that was resident before and let go since.
    EXPECT_GE(child.peak.growth_kib(), static_cast<std::int64_t>(TOUCHED / 1024) * 9 / 10);
}

}  // namespace
}  // namespace vt
