// Thumbnails per second over a folder of 12-megapixel JPEGs (PX_BENCH_FILES, default 200, in
// PX_BENCH_DIR), beside libjpeg's own 1/8-scaled decode, djpeg -scale 1/8 and vipsthumbnail
// on the same files. The pairs of baseline_counters.h (times of one pass over the folder)
// are reported as counters of the browser's benchmark.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <chrono>

#include "bench/baseline_counters.h"
#include "bench/browser_thumbnail_common.h"

namespace {

std::string bench_folder() {
    const char* dir = std::getenv("PX_BENCH_DIR");
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder =
        dir && *dir ? dir : std::string(tmp && *tmp ? tmp : "/tmp") + "/px-thumbnail-bench";
    mkdir(folder.c_str(), 0755);
    return folder;
}

const std::vector<std::string>& files() {
    static const std::vector<std::string> list = [] {
        const char* n = std::getenv("PX_BENCH_FILES");
        return thumbnail_bench::bench_files(bench_folder(), n && *n ? std::atoi(n) : 200);
    }();
    return list;
}

bool tool_present(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null").c_str()) == 0;
}

// Seconds for one pass of `work` over all files.
template <typename Work>
double seconds_for(Work work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double djpeg_pass() {
    return seconds_for([&] {
        for (const std::string& f : files()) {
            const std::string command = "djpeg -dct int -scale 1/8 '" + f + "' > /dev/null";
            if (std::system(command.c_str()) != 0) return;
        }
    });
}

double vips_pass() {
    const std::string out = bench_folder() + "/vips-out";
    mkdir(out.c_str(), 0755);
    std::string command = "vipsthumbnail --size 144x108 -o '" + out + "/%s.jpg'";
    for (const std::string& f : files()) command += " '" + f + "'";
    return seconds_for([&] { (void)std::system(command.c_str()); });
}

void BM_BrowserThumbnails(benchmark::State& state) {
    if (files().empty() || !create_codec_contexts()) {
        state.SkipWithError("no benchmark files");
        return;
    }
    g_browser_options.box_width = 144;
    g_browser_options.box_height = 108;
    std::vector<std::u16string> paths;
    for (const std::string& f : files()) paths.push_back(utf8_to_utf16(f));
    double ours = 0;
    int64_t made = 0;
    for (auto _ : state) {
        const double s = seconds_for([&] {
            for (const std::u16string& p : paths) made += thumbnail_bench::make_thumbnail(p) ? 1 : 0;
        });
        ours += s;
    }
    const double rate = double(files().size()) * double(state.iterations()) / ours;
    state.counters["thumbnails_per_s"] = rate;
    state.counters["made"] = double(made);
    // The in-process baseline file by file in turn with the browser's pipeline, so that a
    // changing machine load falls on both alike; the tools over the whole folder once.
    double ours_turn = 0, scale8_turn = 0;
    int made_turn = 0;
    thumbnail_bench::interleaved_seconds<std::chrono::steady_clock>(
        files(), paths,
        [](std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point z) {
            return std::chrono::duration<double>(z - a).count();
        },
        &ours_turn, &scale8_turn, &made_turn);
    // The file-by-file pair, then our mean pass against the tools' single passes.
    report_baseline(state, "libjpeg_1_8", scale8_turn, ours_turn, "interleaved");
    const double pass = ours / double(state.iterations());
    if (tool_present("djpeg")) report_baseline(state, "djpeg_1_8", djpeg_pass(), pass);
    if (tool_present("vipsthumbnail")) report_baseline(state, "vipsthumbnail", vips_pass(), pass);
    destroy_codec_contexts();
}
BENCHMARK(BM_BrowserThumbnails)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// The baseline alone, for its own timing figures.
void BM_LibjpegScale8Decode(benchmark::State& state) {
    std::vector<unsigned char> rows;
    for (auto _ : state) {
        for (const std::string& f : files()) thumbnail_bench::decode_scale8(f.c_str(), &rows);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(files().size()));
}
BENCHMARK(BM_LibjpegScale8Decode)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace
