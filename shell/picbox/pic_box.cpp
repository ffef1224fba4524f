#include "shell/picbox/pic_box.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>

#include "shell/picbox/area_resample.h"
#include "shell/picbox/picture_decoder.h"
#include "shell/picbox/picture_geometry.h"

namespace vt {

namespace {

// A picture ready to paint: every frame blended and sized for the box.
struct PreparedPicture {
    TargetRect target;
    std::vector<RgbaImage> frames;
    std::vector<int> delays_ms;
};

bool format_blends_alpha(PictureFormat format) {
    return format == PictureFormat::png || format == PictureFormat::gif || format == PictureFormat::icon ||
           format == PictureFormat::cursor;
}

// a·c + (1 − a)·b per channel with a = alpha / 255, worked out in double
// precision just as written and truncated, so 80 % red over 240 grey gives
// 47 for green (1 − 0.8 is a hair below 0.2 in double). Formats drawn
// opaque just lose their alpha.
void flatten(RgbaImage& image, Rgb background, bool blend) {
    const std::uint8_t plain[3] = {background.r, background.g, background.b};
    const double b[3] = {static_cast<double>(background.r), static_cast<double>(background.g), static_cast<double>(background.b)};
    for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
        std::uint8_t* p = image.pixels.data() + i;
        if (blend && p[3] == 0) {
            std::copy(plain, plain + 3, p);  // the same as the formula, much sooner
        } else if (blend && p[3] < 255) {
            const double a = p[3] / 255.0;
            for (int ch = 0; ch < 3; ++ch) p[ch] = static_cast<std::uint8_t>(std::clamp(a * p[ch] + (1.0 - a) * b[ch], 0.0, 255.0));
        }
        p[3] = 255;
    }
}

std::shared_ptr<const PreparedPicture> prepare(const Bytes& bytes, int box_width, int box_height, DisplayMode mode,
                                               Rgb background, bool animate) {
    const auto format = recognise_picture(bytes.span());
    auto opened = open_picture(bytes.span());
    if (!opened) return nullptr;
    PictureDecoder& decoder = *opened.value();
    const PictureSize natural = decoder.size();
    if (natural.width <= 0 || natural.height <= 0) return nullptr;
    auto picture = std::make_shared<PreparedPicture>();
    picture->target = place_picture(mode, box_width, box_height, natural.width, natural.height);
    if (picture->target.width <= 0 || picture->target.height <= 0) return nullptr;
    const int frames = animate ? decoder.frame_count() : std::min(decoder.frame_count(), 1);
    const PictureSize drawn{picture->target.width, picture->target.height};
    for (int i = 0; i < frames; ++i) {
        auto frame = decoder.frame(i, drawn);
        if (!frame) return nullptr;
        RgbaImage& image = frame.value().image;
        flatten(image, background, format_blends_alpha(format));
        if (image.width == drawn.width && image.height == drawn.height) {
            picture->frames.push_back(std::move(image));
        } else {
            picture->frames.push_back(area_resample(image, drawn.width, drawn.height));
        }
        picture->delays_ms.push_back(frame.value().delay_ms);
    }
    if (picture->frames.empty()) return nullptr;
    return picture;
}

}  // namespace

struct PicBox::State {
    int width = 0;
    int height = 0;
    DisplayMode mode = DisplayMode::fit;
    Rgb background;
    bool animate = true;
    std::atomic<PicBoxHost*> host{nullptr};
    std::atomic<bool> visible{false};

    std::mutex lock;  // guards the four below
    std::shared_ptr<const PreparedPicture> picture;
    std::size_t frame = 0;
    std::uint64_t installs = 0;       // ticks of an older install stop
    std::uint64_t timed_install = 0;  // the install a timer is animating

    // Under `lock`: the delay before the current animation's next frame, if
    // it has no timer yet and one can be started.
    std::optional<int> claim_timer() {
        if (!picture || picture->frames.size() < 2 || timed_install == installs) return std::nullopt;
        if (!host.load(std::memory_order_acquire)) return std::nullopt;
        timed_install = installs;
        return picture->delays_ms[frame];
    }

    void repaint() {
        if (PicBoxHost* h = host.load(std::memory_order_acquire)) h->request_repaint();
    }
};

