// Error diffusion over a 2000 x 1500 picture: the row loops split by pixel position (the
// codec's diffuse_bgr and diffuse_grey_threshold) beside a scan that works the position out
// for every pixel and switches on it for every channel (diffusion_position and spread_error
// below, the form the codec had before). Both produce the same bytes; the benchmark checks that before
// timing.
//
//   cmake --build build/native --target px_conversion_bench && build/native/bin/px_conversion_bench
//
// The scan benchmarks choose colours by a cheap rule so that the loop itself is measured; the
// conversion benchmarks run the whole convert_pixel_depth, nearest-colour search and all.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "codecs/conversion.h"

namespace {

// Where a pixel lies decides which neighbours receive its error.
enum class DiffusionPosition : uint8_t {
    kFirst,         // first pixel of a row, not the last row
    kMiddle,        // middle pixel, not the last row
    kLast,          // last pixel of a row, not the last row
    kSingleColumn,  // one-pixel-wide image, not the last row
    kLastRow,       // last row, any pixel but the last
    kFinal,         // last pixel of the last row
};

DiffusionPosition diffusion_position(int32_t x, int32_t y, int32_t width, int32_t height) {
    if (y == height - 1) return x == width - 1 ? DiffusionPosition::kFinal : DiffusionPosition::kLastRow;
    if (width == 1) return DiffusionPosition::kSingleColumn;
    if (x == 0) return DiffusionPosition::kFirst;
    if (x == width - 1) return DiffusionPosition::kLast;
    return DiffusionPosition::kMiddle;
}

void spread_error(const ConversionContext* c, uint8_t* p, int32_t stride, int32_t step,
                  DiffusionPosition position, int32_t error) {
    if (!c->diffusing) return;
    const uint8_t* clamp = c->clamp();
    uint8_t* below = p + stride;
    auto add = [clamp](uint8_t* q, int32_t share) { *q = clamp[*q + share]; };
    switch (position) {
        case DiffusionPosition::kFirst:
            add(p + step, c->w7()[error]);
            add(below, c->w5()[error]);
            add(below + step, c->w1()[error]);
            break;
        case DiffusionPosition::kMiddle:
            add(p + step, c->w7()[error]);
            add(below, c->w5()[error]);
            add(below + step, c->w1()[error]);
            add(below - step, c->w3()[error]);
            break;
        case DiffusionPosition::kLast:
            add(below, c->w5()[error]);
            add(below - step, c->w3()[error]);
            break;
        case DiffusionPosition::kSingleColumn: add(below, c->w5()[error]); break;
        case DiffusionPosition::kLastRow: add(p + step, c->w7()[error]); break;
        case DiffusionPosition::kFinal: break;
    }
}

constexpr int32_t kWidth = 2000;
constexpr int32_t kHeight = 1500;

// Smooth gradients with noise: every grey level and plenty of error to spread.
const std::vector<uint8_t>& picture_24() {
    static const std::vector<uint8_t> bytes = [] {
        const int64_t stride = stride_for_depth(kWidth, 24);
        std::vector<uint8_t> b(static_cast<size_t>(stride * kHeight));
        std::mt19937 rng(11);
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x) {
                uint8_t* p = &b[static_cast<size_t>(y * stride + 3 * x)];
                const int noise = static_cast<int>(rng() % 32) - 16;
                p[0] = static_cast<uint8_t>(std::min(255, std::max(0, x * 255 / kWidth + noise)));
                p[1] = static_cast<uint8_t>(std::min(255, std::max(0, y * 255 / kHeight - noise)));
                p[2] = static_cast<uint8_t>((x + y) & 0xFF);
            }
        return b;
    }();
    return bytes;
}

ConversionContext* context(int32_t target_bits) {
    auto* c = new ConversionContext;
    init_conversion_context(c);
    c->width = kWidth;
    c->height = kHeight;
    c->source_bits = 24;
    c->target_bits = target_bits;
    c->dither_mode = kDitherDiv16;
    compute_row_sizes(c);
    setup_diffusion(c);
    return c;
}

// The eight corners of the colour cube, chosen by the top bit of each channel.
const RgbQuad kCorners[8] = {{0, 0, 0, 0},   {255, 0, 0, 0},   {0, 255, 0, 0},   {255, 255, 0, 0},
                             {0, 0, 255, 0}, {255, 0, 255, 0}, {0, 255, 255, 0}, {255, 255, 255, 0}};
const auto corner = [](int b, int g, int r) { return (b >> 7) | ((g >> 7) << 1) | ((r >> 7) << 2); };

