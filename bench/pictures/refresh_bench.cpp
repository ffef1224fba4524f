// One refresh on loopback, from start_refresh to the new picture installed
// in a 189 x 189 frame, for a 2000 x 2000 JPEG photo. Beside it, in the same
// run and interleaved with it so both see the same machine load, its floor:
// libcurl's easy interface fetching the same bytes on a new connection,
// then libjpeg-turbo decoding them at 1/8 scale into a buffer. The pieces of
// each side are timed alone too, to show where any difference goes.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <httplib.h>
#include <jpeglib.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/text_operations.h"
#include "http/http_request.h"
#include "pictures/pick_line.h"
#include "pictures/refresh_picture.h"
#include "resources/builtin_data.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int FRAME_SIDE = 189;

std::string read_file(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Answers every GET with the photo, as the picture service does: the bytes
// and their Content-Type.
class LoopbackPictureService {
public:
    LoopbackPictureService() : picture_(read_file(VT_REFRESH_BENCH_PICTURE)) {
        server_.Get(".*", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content(picture_, "image/jpeg");
        });
        if (picture_.empty() || !server_.bind_to_port("127.0.0.1", VT_REFRESH_BENCH_PORT)) {
            std::fprintf(stderr, "refresh_bench: no photo, or port %d is taken\n", VT_REFRESH_BENCH_PORT);
            std::exit(1);
        }
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // Bound already: connections wait in the backlog until it listens.
    }
    ~LoopbackPictureService() {
        server_.stop();
        thread_.join();
    }
    LoopbackPictureService(const LoopbackPictureService&) = delete;
    LoopbackPictureService& operator=(const LoopbackPictureService&) = delete;

    const std::string& picture() const { return picture_; }

private:
    std::string picture_;
    httplib::Server server_;
    std::thread thread_;
};

LoopbackPictureService& service() {
    static LoopbackPictureService instance;
    return instance;
}

// The address a refresh asks for, with the first line of the list.
const vt::Text& proxy_address() {
    static const vt::Text address =
        vt::concat_text(vt::PROXY_PREFIX, vt::pick_line(vt::bytes_to_text(vt::Bytes(vt::PICTURE_LIST)), 1));
    return address;
}

// The window's side of the frame: one refresh asks for three repaints, when
// the old picture goes, when the new one is installed, and when the frame is
// shown. The second is the moment measured; the third ends the run.
class InstallWatch final : public vt::PicBoxHost {
public:
    void request_repaint() override {
        const auto now = Clock::now();
        const std::lock_guard guard(lock_);
        if (++repaints_ == INSTALLED) installed_at_ = now;
        changed_.notify_all();
    }
    void run_later_on_window_thread(int, std::function<void()>) override {}

    // Starts a refresh of `frame` and waits for it to end; gives the time
    // from the start to the installed picture.
    Clock::duration refresh(vt::PicBox& frame) {
        {
            const std::lock_guard guard(lock_);
            repaints_ = 0;
        }
        const auto started = Clock::now();
        vt::start_refresh(frame);
        std::unique_lock guard(lock_);
        changed_.wait(guard, [this] { return repaints_ == SHOWN; });
        return installed_at_ - started;
    }

private:
    static constexpr int INSTALLED = 2;
    static constexpr int SHOWN = 3;
    std::mutex lock_;
    std::condition_variable changed_;
    int repaints_ = 0;
    Clock::time_point installed_at_;
};

std::size_t collect(char* data, std::size_t size, std::size_t count, void* body) {
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

std::string curl_fetch(const vt::Text& url) {
    std::string body;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, std::string(url.view()).c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    return body;
}

// The scanlines of a 1/8 decode, four bytes a pixel.
std::vector<std::uint8_t> jpeg_eighth_decode(const std::string& bytes) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_RGBA;
    info.scale_num = 1;
    info.scale_denom = 8;
    jpeg_start_decompress(&info);
    std::vector<std::uint8_t> pixels(std::size_t{info.output_width} * info.output_height * 4);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels.data() + std::size_t{info.output_scanline} * info.output_width * 4;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return pixels;
}

double milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The whole refresh and its floor, one of each per iteration. The reported
// time is the refresh's; the counters give both sides and their ratio.
void refresh_against_floor(benchmark::State& state) {
    const std::string& expected = service().picture();
    // Kept for the process: the last worker may still be returning from
    // its final repaint when a run ends.
    static InstallWatch watch;
    static vt::PicBox frame(FRAME_SIDE, FRAME_SIDE, vt::DisplayMode::fit, vt::BUTTON_FACE, true);
    frame.attach_host(&watch);
    double floor_ms = 0, refresh_ms = 0;
    for (auto _ : state) {
        const auto floor_started = Clock::now();
        const std::string body = curl_fetch(proxy_address());
        const auto pixels = jpeg_eighth_decode(body);
        const auto floor_took = Clock::now() - floor_started;
        benchmark::DoNotOptimize(pixels.data());
        if (body != expected) state.SkipWithError("the floor's fetch came back short");

        const auto refresh_took = watch.refresh(frame);
        state.SetIterationTime(std::chrono::duration<double>(refresh_took).count());
        floor_ms += milliseconds(floor_took);
        refresh_ms += milliseconds(refresh_took);
    }
    // The last refresh must have shown the photo, not a plain square.
    vt::PicBox reference(FRAME_SIDE, FRAME_SIDE, vt::DisplayMode::fit, vt::BUTTON_FACE, true);
    reference.set_picture(vt::Bytes(std::string_view(expected)));
    if (frame.render().pixels != reference.render().pixels) state.SkipWithError("the refresh did not show the photo");
    const auto runs = static_cast<double>(state.iterations());
    state.counters["floor_ms"] = floor_ms / runs;
    state.counters["refresh_ms"] = refresh_ms / runs;
    state.counters["ratio"] = refresh_ms / floor_ms;
}

// The pieces: each side's fetch, and each side's decode into the frame.
void floor_fetch(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(curl_fetch(proxy_address()));
}

void floor_decode(benchmark::State& state) {
    const std::string& bytes = service().picture();
    for (auto _ : state) benchmark::DoNotOptimize(jpeg_eighth_decode(bytes));
}

void refresh_fetch(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(vt::http_request(proxy_address()));
}

void refresh_install(benchmark::State& state) {
    const vt::Bytes bytes(std::string_view(service().picture()));
    vt::PicBox frame(FRAME_SIDE, FRAME_SIDE, vt::DisplayMode::fit, vt::BUTTON_FACE, true);
    for (auto _ : state) frame.set_picture(bytes);
}

BENCHMARK(refresh_against_floor)->UseManualTime()->MinTime(3.0)->Unit(benchmark::kMillisecond);
BENCHMARK(floor_fetch)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(refresh_fetch)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(floor_decode)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(refresh_install)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    service();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
