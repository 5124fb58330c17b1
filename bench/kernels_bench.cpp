// Throughput of the pixel kernels on a 4000 x 3000 24-bit image, each beside a baseline:
// the plain per-pixel reference of the tests (pair "naive") and, for resize and rotation,
// ImageMagick on one thread on the same image (pair "imagemagick", its time for the
// operation alone: the run with the operation minus a run that only reads and writes the
// file). The pairs are reported as baseline_counters.h describes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "bench/baseline_counters.h"
#include "kernels/brush_kernels.h"
#include "kernels/colour_adjust.h"
#include "kernels/colour_model.h"
#include "kernels/geometry.h"
#include "tests/kernels/naive_kernels.h"

namespace {

using naive::Image;

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
// The references are slow: they run on a strip of this many rows, scaled to the image.
constexpr int kStripRows = 150;

double seconds_of(const std::function<void()>& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// A photograph-like image: smooth gradients with noise, so that range tests and medians see
// realistic mixes.
const Image& picture() {
    static const Image img = [] {
        Image out(kWidth, kHeight, 24);
        naive::Rng rng(7);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                uint8_t* p = out.at(x, y);
                p[0] = static_cast<uint8_t>((x * 255 / kWidth + rng.range(0, 15)) & 255);
                p[1] = static_cast<uint8_t>((y * 255 / kHeight + rng.range(0, 15)) & 255);
                p[2] = static_cast<uint8_t>(((x + y) * 128 / kWidth + rng.range(0, 31)) & 255);
            }
        }
        return out;
    }();
    return img;
}

Image strip_of(const Image& img) {
    Image s(img.width, kStripRows, 24);
    std::memcpy(s.pixels.data(), img.pixels.data(), s.pixels.size());
    return s;
}

struct Env {
    naive::Tables tables;
    Image dst;
    std::vector<uint8_t> mask;
    Env() {
        tables.bind(picture(), &dst, nullptr);
        prepare_contrast_tables(tables.ctx.get(), tables.luma_t.data(), tables.contrast_t.data());
    }
};

Env& env() {
    static Env e;
    return e;
}

// Times the kernel with the library's loop, then the reference once, and reports the ratio.
void run_with_baseline(benchmark::State& state, const std::function<void()>& kernel,
                       const std::function<double()>& reference_seconds) {
    double spent = 0;
    int64_t runs = 0;
    for (auto _ : state) {
        spent += seconds_of(kernel);
        ++runs;
    }
    state.SetBytesProcessed(runs * static_cast<int64_t>(kWidth) * kHeight * 3);
    report_baseline(state, "naive", reference_seconds(), spent / runs);
}

// The reference effect over a strip, scaled to the whole image.
double naive_colour_seconds(const std::function<void(const uint8_t*, uint8_t*)>& effect) {
    const Image strip = strip_of(picture());
    return seconds_of([&] { benchmark::DoNotOptimize(naive::apply_masked(strip, nullptr, effect)); }) *
           kHeight / kStripRows;
}

void colour_bench(benchmark::State& state, void (*kernel)(AdjustContext*),
                  std::function<void(const uint8_t*, uint8_t*)> effect) {
    AdjustContext* c = env().tables.ctx.get();
    run_with_baseline(
        state, [&] { kernel(c); }, [&] { return naive_colour_seconds(effect); });
}

uint8_t g_poster[256];
const uint8_t kPicked[3] = {120, 200, 60};
const uint8_t kTarget[3] = {250, 10, 10};