namespace {

void schedule_next_frame(const std::shared_ptr<PicBox::State>& state, std::uint64_t install, int delay_ms);

}  // namespace

PicBox::PicBox(int width, int height, DisplayMode mode, Rgb background, bool animate) : state_(std::make_shared<State>()) {
    state_->width = width;
    state_->height = height;
    state_->mode = mode;
    state_->background = background;
    state_->animate = animate;
}

PicBox::~PicBox() = default;

void PicBox::attach_host(PicBoxHost* host) noexcept {
    state_->host.store(host, std::memory_order_release);
    // An animation installed before the host came has no timer yet.
    std::uint64_t install = 0;
    std::optional<int> delay;
    {
        const std::lock_guard guard(state_->lock);
        delay = state_->claim_timer();
        install = state_->installs;
    }
    if (delay) schedule_next_frame(state_, install, *delay);
}

void PicBox::set_picture(const Bytes& picture) {
    {
        // The current picture goes first: a decode that fails never shows it.
        const std::lock_guard guard(state_->lock);
        state_->picture.reset();
        state_->frame = 0;
        ++state_->installs;
    }
    state_->repaint();
    std::shared_ptr<const PreparedPicture> prepared;
    try {
        prepared = prepare(picture, state_->width, state_->height, state_->mode, state_->background, state_->animate);
    } catch (const std::bad_alloc&) {
        // Within the limits but more than the machine has now: no picture.
    }
    std::uint64_t install = 0;
    std::optional<int> delay;
    {
        const std::lock_guard guard(state_->lock);
        state_->picture = std::move(prepared);
        state_->frame = 0;
        install = ++state_->installs;
        delay = state_->claim_timer();
    }
    if (delay) schedule_next_frame(state_, install, *delay);
    state_->repaint();
}

void PicBox::set_visible(bool visible) {
    state_->visible.store(visible, std::memory_order_release);
    state_->repaint();
}

bool PicBox::visible() const noexcept { return state_->visible.load(std::memory_order_acquire); }
int PicBox::width() const noexcept { return state_->width; }
int PicBox::height() const noexcept { return state_->height; }

RgbaImage PicBox::render() const {
    std::shared_ptr<const PreparedPicture> picture;
    std::size_t frame = 0;
    {
        const std::lock_guard guard(state_->lock);
        picture = state_->picture;
        frame = state_->frame;
    }
    const int w = state_->width, h = state_->height;
    RgbaImage out{w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4)};
    for (std::size_t i = 0; i < out.pixels.size(); i += 4) {
        out.pixels[i] = state_->background.r;
        out.pixels[i + 1] = state_->background.g;
        out.pixels[i + 2] = state_->background.b;
        out.pixels[i + 3] = 255;
    }
    if (!picture) return out;
    const RgbaImage& image = picture->frames[frame];
    const TargetRect& t = picture->target;
    // Clipped to the box: a top_left picture may be larger than it.
    const int x0 = std::max(0, t.x), y0 = std::max(0, t.y);
    const int x1 = std::min(w, t.x + image.width), y1 = std::min(h, t.y + image.height);
    for (int y = y0; y < y1; ++y) {
        std::memcpy(out.pixels.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x0)) * 4,
                    image.pixels.data() + (static_cast<std::size_t>(y - t.y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x0 - t.x)) * 4,
                    static_cast<std::size_t>(x1 - x0) * 4);
    }
    return out;
}

namespace {

void schedule_next_frame(const std::shared_ptr<PicBox::State>& state, std::uint64_t install, int delay_ms) {
    PicBoxHost* host = state->host.load(std::memory_order_acquire);
    if (!host) return;
    std::weak_ptr<PicBox::State> weak = state;
    host->run_later_on_window_thread(delay_ms, [weak, install] {
        const auto alive = weak.lock();
        if (!alive) return;
        int next_delay = 0;
        {
            const std::lock_guard guard(alive->lock);
            // Replaced since: this animation has stopped.
            if (alive->installs != install || !alive->picture) return;
            alive->frame = (alive->frame + 1) % alive->picture->frames.size();
            next_delay = alive->picture->delays_ms[alive->frame];
        }
        alive->repaint();
        schedule_next_frame(alive, install, next_delay);
    });
}

}  // namespace

}  // namespace vt
