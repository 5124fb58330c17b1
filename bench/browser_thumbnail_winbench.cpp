// The thumbnail benchmark's timing harness for the Windows build (run under Wine):
//   browser_thumbnail_winbench FOLDER [COUNT]
// makes (or reuses) COUNT 12-megapixel JPEGs in FOLDER and prints thumbnails per second of
// the browser's pipeline beside libjpeg's own 1/8-scaled decode of the same files, as a ratio.
// djpeg and vipsthumbnail are not Windows programs: their figures come from the native run.
#include <windows.h>

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
    LARGE_INTEGER frequency, t0, t1, t2;
    QueryPerformanceFrequency(&frequency);
    // One warm pass so that both sides read the files from the cache.
    std::vector<unsigned char> rows;
    for (const std::string& f : files) thumbnail_bench::decode_scale8(f.c_str(), &rows);
    int made = 0;
    QueryPerformanceCounter(&t0);
    for (const std::u16string& p : paths) made += thumbnail_bench::make_thumbnail(p) ? 1 : 0;
    QueryPerformanceCounter(&t1);
    for (const std::string& f : files) thumbnail_bench::decode_scale8(f.c_str(), &rows);
    QueryPerformanceCounter(&t2);
    const double ours = double(t1.QuadPart - t0.QuadPart) / double(frequency.QuadPart);
    const double base = double(t2.QuadPart - t1.QuadPart) / double(frequency.QuadPart);
    const double n = double(files.size());
    std::printf("files %d, thumbnails made %d\n", int(files.size()), made);
    std::printf("browser thumbnails   %8.1f per s\n", n / ours);
    std::printf("libjpeg 1/8 decode   %8.1f per s\n", n / base);
    std::printf("ratio browser/1/8    %8.3f\n", base / ours);
    destroy_codec_contexts();
    return made == int(files.size()) ? 0 : 1;
}
