#include "shell/picbox/area_resample.h"

#include <algorithm>
#include <cmath>

namespace vt {

namespace {

struct Contribution {
    int first = 0;
    std::vector<float> weights;  // for source pixels first, first + 1, ...
};

// For each target index, the source pixels it covers and by how much.
std::vector<Contribution> contributions(int source_size, int target_size) {
    std::vector<Contribution> out(static_cast<std::size_t>(target_size));
    const double scale = static_cast<double>(source_size) / target_size;
    for (int t = 0; t < target_size; ++t) {
        const double begin = t * scale;
        const double end = std::min<double>(source_size, (t + 1) * scale);
        Contribution& c = out[static_cast<std::size_t>(t)];
        c.first = static_cast<int>(std::floor(begin));
        for (int s = c.first; s < end && s < source_size; ++s) {
            const double covered = std::min<double>(s + 1, end) - std::max<double>(s, begin);
            c.weights.push_back(static_cast<float>(covered / scale));
        }
    }
    return out;
}

}  // namespace

RgbaImage area_resample(const RgbaImage& source, int width, int height) {
    if (width == source.width && height == source.height) return source;
    const auto across = contributions(source.width, width);
    const auto down = contributions(source.height, height);

    // Horizontal pass into float rows, then vertical into the target.
    std::vector<float> rows(static_cast<std::size_t>(width) * static_cast<std::size_t>(source.height) * 4);
    for (int y = 0; y < source.height; ++y) {
        const std::uint8_t* in = source.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(source.width) * 4;
        float* out = rows.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4;
        for (int x = 0; x < width; ++x) {
            const Contribution& c = across[static_cast<std::size_t>(x)];
            float sum[4] = {0, 0, 0, 0};
            for (std::size_t k = 0; k < c.weights.size(); ++k) {
                const std::uint8_t* p = in + (static_cast<std::size_t>(c.first) + k) * 4;
                for (int ch = 0; ch < 4; ++ch) sum[ch] += p[ch] * c.weights[k];
            }
            std::copy(sum, sum + 4, out + static_cast<std::size_t>(x) * 4);
        }
    }
    RgbaImage target{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4)};
    const std::size_t row_floats = static_cast<std::size_t>(width) * 4;
    std::vector<float> sum(row_floats);
    for (int y = 0; y < height; ++y) {
        const Contribution& c = down[static_cast<std::size_t>(y)];
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (std::size_t k = 0; k < c.weights.size(); ++k) {
            const float* in = rows.data() + (static_cast<std::size_t>(c.first) + k) * row_floats;
            const float w = c.weights[k];
            for (std::size_t i = 0; i < row_floats; ++i) sum[i] += in[i] * w;
        }
        std::uint8_t* out = target.pixels.data() + static_cast<std::size_t>(y) * row_floats;
        for (std::size_t i = 0; i < row_floats; ++i) out[i] = static_cast<std::uint8_t>(std::clamp(sum[i] + 0.5f, 0.0f, 255.0f));
    }
    return target;
}

}  // namespace vt
