// Decode time of a 4000 x 3000 RGB PNG beside libpng (its simplified API, loaded at run time
// from the system library) and Pillow on the same file (its best decode time in a separate
// process), as the pairs "libpng_cpu" (goal: at least 1) and "pillow_cpu" of
// baseline_counters.h. The ratios use processor time, which a busy machine disturbs less
// than wall time. Target px_png_bench builds it optimised, without the sanitizers.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#if __has_include(<dlfcn.h>) && __has_include(<png.h>)
#include <dlfcn.h>
#include <png.h>
#define PX_HAVE_LIBPNG 1
#endif

#include "bench/baseline_counters.h"
#include "codecs/png/png.h"
#include "kernels/lookup_tables.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

std::string bench_file() {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/px_png_bench_4000x3000.png";
}

// A photograph-like picture (gradients with noise), written once by our own writer with the
// default adaptive filter; any conforming decoder reads the same file.
const std::string& picture_file() {
    static const std::string path = [] {
        const std::string p = bench_file();
        if (FILE* f = std::fopen(p.c_str(), "rb")) {
            std::fclose(f);
            return p;
        }
        const int64_t stride = stride_for_depth(kWidth, 24);
        std::vector<uint8_t> pixels(static_cast<size_t>(stride * kHeight));
        uint32_t seed = 1;
        for (int y = 0; y < kHeight; ++y) {
            uint8_t* row = pixels.data() + y * stride;
            for (int x = 0; x < kWidth; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int noise = static_cast<int>(seed >> 29) - 4;
                row[3 * x] = static_cast<uint8_t>((x / 16 + y / 24 + noise) & 0xFF);
                row[3 * x + 1] = static_cast<uint8_t>((x * y / 40000 + noise) & 0xFF);
                row[3 * x + 2] = static_cast<uint8_t>((255 - y / 12 + noise / 2) & 0xFF);
            }
        }
        PngWriterContext c;
        init_codec_context(&c, 0);
        png_build_crc_table(&c);
        png_writer_reset(&c);
        c.conversion.width = kWidth;
        c.conversion.height = kHeight;
        c.conversion.source_bits = 24;
        c.conversion.target_bits = 24;
        compute_row_sizes(&c.conversion);
        c.settings.level = 6;
        RgbQuad palette[256] = {};
        std::u16string wide(p.begin(), p.end());
        if (!write_png_file(wide, &c, palette, pixels.data()))
            std::fprintf(stderr, "cannot write %s\n", p.c_str());
        png_writer_release(&c);
        return p;
    }();
    return path;
}

double g_libpng_seconds = 0;

double now_seconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

#ifdef PX_HAVE_LIBPNG
struct Libpng {
    decltype(&png_image_begin_read_from_file) begin = nullptr;
    decltype(&png_image_finish_read) finish = nullptr;
    decltype(&png_image_free) free_image = nullptr;
};

const Libpng* libpng() {
    static const Libpng* api = []() -> const Libpng* {
        void* handle = dlopen("libpng16.so.16", RTLD_NOW);
        if (!handle) return nullptr;
        static Libpng l;
        l.begin = reinterpret_cast<decltype(l.begin)>(dlsym(handle, "png_image_begin_read_from_file"));
        l.finish = reinterpret_cast<decltype(l.finish)>(dlsym(handle, "png_image_finish_read"));
        l.free_image = reinterpret_cast<decltype(l.free_image)>(dlsym(handle, "png_image_free"));
        return l.begin && l.finish && l.free_image ? &l : nullptr;
    }();
    return api;
}

void BM_PngDecodeLibpng(benchmark::State& state) {
    const std::string& path = picture_file();
    const Libpng* api = libpng();
    if (!api) {
        state.SkipWithError("libpng16.so.16 not available");
        return;
    }
    double total = 0;
    for (auto _ : state) {
        const double t0 = now_seconds();
        // A fresh buffer each time, as our reader allocates the rows of every image it returns.
        std::unique_ptr<uint8_t[]> out(new uint8_t[static_cast<size_t>(kWidth) * kHeight * 3]);
        png_image image = {};
        image.version = PNG_IMAGE_VERSION;
        if (!api->begin(&image, path.c_str())) {
            state.SkipWithError("libpng cannot open the file");
            return;
        }
        image.format = PNG_FORMAT_BGR;
        if (!api->finish(&image, nullptr, out.get(), 0, nullptr)) {
            state.SkipWithError("libpng decode failed");
            return;
        }
        api->free_image(&image);
        benchmark::DoNotOptimize(out.get());
        total += now_seconds() - t0;
    }
    g_libpng_seconds = total / static_cast<double>(state.iterations());
}
BENCHMARK(BM_PngDecodeLibpng)->Unit(benchmark::kMillisecond)->MinTime(2.0);
#endif

double pillow_seconds(const std::string& path) {
    const std::string command =
        "/usr/bin/python3 -c \"import time; from PIL import Image\n"
        "best = 1e9\n"
        "for _ in range(5):\n"
        "    t = time.process_time(); im = Image.open('" +
        path +
        "'); im.load(); best = min(best, time.process_time() - t)\n"
        "print(best)\" 2>/dev/null";
    FILE* p = popen(command.c_str(), "r");
    if (!p) return 0;
    double value = 0;
    if (std::fscanf(p, "%lf", &value) != 1) value = 0;
    pclose(p);
    return value;
}

void BM_PngDecodeOurs(benchmark::State& state) {
    const std::string& path = picture_file();
    static uint8_t blend[65536];
    build_blend_table(blend);
    const std::u16string wide(path.begin(), path.end());
    PngContext c;
    init_codec_context(&c, 0);
    png_build_crc_table(&c);
    double total = 0;
    for (auto _ : state) {
        const double t0 = now_seconds();
        c.error = kCodecOk;
        png_reader_reset(&c);
        c.in_memory = 1;
        c.options.blend_table = blend;
        LoadedImage* image = read_png_file(&c, wide);
        if (!image) {
            state.SkipWithError("decode failed");
            png_reader_release(&c);
            return;
        }
        benchmark::DoNotOptimize(image->pixels);
        free_loaded_image(image);
        png_reader_release(&c);
        total += now_seconds() - t0;
    }
    const double ours = total / static_cast<double>(state.iterations());
    report_baseline(state, "libpng", g_libpng_seconds, ours, "cpu");
    report_baseline(state, "pillow", pillow_seconds(path), ours, "cpu");
}
BENCHMARK(BM_PngDecodeOurs)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
