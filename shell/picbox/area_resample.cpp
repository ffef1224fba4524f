#include "shell/picbox/area_resample.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace vt {

namespace {

// Fixed point sized for 16-bit multiplies (which the processor does eight
// at a time): a weight is the share of a source pixel in a target pixel in
// units of 1/16384, the shares of one target pixel adding up to exactly
// 16384 so a flat area stays exactly flat.
constexpr int WEIGHT_BITS = 14;
constexpr std::int32_t WEIGHT_ONE = 1 << WEIGHT_BITS;
// Between the passes a level keeps 7 bits of fraction: 255 << 7 still fits
// a signed 16-bit value, and its products with the weights fit 32 bits.
constexpr int KEPT_BITS = 7;

using Weight = std::int16_t;
using Level = std::int16_t;

struct Span {
    std::size_t first = 0;    // first source pixel read
    std::size_t weights = 0;  // where its `taps` weights start in the table
};

// Every target pixel reads the same number of source pixels, `taps`: the
// most any of them covers, the others padded with zero weights.
struct Coverage {
    std::size_t taps = 0;
    std::vector<Span> spans;       // one per target pixel
    std::vector<Weight> weights;   // taps per span, in order
};

// Target pixel t covers the source interval [t * scale, (t + 1) * scale).
Coverage coverage(int source_size, int target_size) {
    const auto source_end = static_cast<std::size_t>(source_size);
    const double scale = static_cast<double>(source_size) / target_size;
    std::vector<std::vector<Weight>> shares(static_cast<std::size_t>(target_size));
    Coverage out;
    out.spans.resize(shares.size());
    for (std::size_t t = 0; t < shares.size(); ++t) {
        const double begin = static_cast<double>(t) * scale;
        const double end = std::min<double>(source_size, static_cast<double>(t + 1) * scale);
        const std::size_t first = std::min(static_cast<std::size_t>(begin), source_end - 1);
        // Weights from rounded running totals, so they add up to WEIGHT_ONE.
        std::int32_t given = 0;
        for (std::size_t s = first; s == first || (static_cast<double>(s) < end && s < source_end); ++s) {
            const double covered = std::min<double>(static_cast<double>(s) + 1, end) - begin;
            const auto total = std::min(static_cast<std::int32_t>(std::lround(covered / scale * WEIGHT_ONE)), WEIGHT_ONE);
            shares[t].push_back(static_cast<Weight>(total - given));
            given = total;
        }
        shares[t].back() = static_cast<Weight>(shares[t].back() + WEIGHT_ONE - given);
        out.spans[t].first = first;
        out.taps = std::max(out.taps, shares[t].size());
    }
    for (std::size_t t = 0; t < shares.size(); ++t) {
        Span& span = out.spans[t];
        span.weights = out.weights.size();
        // Padding goes after the span, or before it at the source's end.
        const std::size_t padding = out.taps - shares[t].size();
        const std::size_t overhang = span.first + out.taps > source_end ? span.first + out.taps - source_end : 0;
        const std::size_t before = std::min(padding, overhang);
        span.first -= before;
        out.weights.insert(out.weights.end(), before, Weight{0});
        out.weights.insert(out.weights.end(), shares[t].begin(), shares[t].end());
        out.weights.insert(out.weights.end(), padding - before, Weight{0});
    }
    return out;
}

// One target row from the vertically summed source row: each target pixel
// the weighted sum of the columns it covers. A known small tap count lets
// the compiler unroll and keep the four channels together.
template <std::size_t Taps>
void shrink_row_taps(const Level* row, const Coverage& across, std::uint8_t* out) {
    constexpr int shift = WEIGHT_BITS + KEPT_BITS;
    constexpr std::int32_t half = 1 << (shift - 1);
    const std::size_t taps = Taps ? Taps : across.taps;
    for (const Span& span : across.spans) {
        const Weight* w = across.weights.data() + span.weights;
        const Level* in = row + span.first * 4;
        std::int32_t sum[4] = {half, half, half, half};
        for (std::size_t k = 0; k < taps; ++k)
            // cppcheck-suppress constStatement ; a braced conversion, read as an unused array access
            for (std::size_t c = 0; c < 4; ++c) sum[c] += std::int32_t{in[k * 4 + c]} * w[k];
        for (std::size_t c = 0; c < 4; ++c) out[c] = static_cast<std::uint8_t>(sum[c] >> shift);
        out += 4;
    }
}

void shrink_row(const Level* row, const Coverage& across, std::uint8_t* out) {
    switch (across.taps) {
        case 1: return shrink_row_taps<1>(row, across, out);
        case 2: return shrink_row_taps<2>(row, across, out);
        case 3: return shrink_row_taps<3>(row, across, out);
        case 4: return shrink_row_taps<4>(row, across, out);
        default: return shrink_row_taps<0>(row, across, out);
    }
}

}  // namespace

RgbaImage area_resample(const RgbaImage& source, int width, int height) {
    if (width == source.width && height == source.height) return source;
    const Coverage across = coverage(source.width, width);
    const Coverage down = coverage(source.height, height);
    const std::size_t source_row = static_cast<std::size_t>(source.width) * 4;
    const std::size_t target_row = static_cast<std::size_t>(width) * 4;

    RgbaImage target{width, height, std::vector<std::uint8_t>(target_row * static_cast<std::size_t>(height))};
    // Per target row: the source rows it covers summed by weight into one
    // row (down), then that row shrunk across.
    std::vector<std::int32_t> sums(source_row);
    std::vector<Level> row(source_row);
    for (int y = 0; y < height; ++y) {
        const Span& rows = down.spans[static_cast<std::size_t>(y)];
        std::fill(sums.begin(), sums.end(), 0);
        for (std::size_t k = 0; k < down.taps; ++k) {
            const std::int32_t w = down.weights[rows.weights + k];
            if (w == 0) continue;  // padding
            const std::uint8_t* in = source.pixels.data() + (rows.first + k) * source_row;
            for (std::size_t i = 0; i < source_row; ++i) sums[i] += in[i] * w;
        }
        constexpr int shift = WEIGHT_BITS - KEPT_BITS;
        constexpr std::int32_t half = 1 << (shift - 1);
        for (std::size_t i = 0; i < source_row; ++i) row[i] = static_cast<Level>((sums[i] + half) >> shift);
        shrink_row(row.data(), across, target.pixels.data() + static_cast<std::size_t>(y) * target_row);
    }
    return target;
}

}  // namespace vt