template <typename Choose, typename Store>
void per_pixel_bgr(ConversionContext* c, uint8_t* work, int32_t stride, const RgbQuad* palette, Choose choose,
                   Store store) {
    for (int32_t y = 0; y < c->height; ++y) {
        uint8_t* row = work + static_cast<int64_t>(y) * stride;
        for (int32_t x = 0; x < c->width; ++x) {
            uint8_t* p = row + 3 * x;
            const int index = choose(p[0], p[1], p[2]);
            store(x, y, index);
            const DiffusionPosition pos = diffusion_position(x, y, c->width, c->height);
            const RgbQuad& e = palette[index];
            spread_error(c, p + 0, stride, 3, pos, p[0] - e.blue);
            spread_error(c, p + 1, stride, 3, pos, p[1] - e.green);
            spread_error(c, p + 2, stride, 3, pos, p[2] - e.red);
        }
    }
}

template <typename Store>
void per_pixel_grey(ConversionContext* c, uint8_t* grey, Store store) {
    const int32_t w = c->width;
    for (int32_t y = 0; y < c->height; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* p = grey + static_cast<int64_t>(y) * w + x;
            const int value = *p;
            const DiffusionPosition pos = diffusion_position(x, y, w, c->height);
            if (pos == DiffusionPosition::kFinal) {
                store(x, y, (value >> 7) & 1);
                continue;
            }
            const int bit = value >= 128 ? 1 : 0;
            store(x, y, bit);
            spread_error(c, p, w, 1, pos, bit ? value - 255 : value);
        }
}

// Runs one colour scan over a fresh work copy; returns the indices.
template <bool kSplit>
std::vector<uint8_t> scan_bgr(ConversionContext* c) {
    std::vector<uint8_t> work(picture_24());
    std::vector<uint8_t> out(static_cast<size_t>(kWidth) * kHeight);
    const int32_t stride = static_cast<int32_t>(stride_for_depth(kWidth, 24));
    auto store = [&out](int32_t x, int32_t y, int index) {
        out[static_cast<size_t>(y) * kWidth + x] = static_cast<uint8_t>(index);
    };
    if (kSplit) {
        diffuse_bgr(c, work.data(), stride, kCorners, corner, store);
    } else {
        per_pixel_bgr(c, work.data(), stride, kCorners, corner, store);
    }
    return out;
}

std::vector<uint8_t> grey_copy(ConversionContext* c) {
    uint8_t* grey = make_grey_work_copy(c, nullptr, picture_24().data());
    std::vector<uint8_t> copy(grey, grey + static_cast<size_t>(kWidth) * kHeight);
    free_work(grey);
    return copy;
}

template <bool kSplit>
std::vector<uint8_t> scan_grey(ConversionContext* c, const std::vector<uint8_t>& grey) {
    std::vector<uint8_t> work(grey);
    std::vector<uint8_t> out(static_cast<size_t>(kWidth) * kHeight);
    auto store = [&out](int32_t x, int32_t y, int bit) {
        out[static_cast<size_t>(y) * kWidth + x] = static_cast<uint8_t>(bit);
    };
    if (kSplit) {
        diffuse_grey_threshold(c, work.data(), store);
    } else {
        per_pixel_grey(c, work.data(), store);
    }
    return out;
}

void check(bool same, benchmark::State& state) {
    if (!same) state.SkipWithError("the two scans differ");
}

template <bool kSplit>
void BM_ColourScan(benchmark::State& state) {
    ConversionContext* c = context(8);
    check(scan_bgr<true>(c) == scan_bgr<false>(c), state);
    for (auto _ : state) benchmark::DoNotOptimize(scan_bgr<kSplit>(c).data());
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
    delete c;
}

template <bool kSplit>
void BM_GreyThreshold(benchmark::State& state) {
    ConversionContext* c = context(1);
    const std::vector<uint8_t> grey = grey_copy(c);
    check(scan_grey<true>(c, grey) == scan_grey<false>(c, grey), state);
    for (auto _ : state) benchmark::DoNotOptimize(scan_grey<kSplit>(c, grey).data());
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
    delete c;
}

void BM_Convert(benchmark::State& state) {
    const int32_t target_bits = static_cast<int32_t>(state.range(0));
    ConversionContext* c = context(target_bits);
    std::vector<uint8_t> out(static_cast<size_t>(c->image_bytes));
    RgbQuad palette[256] = {};
    for (auto _ : state) {
        if (!convert_pixel_depth(palette, out.data(), c, nullptr, picture_24().data()))
            state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
    delete c;
}

BENCHMARK_TEMPLATE(BM_ColourScan, false)->Name("colour_scan/per_pixel")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_ColourScan, true)->Name("colour_scan/split")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_GreyThreshold, false)->Name("grey_threshold/per_pixel")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_GreyThreshold, true)->Name("grey_threshold/split")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert)->Name("convert_24_to")->Arg(1)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);

}  // namespace
