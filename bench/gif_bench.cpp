// Writing a 4000 x 4000 8-bit image as GIF: a flat image and a noise image (which needs a
// clear code every few thousand pixels), through our writer and through ImageMagick on the
// same image. Each of our benchmarks reports the pairs of baseline_counters.h: "imagemagick"
// from elapsed times, "imagemagick_cpu" from CPU times (ours: this thread's; ImageMagick's: its process, all
// threads), which a busy machine skews less. ImageMagick's time includes reading the BMP it is given, a few
// percent of its total; ours starts from rows already in memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/baseline_counters.h"
#include "codecs/file_io.h"
#include "codecs/gif/gif.h"
#include "common/utf16.h"

namespace {

constexpr int kSide = 4000;

struct Image {
    std::vector<uint8_t> rows;  // bottom-up, width bytes each (kSide is a multiple of 4)
    RgbQuad palette[256];
};

const Image& image(bool noise) {
    static std::map<bool, Image> images;
    auto it = images.find(noise);
    if (it != images.end()) return it->second;
    Image& im = images[noise];
    im.rows.assign(static_cast<size_t>(kSide) * kSide, 7);
    std::mt19937 random(1);
    if (noise)
        for (uint8_t& p : im.rows) p = static_cast<uint8_t>(random());
    for (int i = 0; i < 256; ++i)
        im.palette[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7),
                         0};
    return im;
}

std::string temp_file(const char* name) {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/px-gif-bench-" + name;
}

// An 8-bit BMP of the image, for ImageMagick.
std::string write_bmp(bool noise) {
    const Image& im = image(noise);
    const std::string path = temp_file(noise ? "noise.bmp" : "flat.bmp");
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return path;
    const uint32_t offset = 14 + 40 + 1024;
    const uint32_t size = offset + static_cast<uint32_t>(im.rows.size());
    uint8_t h[54] = {'B', 'M'};
    auto put32 = [&](int at, uint32_t v) { std::memcpy(h + at, &v, 4); };
    put32(2, size);
    put32(10, offset);
    put32(14, 40);
    put32(18, kSide);
    put32(22, kSide);
    h[26] = 1;
    h[28] = 8;
    put32(46, 256);
    std::fwrite(h, 1, sizeof h, f);
    std::fwrite(im.palette, 4, 256, f);
    std::fwrite(im.rows.data(), 1, im.rows.size(), f);
    std::fclose(f);
    return path;
}

double thread_cpu_seconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

double children_cpu_seconds() {
    rusage u;
    getrusage(RUSAGE_CHILDREN, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

struct Timing {
    double elapsed = 0;
    double cpu = 0;
};

// Mean times of ImageMagick converting the BMP to GIF, measured once per image.
Timing imagemagick_seconds(bool noise) {
    static std::map<bool, Timing> cache;
    auto it = cache.find(noise);
    if (it != cache.end()) return it->second;
    const std::string in = write_bmp(noise);
    const std::string out = temp_file("im.gif");
    const std::string command = "/usr/bin/convert '" + in + "' '" + out + "'";
    constexpr int kRuns = 3;
    Timing total;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const double cpu = children_cpu_seconds();
        if (std::system(command.c_str()) != 0) return cache[noise] = Timing{};
        total.elapsed += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        total.cpu += children_cpu_seconds() - cpu;
    }
    std::remove(in.c_str());
    std::remove(out.c_str());
    return cache[noise] = Timing{total.elapsed / kRuns, total.cpu / kRuns};
}

void BM_WriteGif(benchmark::State& state) {
    const bool noise = state.range(0) != 0;
    const Image& im = image(noise);
    const std::u16string path = utf8_to_utf16(temp_file("ours.gif"));
    double total = 0, total_cpu = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpu = thread_cpu_seconds();
        GifWriterContext c;
        init_codec_context(&c, 0);
        c.conversion.width = kSide;
        c.conversion.height = kSide;
        c.conversion.target_bits = 8;
        (void)c.output_file.create(path);
        const bool ok = gif_write_indexed(&c, im.palette, im.rows.data());
        gif_writer_release(&c);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!ok) state.SkipWithError("write failed");
        state.SetIterationTime(seconds);
        total += seconds;
        total_cpu += thread_cpu_seconds() - cpu;
    }
    const double n = static_cast<double>(state.iterations());
    const Timing theirs = imagemagick_seconds(noise);
    report_baseline(state, "imagemagick", theirs.elapsed, total / n);
    report_baseline(state, "imagemagick", theirs.cpu, total_cpu / n, "cpu");
    state.SetLabel(noise ? "noise" : "flat");
    file_delete(path);
}

BENCHMARK(BM_WriteGif)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