#define COLOUR_BENCH(name, call, ...)              \
    void BM_##name(benchmark::State& state) {      \
        colour_bench(                              \
            state, [](AdjustContext* c) { call; }, \
            [](const uint8_t* s, uint8_t* e) {     \
                (void)s;                           \
                __VA_ARGS__;                       \
            });                                    \
    }                                              \
    BENCHMARK(BM_##name)->Unit(benchmark::kMillisecond)->Iterations(3)

COLOUR_BENCH(levels, apply_levels_rgb(c, 230, 20, 3),
             for (int ch = 0; ch < 3; ++ch)
                 e[ch] = static_cast<uint8_t>(naive::levels_value(230, 20, s[ch])));
COLOUR_BENCH(gamma, apply_gamma_rgb(c, 30, 30, 30),
             for (int ch = 0; ch < 3; ++ch) e[ch] = static_cast<uint8_t>(naive::gamma_value(130, s[ch])));
COLOUR_BENCH(brightness, apply_brightness_rgb(c, 40, 40, 40),
             for (int ch = 0; ch < 3; ++ch) e[ch] = static_cast<uint8_t>(naive::clampi(s[ch] + 40, 0, 255)));
COLOUR_BENCH(contrast, apply_contrast_rgb(c, 50, 50, 50),
             for (int ch = 0; ch < 3; ++ch)
                 e[ch] = static_cast<uint8_t>(naive::contrast_value(50, 128, s[ch])));
COLOUR_BENCH(invert, invert_colours_rgb(c),
             for (int ch = 0; ch < 3; ++ch) e[ch] = static_cast<uint8_t>(255 - s[ch]));
COLOUR_BENCH(posterize, apply_posterize_rgb(c, 6, g_poster),
             for (int ch = 0; ch < 3; ++ch) e[ch] = static_cast<uint8_t>(naive::posterize_value(6, s[ch])));
COLOUR_BENCH(hue_saturation, apply_hue_saturation_rgb(c, 40, 10, 30), naive::hsl(e, 40, 10, 30));
COLOUR_BENCH(
    hue_saturation_in_range, apply_hue_saturation_in_range_rgb(c, 40, 10, 30, kPicked),
    if (naive::sq_distance(s, kPicked) <= 48387) {
        uint8_t h[3] = {s[0], s[1], s[2]};
        naive::hsl(h, 40, 10, 30);
        const int w = naive::falloff(127, naive::sq_distance(s, kPicked));
        for (int ch = 0; ch < 3; ++ch) e[ch] = static_cast<uint8_t>(naive::mix(w, h[ch], s[ch]));
    });
COLOUR_BENCH(
    replace_colour, replace_colour_rgb(c, 200, kPicked, kTarget),
    if (naive::sq_distance(s, kPicked) <= 48387) {
        const int w = naive::blend(200, naive::falloff(127, naive::sq_distance(s, kPicked)));
        for (int ch = 0; ch < 3; ++ch) e[ch] = static_cast<uint8_t>(naive::mix(w, kTarget[2 - ch], s[ch]));
    });
COLOUR_BENCH(
    shadow_highlight, apply_shadow_highlight_rgb(c, 30, 20),
    const int d0 = s[0] * s[0] + s[1] * s[1] + s[2] * s[2];
    if (d0 <= 48387) {
        const int w = naive::falloff(127, d0);
        for (int ch = 0; ch < 3; ++ch) {
            e[ch] = static_cast<uint8_t>(naive::mix(w, naive::gamma_value(130, s[ch]), s[ch]));
        }
    });
COLOUR_BENCH(equalize, equalize_rgb(c),
             naive::hsl(e, 0, (naive::luma_rounded(s) * 2 / 3 - naive::luma_rounded(s)) >> 1, 0));
COLOUR_BENCH(colour_filter, apply_colour_filter_rgb(c, env().tables.lum_t.get(), 120, kTarget),
             for (int ch = 0; ch < 3; ++ch)
                 e[ch] = static_cast<uint8_t>(naive::mix(120, kTarget[2 - ch], s[ch]));
             naive::restore_luminance(s, e));
COLOUR_BENCH(colour_balance, apply_colour_balance_rgb(c, env().tables.lum_t.get(), 20, -30, 40),
             const int off[3] = {20, -30, 40};
             for (int ch = 0; ch < 3; ++ch)
                 e[ch] = static_cast<uint8_t>(naive::clampi(s[ch] + off[ch], 0, 255));
             naive::restore_luminance(s, e));

void BM_luma_histogram(benchmark::State& state) {
    AdjustContext* c = env().tables.ctx.get();
    run_with_baseline(
        state,
        [&] {
            int32_t hist[256] = {};
            count_luma_histogram_rgb(c, hist);
            benchmark::DoNotOptimize(hist);
        },
        [] {
            const Image strip = strip_of(picture());
            return seconds_of([&] {
                       int32_t hist[256] = {};
                       for (int y = 0; y < strip.height; ++y) {
                           for (int x = 0; x < strip.width; ++x) ++hist[naive::luma_rounded(strip.at(x, y))];
                       }
                       benchmark::DoNotOptimize(hist);
                   }) *
                   kHeight / kStripRows;
        });
}
BENCHMARK(BM_luma_histogram)->Unit(benchmark::kMillisecond)->Iterations(3);

// Geometry: the reference copies pixel by pixel through the coordinate map.
void BM_rotate_flip(benchmark::State& state) {
    const int type = static_cast<int>(state.range(0));
    const Image& src = picture();
    const bool swap = type == 1 || type == 3;
    Image dst(swap ? kHeight : kWidth, swap ? kWidth : kHeight, 24);
    run_with_baseline(
        state,
        [&] {
            benchmark::DoNotOptimize(
                rotate_flip_pixels(DibPair{kWidth, kHeight, src.pixels.data(), dst.pixels.data()}, type, 24));
        },
        [&] {
            return seconds_of([&] {
                for (int r = 0; r < dst.height; ++r) {
                    for (int i = 0; i < dst.width; ++i) {
                        int sr = r, sc = i;
                        if (type == 1) sr = i, sc = kWidth - 1 - r;
                        if (type == 2) sr = kHeight - 1 - r, sc = kWidth - 1 - i;
                        if (type == 3) sr = kHeight - 1 - i, sc = r;
                        if (type == 4) sc = kWidth - 1 - i;
                        if (type == 5) sr = kHeight - 1 - r;
                        std::memcpy(dst.at(i, r), src.at(sc, sr), 3);
                    }
                }
            });
        });
}
BENCHMARK(BM_rotate_flip)->DenseRange(1, 5)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_crop(benchmark::State& state) {
    const Image& src = picture();
    Image dst(3000, 2000, 24);
    run_with_baseline(
        state,
        [&] {
            benchmark::DoNotOptimize(crop_pixels(
                DibPair{kWidth, kHeight, src.pixels.data(), dst.pixels.data()}, 24, 500, 500, 3499, 2499));
        },
        [&] {
            return seconds_of([&] {
                for (int y = 0; y < 2000; ++y) {
                    for (int x = 0; x < 3000; ++x)
                        std::memcpy(dst.at(x, y), src.at(500 + x, kHeight - 1 - 2499 + y), 3);
                }
            });
        });
}
BENCHMARK(BM_crop)->Unit(benchmark::kMillisecond)->Iterations(3);

// ImageMagick on one thread; the operation's share is its run minus a plain copy run.
double imagemagick_seconds(const std::string& operation) {
    static const std::string dir = [] {
        const char* t = std::getenv("TMPDIR");
        return std::string(t ? t : "/tmp");
    }();
    const std::string in = dir + "/px_kernels_bench_in.ppm", out = dir + "/px_kernels_bench_out.ppm";
    static bool written = false;
    if (!written) {
        std::ofstream f(in, std::ios::binary);
        f << "P6\n" << kWidth << " " << kHeight << "\n255\n";
        const Image& img = picture();
        for (int y = kHeight - 1; y >= 0; --y) {
            for (int x = 0; x < kWidth; ++x) {
                const uint8_t* p = img.at(x, y);
                const char rgb[3] = {static_cast<char>(p[2]), static_cast<char>(p[1]),
                                     static_cast<char>(p[0])};
                f.write(rgb, 3);
            }
        }
        written = true;
    }
    auto run = [&](const std::string& op) {
        const std::string cmd =
            "/usr/bin/convert -limit thread 1 " + in + " " + op + " " + out + " 2>/dev/null";
        double best = 1e9;
        for (int i = 0; i < 2; ++i) {
            double t = seconds_of([&] {
                if (std::system(cmd.c_str()) != 0) t = -1;
            });
            best = std::min(best, t);
        }
        return best;
    };
    const double plain = run("");
    const double with_op = run(operation);
    std::remove(out.c_str());
    return with_op - plain;
}

void imagemagick_counter(benchmark::State& state, double kernel_seconds, const std::string& op) {
    if (std::system("/usr/bin/convert -version >/dev/null 2>&1") != 0) return;
    report_baseline(state, "imagemagick", imagemagick_seconds(op), kernel_seconds);
}

void BM_rotate_smooth(benchmark::State& state) {
    const Image& src = picture();
    const uint8_t bg[3] = {255, 255, 255};
    Image dst(kWidth, kHeight, 24);
    double spent = 0;
    int64_t runs = 0;
    for (auto _ : state) {
        spent += seconds_of([&] {
            rotate_pixels_smooth(DibPair{kWidth, kHeight, src.pixels.data(), dst.pixels.data()}, 123, bg,
                                 kWidth, kHeight);
        });
        ++runs;
    }
    state.SetBytesProcessed(runs * static_cast<int64_t>(kWidth) * kHeight * 3);
    report_baseline(
        state, "naive",
        seconds_of([&] { benchmark::DoNotOptimize(naive::rotate(src, 123, bg, kWidth, kStripRows, true)); }) *
            kHeight / kStripRows,
        spent / runs);
    imagemagick_counter(state, spent / runs, "-interpolate bilinear -virtual-pixel white -distort SRT 12.3");
}
BENCHMARK(BM_rotate_smooth)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_rotate_nearest(benchmark::State& state) {
    const Image& src = picture();
    const uint8_t bg[3] = {255, 255, 255};
    Image dst(kWidth, kHeight, 24);
    run_with_baseline(
        state,
        [&] {
            rotate_pixels_nearest(DibPair{kWidth, kHeight, src.pixels.data(), dst.pixels.data()}, 123, bg);
        },
        [&] {
            return seconds_of([&] {
                       benchmark::DoNotOptimize(naive::rotate(src, 123, bg, kWidth, kStripRows, false));
                   }) *
                   kHeight / kStripRows;
        });
}
BENCHMARK(BM_rotate_nearest)->Unit(benchmark::kMillisecond)->Iterations(3);

void resize_bench(benchmark::State& state, int nw, int nh, const std::string& im_op) {
    const Image& src = picture();
    Image dst(nw, nh, 24);
    double spent = 0;
    int64_t runs = 0;
    for (auto _ : state) {
        DibPair pair{kWidth, kHeight, src.pixels.data(), dst.pixels.data()};
        spent += seconds_of([&] { benchmark::DoNotOptimize(resize_pixels(pair, nw, nh)); });
        ++runs;
    }
    state.SetBytesProcessed(runs * static_cast<int64_t>(kWidth) * kHeight * 3);
    report_baseline(state, "naive", seconds_of([&] { benchmark::DoNotOptimize(naive::resize(src, nw, nh)); }),
                    spent / runs);
    imagemagick_counter(state, spent / runs, im_op);
}

void BM_resize_shrink(benchmark::State& state) {
    resize_bench(state, 1000, 750, "-scale 1000x750!");
}
BENCHMARK(BM_resize_shrink)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_resize_enlarge(benchmark::State& state) {
    resize_bench(state, 6000, 4500, "-filter Triangle -resize 6000x4500!");
}
BENCHMARK(BM_resize_enlarge)->Unit(benchmark::kMillisecond)->Iterations(2);

// Brushes: a grid of 128-pixel dabs over the whole image, as a stroke across it would lay.
struct BrushEnv {
    uint8_t blend[kBlendTableSize];
    uint8_t gamma[kGammaCurvesSize];
    uint8_t grey[kGreyTables256Size];
    uint8_t div9[kDiv9TableSize];
    HslTables hsl;
    uint8_t* tips[kBrushTipCount];
    Image dst;
    BrushEnv() {
        BrushKernelState& b = g_brush_state;
        b.blend = build_blend_table(blend);
        b.gamma = build_gamma_curves(gamma);
        b.grey = build_luma_tables_256(grey);
        brush_build_div9_table(div9);
        install_hsl_tables_for_brush(&hsl);
        build_brush_tips(tips);
        b.tips = tips;
        dst = picture();
        set_brush_image(kWidth, kHeight, picture().pixels.data(), dst.pixels.data(), nullptr);
    }
};

const uint8_t kPaint[3] = {200, 30, 60};

void brush_bench(benchmark::State& state, const char* name, void (*kernel)(const DabRect*), int level,
                 bool inset) {
    static BrushEnv* be = new BrushEnv;
    g_brush_state.level = level;
    g_brush_state.opacity = 128;
    g_brush_state.paint_colour = kPaint;
    auto grid = [&](const std::function<void(const DabRect&)>& dab, int rows) {
        for (int y = 0; y < rows; y += 128) {
            for (int x = 0; x < kWidth; x += 128) dab(DabRect{x, y, x + 128, y + 128});
        }
    };
    run_with_baseline(
        state, [&] { grid([&](const DabRect& r) { kernel(&r); }, kHeight); },
        [&] {
            const naive::BrushMode mode{name, level, inset, kPaint, 128};
            return seconds_of([&] {
                       grid([&](const DabRect& r) { naive::dab(mode, picture(), &be->dst, nullptr, r); },
                            256);
                   }) *
                   kHeight / 256;
        });
}

void BM_brush_paint(benchmark::State& s) {
    brush_bench(s, "paint", paint_dab, 0, false);
}
void BM_brush_brighten(benchmark::State& s) {
    brush_bench(s, "brighten", brush_tone, 40, false);
}
void BM_brush_vivid(benchmark::State& s) {
    brush_bench(s, "vivid", brush_saturation, 60, false);
}
void BM_brush_sharpen(benchmark::State& s) {
    brush_bench(s, "sharpen", brush_sharpen, 120, true);
}
void BM_brush_blur(benchmark::State& s) {
    brush_bench(s, "blur", brush_blur, 120, true);
}
void BM_brush_denoise(benchmark::State& s) {
    brush_bench(s, "denoise", brush_denoise, 0, true);
}
void BM_brush_red_eye(benchmark::State& s) {
    brush_bench(s, "red_eye", brush_red_eye, 0, false);
}
BENCHMARK(BM_brush_paint)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_brush_brighten)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_brush_vivid)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_brush_sharpen)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_brush_blur)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_brush_denoise)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_brush_red_eye)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
