// Decode + fit into the 189 x 189 frame, side by side in one run with
// (a) the plain path: a full-size decode followed by the same shrink, and
// (b) the floor: the image library's own decode alone, already at the
//     reduced size for JPEG, with no resampling and no box around it.
#include <benchmark/benchmark.h>

#include <jpeglib.h>
#include <png.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "shell/picbox/area_resample.h"
#include "shell/picbox/pic_box.h"
#include "shell/picbox/picture_decoder.h"
#include "shell/picbox/picture_geometry.h"

namespace {

constexpr int FRAME_SIDE = 189;

const vt::Bytes& picture(const std::string& name) {
    static std::vector<std::pair<std::string, vt::Bytes>> loaded;
    for (const auto& [n, bytes] : loaded)
        if (n == name) return bytes;
    std::ifstream in(std::string(VT_PICTURE_DIR) + "/" + name, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) std::fprintf(stderr, "missing picture %s\n", name.c_str());
    loaded.emplace_back(name, vt::Bytes(std::string_view(bytes)));
    return loaded.back().second;
}

// What the box does: decode, blend, shrink, install.
void box_decode_and_fit(benchmark::State& state, const char* name) {
    const vt::Bytes& bytes = picture(name);
    vt::PicBox box(FRAME_SIDE, FRAME_SIDE, vt::DisplayMode::fit, vt::BUTTON_FACE, true);
    for (auto _ : state) box.set_picture(bytes);
    benchmark::DoNotOptimize(box.render());
}

// Every frame at full size through the decoder, then the same shrink.
void plain_decode_then_shrink(benchmark::State& state, const char* name) {
    const vt::Bytes& bytes = picture(name);
    for (auto _ : state) {
        auto decoder = vt::open_picture(bytes.span());
        if (!decoder) state.SkipWithError("undecodable");
        const vt::PictureSize size = decoder.value()->size();
        const vt::TargetRect target = vt::place_picture(vt::DisplayMode::fit, FRAME_SIDE, FRAME_SIDE, size.width, size.height);
        for (int i = 0; i < decoder.value()->frame_count(); ++i) {
            auto frame = decoder.value()->frame(i, size);
            benchmark::DoNotOptimize(vt::area_resample(frame.value().image, target.width, target.height));
        }
    }
}

// libjpeg-turbo's scaled decode alone, at the scale the box picks (1/8 for
// both photos here), straight into an RGBA buffer.
void jpeg_scaled_decode_floor(benchmark::State& state, const char* name) {
    const vt::Bytes& bytes = picture(name);
    std::vector<std::uint8_t> pixels;
    for (auto _ : state) {
        jpeg_decompress_struct info{};
        jpeg_error_mgr errors{};
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, bytes.span().data(), static_cast<unsigned long>(bytes.span().size()));
        jpeg_read_header(&info, TRUE);
        info.out_color_space = JCS_EXT_RGBA;
        info.scale_num = 1;
        info.scale_denom = 8;
        jpeg_start_decompress(&info);
        pixels.resize(std::size_t{info.output_width} * info.output_height * 4);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = pixels.data() + std::size_t{info.output_scanline} * info.output_width * 4;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        benchmark::DoNotOptimize(pixels.data());
    }
}

// libpng's decode alone, to RGBA, no box.
void png_decode_floor(benchmark::State& state, const char* name) {
    const vt::Bytes& bytes = picture(name);
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        png_image_begin_read_from_memory(&image, bytes.span().data(), bytes.span().size());
        image.format = PNG_FORMAT_RGBA;
        std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
        png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
        benchmark::DoNotOptimize(pixels.data());
    }
}

// The shrink alone, from the 1/8 decode of the 2000 x 2000 photo.
void shrink_250_to_189(benchmark::State& state) {
    vt::RgbaImage source{250, 250, std::vector<std::uint8_t>(std::size_t{250} * 250 * 4)};
    for (std::size_t i = 0; i < source.pixels.size(); ++i) source.pixels[i] = static_cast<std::uint8_t>(i * 7919 >> 3);
    for (auto _ : state) benchmark::DoNotOptimize(vt::area_resample(source, 189, 189));
}

}  // namespace

BENCHMARK_CAPTURE(box_decode_and_fit, jpeg_2000x2000, "jpeg_2000x2000.jpg")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(plain_decode_then_shrink, jpeg_2000x2000, "jpeg_2000x2000.jpg")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(jpeg_scaled_decode_floor, jpeg_2000x2000, "jpeg_2000x2000.jpg")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(box_decode_and_fit, jpeg_4000x3000, "jpeg_4000x3000.jpg")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(plain_decode_then_shrink, jpeg_4000x3000, "jpeg_4000x3000.jpg")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(jpeg_scaled_decode_floor, jpeg_4000x3000, "jpeg_4000x3000.jpg")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(box_decode_and_fit, png_1000x1000, "png_1000x1000.png")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(plain_decode_then_shrink, png_1000x1000, "png_1000x1000.png")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(png_decode_floor, png_1000x1000, "png_1000x1000.png")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(box_decode_and_fit, gif_twenty_frames, "gif_twenty_frames.gif")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(plain_decode_then_shrink, gif_twenty_frames, "gif_twenty_frames.gif")->Unit(benchmark::kMillisecond);
BENCHMARK(shrink_250_to_189)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
