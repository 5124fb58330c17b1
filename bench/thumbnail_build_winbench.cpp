// The folder refresh's timing harness for the Windows build (run under Wine):
//   thumbnail_build_winbench FOLDER [COUNT [SIZE...]]
// 1. Thumbnails per second of a whole refresh (listing, build loop, storing) over COUNT
//    12-megapixel JPEGs with the cache off, beside libjpeg's own 1/8-scaled decode of the same
//    files, as a ratio.
// 2. The same folder with the cache on: the cold refresh (every photo decoded, the cache
//    written) beside the warm one (every thumbnail from the cache, nothing decoded or written).
// 3. Warm-cache time per file: refreshes of unchanged, cached folders of each SIZE small JPEGs
//    (by default 1,000, 10,000 and 50,000), each beside the first size as a ratio (flat is 1).
// Photos already in FOLDER\photos (photo1000.jpg on) are used as they are.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "bench/browser_thumbnail_common.h"
#include "common/win/process_lock.h"
#include "shell/shell_state.h"
#include "shell/thumbnail_build.h"
#include "shell/thumbnail_view_parts.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A small photo-like JPEG; owns nothing with a destructor across library calls.
bool encode_small(const char* path, int width, int height, int seed, unsigned char* row) {
    FILE* out = std::fopen(path, "wb");
    if (!out) return false;
    jpeg_compress_struct info;
    thumbnail_bench::Error error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = thumbnail_bench::error_exit;
    if (setjmp(error.recovery)) {
        jpeg_destroy_compress(&info);
        std::fclose(out);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 85, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        const int y = int(info.next_scanline);
        for (int x = 0; x < width; ++x) {
            unsigned char* p = row + 3 * x;
            p[0] = static_cast<unsigned char>((x + seed) & 255);
            p[1] = static_cast<unsigned char>((y * 3 + seed / 7) & 255);
            p[2] = static_cast<unsigned char>(((x ^ y) + seed) & 255);
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0;
}

// Small files keep a folder of 50,000 and its cache file within reach of a 32-bit program.
constexpr int kSmallWidth = 160;
constexpr int kSmallHeight = 120;

bool small_folder(const std::string& folder, int count) {
    CreateDirectoryA(folder.c_str(), nullptr);
    std::vector<unsigned char> row(3 * kSmallWidth);
    for (int i = 0; i < count; ++i) {
        const std::string path = folder + "/p" + std::to_string(100000 + i) + ".jpg";
        if (!thumbnail_bench::file_present(path) &&
            !encode_small(path.c_str(), kSmallWidth, kSmallHeight, i, row.data()))
            return false;
    }
    return true;
}

// Seconds spent decoding files inside the refreshes, and their number, so that a refresh's time
// can be split into the decodes and everything around them.
double g_decode_seconds = 0;
int g_decodes = 0;
bool timed_decoder(const std::u16string& path) {
    const Clock::time_point start = Clock::now();
    const bool ok = decode_thumbnail_file(path);
    g_decode_seconds += seconds_since(start);
    ++g_decodes;
    return ok;
}

// The newest file of the cache folder: the data file the last refresh wrote, and its time.
uint64_t newest_write(const std::string& cache) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((cache + "*.dat").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return 0;
    uint64_t newest = 0;
    do {
        const uint64_t t =
            (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
        if (t > newest) newest = t;
    } while (FindNextFileA(h, &data));
    FindClose(h);
    return newest;
}

struct ColdWarm {
    double cold = 0, warm = 0;  // seconds of the two refreshes
    double cold_decode = 0;     // of which decoding the files
    int cold_decodes = 0, warm_decodes = 0;
    int32_t entries = 0;  // of the warm refresh
    bool warm_wrote = false;
};

void empty_view() {
    ViewState& v = view_state(0);
    if (v.entries) {
        for (int32_t i = 0; i < v.count; ++i) free_thumbnail_bits(v.entries[i].thumbnail_bits);
        VirtualFree(v.entries, 0, MEM_RELEASE);
    }
    v = ViewState{};
}

// One refresh of `folder` in view 1; its seconds, and the entries made in `count`.
double refresh_seconds(const std::string& folder, int32_t* count) {
    empty_view();
    const std::u16string wide_folder = utf8_to_utf16(folder);
    std::memcpy(view_state(0).folder, wide_folder.c_str(), (wide_folder.size() + 1) * sizeof(char16_t));
    const Clock::time_point start = Clock::now();
    refresh_view_1();
    const double s = seconds_since(start);
    *count = view_state(0).count;
    return s;
}

// A cold and then a warm refresh of `folder` with the cache on.
ColdWarm cold_then_warm(const std::string& folder, const std::string& cache) {
    ColdWarm out;
    int32_t entries = 0;
    g_decode_seconds = 0;
    g_decodes = 0;
    out.cold = refresh_seconds(folder, &entries);
    out.cold_decode = g_decode_seconds;
    out.cold_decodes = g_decodes;
    const uint64_t written = newest_write(cache);
    g_decodes = 0;
    out.warm = refresh_seconds(folder, &out.entries);
    out.warm_decodes = g_decodes;
    out.warm_wrote = newest_write(cache) != written;
    return out;
}

std::string windows_path(const std::string& path) {
    std::string out = path;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [COUNT [SIZE...]]\n", argv[0]);
        return 2;
    }
    const std::string root = windows_path(argv[1]);
    CreateDirectoryA(root.c_str(), nullptr);
    const int count = argc > 2 ? std::atoi(argv[2]) : 200;
    const std::string photos = root + "\\photos";
    CreateDirectoryA(photos.c_str(), nullptr);
    const std::vector<std::string> files = thumbnail_bench::bench_files(photos, count);
    process_lock_init();
    if (files.empty() || !create_codec_contexts()) {
        std::fprintf(stderr, "cannot make the benchmark files\n");
        return 1;
    }
    g_browser_options.box_width = 144;
    g_browser_options.box_height = 108;
    g_shell.main_settings.hidden_mask = FILE_ATTRIBUTE_HIDDEN;
    // A cache of this run's own, so that the first refresh of each folder is a cold one.
    const std::string cache = root + "\\cache-" + std::to_string(GetTickCount()) + "\\";
    MultiByteToWideChar(CP_UTF8, 0, cache.c_str(), -1, g_shell.cache_folder, MAX_PATH);

    // Cold: the refresh decodes every photo; the baseline decodes each at 1/8.
    g_shell.main_settings.cache_enabled = 0;
    std::vector<unsigned char> rows;
    for (const std::string& f : files) thumbnail_bench::decode_scale8(f.c_str(), &rows);
    double ours = 0, base = 0;
    int32_t made = 0;
    for (int pass = 0; pass < 2; ++pass) {
        Clock::time_point start = Clock::now();
        for (const std::string& f : files) thumbnail_bench::decode_scale8(f.c_str(), &rows);
        base += seconds_since(start);
        ours += refresh_seconds(photos, &made);
    }
    const double n = 2.0 * double(files.size());
    std::printf("files %d, entries made %d (two refreshes, cache off)\n", int(files.size()), int(made));
    std::printf("refresh thumbnails   %8.1f per s\n", n / ours);
    std::printf("libjpeg 1/8 decode   %8.1f per s\n", n / base);
    std::printf("ratio refresh/1/8    %8.3f\n", base / ours);

    set_thumbnail_decoder(timed_decoder);
    g_shell.main_settings.cache_enabled = 1;
    bool complete = made == int32_t(files.size());

    // The photos with the cache on: cold, then warm.
    const ColdWarm photo = cold_then_warm(photos, cache);
    complete = complete && photo.entries == int32_t(files.size());
    std::printf(
        "%d photos, cache on: cold %8.3f s (%7.2f ms per file, %d decodes), warm %8.3f s (%7.3f ms per "
        "file, %d decodes, cache %s), cold/warm %6.1f\n",
        int(files.size()), photo.cold, 1000 * photo.cold / double(files.size()), photo.cold_decodes,
        photo.warm, 1000 * photo.warm / double(files.size()), photo.warm_decodes,
        photo.warm_wrote ? "rewritten" : "not written", photo.cold / photo.warm);

    // Warm per file as the folder grows.
    std::vector<int> sizes;
    for (int i = 3; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {1000, 10000, 50000};
    double first_per_file = 0;
    for (size_t k = 0; k < sizes.size(); ++k) {
        const int size = sizes[k];
        const std::string folder =
            root + "\\small" + std::to_string(kSmallWidth) + "-" + std::to_string(size);
        if (!small_folder(folder, size)) {
            std::fprintf(stderr, "cannot make %s\n", folder.c_str());
            return 1;
        }
        const ColdWarm run = cold_then_warm(folder, cache);
        const double per_file = run.warm / size;
        if (k == 0) first_per_file = per_file;
        complete = complete && run.entries == size;
        std::printf(
            "%6d files: cold %7.3f ms per file (decoding %7.3f), warm %7.3f ms per file (%d decodes, "
            "cache %s), warm ratio to %d files %6.3f\n",
            size, 1000 * run.cold / size, 1000 * run.cold_decode / size, 1000 * per_file, run.warm_decodes,
            run.warm_wrote ? "rewritten" : "not written", sizes[0], per_file / first_per_file);
    }
    empty_view();
    destroy_codec_contexts();
    return complete ? 0 : 1;
}
