// set_picture from many threads while the window's thread renders: every
// render shows one whole picture or none, and installs keep the order in
// which they finish.
#include "shell/picbox/pic_box.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "tests/shell/picbox/pic_box_test_support.h"

namespace vt {
namespace {

using test::Rgba;

constexpr int FRAME = 189;
constexpr int WRITERS = 16;

// Writer i's picture: its own colour and size, so any mix of two pictures
// renders differently from both.
Bytes writer_picture(int i) {
    const auto level = static_cast<std::uint8_t>(10 * i);
    return test::encode_png(test::solid_image(40 + 20 * i, 30 + 9 * i, {level, 255 - level, 7, 255}));
}

RgbaImage reference_render(const Bytes& picture) {
    PicBox box(FRAME, FRAME, DisplayMode::fit, BUTTON_FACE, true);
    box.set_picture(picture);
    return box.render();
}

TEST(PicBoxConcurrency, SixteenWritersAndAPainterNeverSeeATornPicture) {
    std::vector<Bytes> pictures;
    std::map<std::vector<std::uint8_t>, int> known;  // render -> writer, -1 for none
    known[reference_render(Bytes()).pixels] = -1;
    for (int i = 0; i < WRITERS; ++i) {
        pictures.push_back(writer_picture(i));
        known[reference_render(pictures.back()).pixels] = i;
    }
    ASSERT_EQ(known.size(), std::size_t{WRITERS} + 1);

    PicBox box(FRAME, FRAME, DisplayMode::fit, BUTTON_FACE, true);
    std::atomic<bool> writing{true};
    std::atomic<int> renders{0}, torn{0};
    std::thread painter([&] {
        while (writing.load()) {
            if (!known.contains(box.render().pixels)) ++torn;
            ++renders;
        }
    });
    for (int round = 0; round < 5; ++round) {
        std::vector<std::thread> writers;
        for (int i = 0; i < WRITERS; ++i) writers.emplace_back([&, i] { box.set_picture(pictures[static_cast<std::size_t>(i)]); });
        for (auto& w : writers) w.join();
        const auto last = known.find(box.render().pixels);
        ASSERT_NE(last, known.end());
        EXPECT_NE(last->second, -1) << "every write succeeded, so one of them stays";
    }
    writing = false;
    painter.join();
    EXPECT_EQ(torn.load(), 0) << "of " << renders.load() << " renders";
}

// The writer a thread is, for the gate below; -1 for the test's own thread.
thread_local int writer_id = -1;

// A host that holds each writer in the repaint that follows its discard,
// before it decodes, until the test lets that writer go on; and that notes
// the order in which writers finish installing.
class GateHost final : public PicBoxHost {
public:
    explicit GateHost(PicBox& box) : box_(box) {}

    void request_repaint() override {
        if (writer_id < 0) return;
        thread_local bool discarded = false;
        discarded = !discarded;
        std::unique_lock lock(mutex_);
        if (discarded) {
            // Nothing may show while this writer decodes.
            if (!test::is_plain(box_.render(), BUTTON_FACE)) ++shown_while_decoding_;
            held_.push_back(writer_id);
            changed_.notify_all();
            changed_.wait(lock, [&] { return std::find(released_.begin(), released_.end(), writer_id) != released_.end(); });
        } else {
            installed_.push_back(writer_id);
            changed_.notify_all();
        }
    }
    void run_later_on_window_thread(int, std::function<void()>) override {}

    void wait_until_held(int writer) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return std::find(held_.begin(), held_.end(), writer) != held_.end(); });
    }
    // Lets `writer` go on and waits until its install is done.
    void release_and_wait(int writer) {
        std::unique_lock lock(mutex_);
        released_.push_back(writer);
        changed_.notify_all();
        changed_.wait(lock, [&] { return std::find(installed_.begin(), installed_.end(), writer) != installed_.end(); });
    }
    std::vector<int> installed() {
        std::lock_guard lock(mutex_);
        return installed_;
    }
    int shown_while_decoding() {
        std::lock_guard lock(mutex_);
        return shown_while_decoding_;
    }

private:
    PicBox& box_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int> held_, released_, installed_;
    int shown_while_decoding_ = 0;
};

std::thread start_writer(PicBox& box, int id, Bytes picture) {
    return std::thread([&box, id, picture = std::move(picture)] {
        writer_id = id;
        box.set_picture(picture);
    });
}

TEST(PicBoxConcurrency, ThePictureInstalledLastStays) {
    PicBox box(FRAME, FRAME, DisplayMode::fit, BUTTON_FACE, true);
    box.set_picture(writer_picture(0));
    GateHost host(box);
    box.attach_host(&host);

    // All writers held after their discard, then let go in an order that is
    // not the one they started in.
    std::vector<std::thread> writers;
    for (int i = 0; i < WRITERS; ++i) {
        writers.push_back(start_writer(box, i, writer_picture(i)));
        host.wait_until_held(i);
    }
    EXPECT_TRUE(test::is_plain(box.render(), BUTTON_FACE)) << "a picture that is being replaced never shows";
    std::vector<int> order(WRITERS);
    for (int i = 0; i < WRITERS; ++i) order[static_cast<std::size_t>(i)] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    for (const int i : order) host.release_and_wait(i);
    for (auto& w : writers) w.join();

    EXPECT_EQ(host.installed(), order);
    EXPECT_EQ(box.render().pixels, reference_render(writer_picture(order.back())).pixels);
    EXPECT_EQ(host.shown_while_decoding(), 0);
}

TEST(PicBoxConcurrency, AFailedDecodeThatEndsLastLeavesTheBoxEmpty) {
    PicBox box(FRAME, FRAME, DisplayMode::fit, BUTTON_FACE, true);
    box.set_picture(writer_picture(3));
    GateHost host(box);
    box.attach_host(&host);

    std::thread failing = start_writer(box, 0, test::as_bytes(test::fixture_bytes("broken_png_truncated.png")));
    host.wait_until_held(0);
    std::thread good = start_writer(box, 1, writer_picture(5));
    host.wait_until_held(1);
    host.release_and_wait(1);
    EXPECT_EQ(box.render().pixels, reference_render(writer_picture(5)).pixels);
    host.release_and_wait(0);
    failing.join();
    good.join();
    EXPECT_TRUE(test::is_plain(box.render(), BUTTON_FACE)) << "the failure came last";
    EXPECT_EQ(host.shown_while_decoding(), 0);
}

}  // namespace
}  // namespace vt
