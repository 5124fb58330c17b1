// Throughput of the effect filter kernels on a 4000 x 3000 24-bit image, on one thread
// (/1) and on as many as the machine offers (/0), each beside baselines:
// - x_naive: the plain per-pixel reference of the tests (run on a strip, scaled) / kernel;
// - x_vips: vips on one thread (VIPS_CONCURRENCY=1) doing the nearest operation on the same
//   image / kernel (`vips median` is the 3x3 `rank` with index 4). The vips time is that of the operation
//   alone: its command-line run minus a run of `vips copy` on the same files, both in vips' own uncompressed
//   format, best of three.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "kernels/filter_random.h"
#include "kernels/filters.h"
#include "tests/kernels/filter_naive.h"

namespace {

using naive::Image;

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kStripRows = 120;
constexpr int kVipsTiles = 2;

double seconds_of(const std::function<void()>& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// CPU seconds of this process (all its threads), unaffected by waiting for a busy machine.
double process_cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// CPU seconds of the finished child processes so far.
double children_cpu_seconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

struct Cost {
    double wall = -1;
    double cpu = -1;
};

// A photograph-like image: smooth gradients with noise.
Image make_picture(int width, int height) {
    Image out(width, height, 24);
    naive::Rng rng(7);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = out.at(x, y);
            p[0] = static_cast<uint8_t>((x * 255 / width + rng.range(0, 15)) & 255);
            p[1] = static_cast<uint8_t>((y * 255 / height + rng.range(0, 15)) & 255);
            p[2] = static_cast<uint8_t>(((x + y) * 128 / width + rng.range(0, 31)) & 255);
        }
    return out;
}

const Image& picture() {
    static const Image img = make_picture(kWidth, kHeight);
    return img;
}

const Image& strip() {
    static const Image img = [] {
        Image s(kWidth, kStripRows, 24);
        std::memcpy(s.pixels.data(), picture().pixels.data(), s.pixels.size());
        return s;
    }();
    return img;
}

struct Env {
    naive::FilterTables tables;
    Image dst = naive::sentinel_like(picture());
    Image extra = naive::sentinel_like(picture());  // blurred copy, intermediate, scratch
    std::vector<int8_t> difference = std::vector<int8_t>(picture().pixels.size());
    std::vector<uint8_t> blocks = std::vector<uint8_t>(static_cast<size_t>(kWidth) * 3 * (kHeight / 2 + 1));
};

Env& env() {
    static Env* e = new Env;
    return *e;
}

const Kernel3x3 kEmboss{{-1, -1, 0, -1, 0, 1, 0, 1, 1}};
const Kernel3x3 kEdges{{1, 1, 1, 1, -8, 1, 1, 1, 1}};
const Kernel3x3 kSoften{{1, 2, 1, 2, 4, 2, 1, 2, 1}};
const int kEmbossK[9] = {-1, -1, 0, -1, 0, 1, 0, 1, 1};
const int kSoftenK[9] = {1, 2, 1, 2, 4, 2, 1, 2, 1};

// Files in memory where the machine offers it, so that the copy both vips runs include
// varies as little as possible.
std::string temp_dir() {
    if (std::system("test -d /dev/shm -a -w /dev/shm") == 0) return "/dev/shm";
    const char* t = std::getenv("TMPDIR");
    return t ? t : "/tmp";
}

// vips on one thread: the operation's run minus a plain copy.
Cost vips_cost(const std::string& operation) {
    static std::map<std::string, Cost> cache;
    auto found = cache.find(operation);
    if (found != cache.end()) return found->second;
    const std::string dir = temp_dir();
    const std::string ppm = dir + "/px_filter_bench.ppm", in = dir + "/px_filter_bench_in.v",
                      out = dir + "/px_filter_bench_out.v";
    static bool written = false;
    if (!written) {
        std::ofstream f(ppm, std::ios::binary);
        // The picture repeated kVipsTiles times in each direction: the operation's share then
        // stands well above the start-up and copy times it is separated from.
        f << "P6\n" << kWidth * kVipsTiles << " " << kHeight * kVipsTiles << "\n255\n";
        for (int y = kHeight * kVipsTiles - 1; y >= 0; --y)
            for (int x = 0; x < kWidth * kVipsTiles; ++x) {
                const uint8_t* p = picture().at(x % kWidth, y % kHeight);
                const char rgb[3] = {static_cast<char>(p[2]), static_cast<char>(p[1]),
                                     static_cast<char>(p[0])};
                f.write(rgb, 3);
            }
        f.close();
        std::ofstream m(dir + "/px_filter_bench_emboss.mat");
        m << "3 3 1 0\n-1 -1 0\n-1 0 1\n0 1 1\n";
        std::ofstream s(dir + "/px_filter_bench_soften.mat");
        s << "3 3 16 0\n1 2 1\n2 4 2\n1 2 1\n";
        written = std::system(("vips copy " + ppm + " " + in + " 2>/dev/null").c_str()) == 0;
        std::remove(ppm.c_str());
    }
    if (!written) return Cost{};
    auto run = [&](const std::string& op) {
        const std::string cmd = "VIPS_CONCURRENCY=1 vips " + op + " 2>/dev/null";
        Cost best{1e9, 1e9};
        for (int i = 0; i < 5; ++i) {
            bool ok = true;
            const double cpu0 = children_cpu_seconds();
            const double t = seconds_of([&] { ok = std::system(cmd.c_str()) == 0; });
            if (!ok) return Cost{};
            best.wall = std::min(best.wall, t);
            best.cpu = std::min(best.cpu, children_cpu_seconds() - cpu0);
        }
        return best;
    };
    std::string op = operation;
    for (const char* key : {"IN", "OUT", "DIR"}) {
        const std::string value = std::string(key) == "IN" ? in : (std::string(key) == "OUT" ? out : dir);
        for (size_t at; (at = op.find(key)) != std::string::npos;)
            op.replace(at, std::string(key).size(), value);
    }
    const Cost plain = run("copy " + in + " " + out);
    const Cost with_op = run(op);
    std::remove(out.c_str());
    Cost result;
    const double tiles = kVipsTiles * kVipsTiles;
    if (plain.wall >= 0 && with_op.wall >= 0) {
        result = Cost{(with_op.wall - plain.wall) / tiles, (with_op.cpu - plain.cpu) / tiles};
    }
    cache[operation] = result;
    return result;
}

struct FilterBench {
    const char* name;
    std::function<void(FilterWork*)> kernel;
    std::function<void()> reference;  // on the strip
    const char* vips;                 // null: no counterpart
};

void run_filter(benchmark::State& state, const FilterBench& b) {
    Env& e = env();
    FilterWork* w = e.tables.bind(picture(), &e.dst, nullptr, static_cast<int>(state.range(0)));
    w->difference = e.difference.data();
    double spent = 0, cpu = 0;
    int64_t runs = 0;
    for (auto _ : state) {
        const double cpu0 = process_cpu_seconds();
        spent += seconds_of([&] { b.kernel(w); });
        cpu += process_cpu_seconds() - cpu0;
        ++runs;
    }
    const double per_run = spent / static_cast<double>(runs);
    const double cpu_per_run = cpu / static_cast<double>(runs);
    state.SetBytesProcessed(runs * static_cast<int64_t>(kWidth) * kHeight * 3);
    state.counters["x_naive"] = seconds_of(b.reference) * kHeight / kStripRows / per_run;
    if (b.vips) {
        const Cost v = vips_cost(b.vips);
        if (v.wall > 0) {
            state.counters["x_vips"] = v.wall / per_run;
            state.counters["vips_ms"] = v.wall * 1000;
        }
        if (v.cpu > 0) {
            state.counters["x_vips_cpu"] = v.cpu / cpu_per_run;
            state.counters["vips_cpu_ms"] = v.cpu * 1000;
        }
    }
}

std::vector<FilterBench> benches() {
    auto& e = env();
    return {
        {"box3", [](FilterWork* w) { blur_box3(w, 255); },
         [] { benchmark::DoNotOptimize(naive::box_blur(strip(), nullptr, 1, 255)); }, nullptr},
        {"box5", [](FilterWork* w) { blur_box5(w, 255); },
         [] { benchmark::DoNotOptimize(naive::box_blur(strip(), nullptr, 2, 255)); }, nullptr},
        {"soft_focus", [&e](FilterWork* w) { soft_focus_blend(w, 100, e.extra.pixels.data()); },
         [] { benchmark::DoNotOptimize(naive::soft_focus(strip(), strip(), nullptr, 100)); }, nullptr},
        {"unsharp_full",
         [](FilterWork* w) {
             unsharp_difference(w);
             unsharp_apply(w, 8, 20);
         },
         [] {
             Image blurred;
             const auto d = naive::unsharp_difference(strip(), nullptr, &blurred);
             benchmark::DoNotOptimize(naive::unsharp_apply(strip(), d, nullptr, 8, 20));
         },
         "sharpen IN OUT"},
        {"unsharp_preview", [](FilterWork* w) { unsharp_apply(w, 8, 20); },
         [] {
             const std::vector<int8_t> d(strip().pixels.size(), 9);
             benchmark::DoNotOptimize(naive::unsharp_apply(strip(), d, nullptr, 8, 20));
         },
         nullptr},
        {"gaussian_r20", [&e](FilterWork* w) { blur_gaussian(w, e.extra.pixels.data(), 20); },
         [] {
             Image mid;
             benchmark::DoNotOptimize(naive::gaussian(strip(), nullptr, 20, &mid));
         },
         "gaussblur IN OUT 10"},
        {"gaussian_r3", [&e](FilterWork* w) { blur_gaussian(w, e.extra.pixels.data(), 3); },
         [] {
             Image mid;
             benchmark::DoNotOptimize(naive::gaussian(strip(), nullptr, 3, &mid));
         },
         "gaussblur IN OUT 1.5"},
        {"remove_noise", [](FilterWork* w) { filter_remove_noise(w, 255); },
         [] { benchmark::DoNotOptimize(naive::remove_noise(strip(), nullptr, 255)); }, "rank IN OUT 3 3 4"},
        {"emboss", [](FilterWork* w) { emboss_convolve(w, kEmboss); },
         [] {
             benchmark::DoNotOptimize(
                 naive::convolve(strip(), nullptr, kEmbossK, 1, naive::Convolution::kEmboss));
         },
         "conv IN OUT DIR/px_filter_bench_emboss.mat --precision integer"},
        {"convolve_colour", [](FilterWork* w) { convolve3x3_colour(w, kSoften, 16); },
         [] {
             benchmark::DoNotOptimize(
                 naive::convolve(strip(), nullptr, kSoftenK, 16, naive::Convolution::kColour));
         },
         "conv IN OUT DIR/px_filter_bench_soften.mat --precision integer"},
        {"extract_edges", [](FilterWork* w) { extract_edges(w, kEdges); },
         [] {
             const int k[9] = {1, 1, 1, 1, -8, 1, 1, 1, 1};
             benchmark::DoNotOptimize(naive::convolve(strip(), nullptr, k, 1, naive::Convolution::kEdges));
         },
         nullptr},
        {"mosaic", [&e](FilterWork* w) { apply_mosaic(w, e.blocks.data(), 10, 10, true, true); },
         [] { benchmark::DoNotOptimize(naive::mosaic(strip(), nullptr, 10, 10, true, true)); }, nullptr},
        {"diffusion", [](FilterWork* w) { apply_diffusion(w, 204, 20); },
         [] {
             naive::Lcg lcg{1};
             benchmark::DoNotOptimize(naive::diffusion(strip(), nullptr, 204, 20, &lcg));
         },
         nullptr},
        {"painting", [&e](FilterWork* w) { painting_effect(w, e.tables.squares); },
         [] { benchmark::DoNotOptimize(naive::painting(strip(), nullptr)); }, nullptr},
    };
}

const bool registered = [] {
    for (const FilterBench& b : benches()) {
        benchmark::RegisterBenchmark(b.name, [b](benchmark::State& s) { run_filter(s, b); })
            ->Arg(1)
            ->Arg(0)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
    }
    return true;
}();

}  // namespace
