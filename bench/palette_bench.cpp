// Reduction of a 12-megapixel photo to 256 and to 16 colours with error diffusion, beside
// ImageMagick's "-colors 256" on the same image. The photo is PX_BENCH_PHOTO (a 24-bit BMP)
// or, without it, a seeded plasma picture that ImageMagick renders once.
//
//   cmake --build build/native --target px_palette_bench && build/native/bin/px_palette_bench
//
// The pair "imagemagick" (baseline_counters.h) compares the times. ImageMagick's time
// includes its start-up and file I/O, so the ratio flatters us slightly.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/baseline_counters.h"
#include "codecs/bmp/bmp.h"
#include "codecs/conversion.h"
#include "codecs/palette.h"
#include "common/utf16.h"

namespace {

struct Photo {
    std::string path;
    LoadedImage image = {};
    bool ok = false;
};

std::string temp_folder() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

Photo& photo() {
    static Photo p = [] {
        Photo q;
        const char* given = std::getenv("PX_BENCH_PHOTO");
        if (given && *given) {
            q.path = given;
        } else {
            q.path = temp_folder() + "/px_bench_photo_4000x3000.bmp";
            FILE* f = std::fopen(q.path.c_str(), "rb");
            if (f) {
                std::fclose(f);
            } else {
                const std::string cmd =
                    "/usr/bin/convert -seed 7 -size 4000x3000 plasma:fractal -blur 0x1 -type truecolor "
                    "BMP3:" +
                    q.path;
                if (std::system(cmd.c_str()) != 0) return q;
            }
        }
        BmpContext c;
        init_bmp_context(&c, 0);
        bmp_reader_reset(&c);
        c.in_memory = 1;
        LoadedImage* image = read_bmp_file(utf8_to_utf16(q.path), &c);
        if (image && image->info.bit_count == 24) {
            q.image = *image;
            q.ok = true;
        } else if (image) {
            free_loaded_image(image);
        }
        bmp_reader_release(&c);
        return q;
    }();
    return p;
}

double imagemagick_seconds() {
    static double seconds = [] {
        const std::string out = temp_folder() + "/px_bench_im_out.bmp";
        const std::string cmd = "/usr/bin/convert " + photo().path + " -colors 256 BMP3:" + out;
        std::vector<double> runs;
        for (int i = 0; i < 3; ++i) {
            const auto start = std::chrono::steady_clock::now();
            if (std::system(cmd.c_str()) != 0) return 0.0;
            runs.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        std::remove(out.c_str());
        std::sort(runs.begin(), runs.end());
        return runs[1];
    }();
    return seconds;
}

void reduce(benchmark::State& state) {
    Photo& p = photo();
    if (!p.ok) {
        state.SkipWithError("no photo (ImageMagick missing or PX_BENCH_PHOTO not a 24-bit BMP)");
        return;
    }
    const int bits = static_cast<int>(state.range(0));
    ConversionContext c;
    init_conversion_context(&c);
    c.width = p.image.info.width;
    c.height = p.image.info.height;
    c.source_bits = 24;
    c.target_bits = bits;
    c.dither_mode = kDitherDiv16;
    compute_row_sizes(&c);
    std::vector<uint8_t> out(c.image_bytes);
    RgbQuad palette[256] = {};
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!convert_pixel_depth(palette, out.data(), &c, nullptr, p.image.pixels)) {
            state.SkipWithError("reduction failed");
            return;
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["megapixels"] = static_cast<double>(c.width) * c.height / 1e6;
    if (state.iterations() > 0)
        report_baseline(state, "imagemagick", imagemagick_seconds(), total / state.iterations());
}

}  // namespace

BENCHMARK(reduce)->Arg(8)->Arg(4)->Unit(benchmark::kMillisecond)->Iterations(3);
