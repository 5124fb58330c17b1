// The thumbnail benchmark's timing harness for the Windows build (run under Wine):
//   browser_thumbnail_winbench FOLDER [COUNT]
// makes (or reuses) COUNT 12-megapixel JPEGs in FOLDER and prints thumbnails per second of
// the browser's pipeline beside libjpeg's own 1/8-scaled decode of the same files, as a ratio.
// djpeg and vipsthumbnail are not Windows programs: their figures come from the native run.
#include <windows.h>

#include <chrono>
#include <cstdio>

#include "bench/browser_thumbnail_common.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [COUNT]\n", argv[0]);
        return 2;
    }
    CreateDirectoryA(argv[1], nullptr);
    const int count = argc > 2 ? std::atoi(argv[2]) : 200;
    const std::vector<std::string> files = thumbnail_bench::bench_files(argv[1], count);
    if (files.empty() || !create_codec_contexts()) {
        std::fprintf(stderr, "cannot make the benchmark files\n");
        return 1;
    }
    std::vector<std::u16string> paths;
    for (const std::string& f : files) paths.push_back(utf8_to_utf16(f));
    // One warm pass so that both sides read the files from the cache, then two measured ones.
    std::vector<unsigned char> rows;
    for (const std::string& f : files) thumbnail_bench::decode_scale8(f.c_str(), &rows);
    double ours = 0, base = 0;
    int made = 0;
    for (int pass = 0; pass < 2; ++pass) {
        double o = 0, b = 0;
        thumbnail_bench::interleaved_seconds<std::chrono::steady_clock>(
            files, paths,
            [](std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point z) {
                return std::chrono::duration<double>(z - a).count();
            },
            &o, &b, &made);
        ours += o;
        base += b;
    }
    made /= 2;
    const double n = 2.0 * double(files.size());
    std::printf("files %d, thumbnails made %d (two passes, file by file in turn)\n", int(files.size()), made);
    std::printf("browser thumbnails   %8.1f per s\n", n / ours);
    std::printf("libjpeg 1/8 decode   %8.1f per s\n", n / base);
    std::printf("ratio browser/1/8    %8.3f\n", base / ours);
    destroy_codec_contexts();
    return made == int(files.size()) ? 0 : 1;
}
