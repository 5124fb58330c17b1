// The thumbnail benchmark's shared part, for the native Google Benchmark and the Wine timing
// harness: a folder of generated 12-megapixel JPEGs, the browser's thumbnail pipeline over
// it (load, fit, store), and the baseline it is measured against, libjpeg's own 1/8-scaled
// decode of each file.
#pragma once

#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/stride.h"
#include "common/utf16.h"
#include "loading/browser_load.h"
#include "loading/codec_set.h"

namespace thumbnail_bench {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

struct Error {
    jpeg_error_mgr manager;
    jmp_buf recovery;
};
inline void error_exit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<Error*>(info->err)->recovery, 1);
}

inline bool file_present(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

// A photo-like picture: smooth gradients with a little per-file texture, so that the entropy
// coded data is of a realistic size. Owns nothing with a destructor across library calls.
inline bool encode_picture(const char* path, int seed, unsigned char* row) {
    FILE* out = std::fopen(path, "wb");
    if (!out) return false;
    jpeg_compress_struct info;
    Error error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = error_exit;
    if (setjmp(error.recovery)) {
        jpeg_destroy_compress(&info);
        std::fclose(out);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = kWidth;
    info.image_height = kHeight;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    unsigned state = 2463534242u + unsigned(seed) * 7919u;
    while (info.next_scanline < info.image_height) {
        const int y = int(info.next_scanline);
        for (int x = 0; x < kWidth; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int noise = int(state & 15) - 8;
            unsigned char* p = row + 3 * x;
            p[0] = static_cast<unsigned char>(((x + seed * 37) / 16 + noise) & 255);
            p[1] = static_cast<unsigned char>(((y + x / 3) / 12 + noise) & 255);
            p[2] = static_cast<unsigned char>((((x ^ y) >> 5) + seed + noise) & 255);
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0;
}

// The benchmark's files, made on first use: `count` JPEGs of 4000 x 3000 in `folder`
// (which must exist).
inline std::vector<std::string> bench_files(const std::string& folder, int count) {
    std::vector<std::string> files;
    std::vector<unsigned char> row(3 * kWidth);
    for (int i = 0; i < count; ++i) {
        const std::string path = folder + "/photo" + std::to_string(1000 + i) + ".jpg";
        if (!file_present(path) && !encode_picture(path.c_str(), i, row.data())) return {};
        files.push_back(path);
    }
    return files;
}

// The baseline: libjpeg decoding the file at 1/8 into blue-green-red rows.
inline bool decode_scale8(const char* path, std::vector<unsigned char>* rows) {
    FILE* in = std::fopen(path, "rb");
    if (!in) return false;
    jpeg_decompress_struct info;
    Error error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = error_exit;
    if (setjmp(error.recovery)) {
        jpeg_destroy_decompress(&info);
        std::fclose(in);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, in);
    jpeg_read_header(&info, TRUE);
    info.scale_num = 1;
    info.scale_denom = 8;
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    const size_t stride = static_cast<size_t>(row_stride_bytes(info.output_width, 24));
    rows->resize(stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = rows->data() + stride * (info.output_height - 1 - info.output_scanline);
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(in);
    return true;
}

// The browser's thumbnail of one file as the build loop makes it: the scaled load to 24 bits,
// fitted into the box and stored in an entry.
inline bool make_thumbnail(const std::u16string& path) {
    if (!load_thumbnail_image_24(nullptr, 0, path, nullptr)) return false;
    int32_t size[2];
    ThumbnailTarget entry;
    if (shrink_loaded_image_to_box(size, false)) store_thumbnail_in_entry(&entry);
    // The store leaves the load published when it could not take the rows.
    const bool stored = g_load_result.image == nullptr && entry.bits != nullptr;
    release_load_result();
    free_thumbnail_bits(entry.bits);
    return stored;
}

// Seconds spent on the browser's thumbnails and on the baseline decodes over the same files,
// taken file by file in turn so that a changing machine load falls on both alike. Which side
// goes first alternates from file to file: the second to read a file finds its bytes in the
// processor's cache.
template <typename Clock>
void interleaved_seconds(const std::vector<std::string>& files, const std::vector<std::u16string>& paths,
                         double (*seconds)(typename Clock::time_point, typename Clock::time_point),
                         double* ours, double* baseline, int* made) {
    std::vector<unsigned char> rows;
    *ours = 0;
    *baseline = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        for (int turn = 0; turn < 2; ++turn) {
            const auto t0 = Clock::now();
            if ((turn + i) % 2 == 0)
                *made += make_thumbnail(paths[i]) ? 1 : 0;
            else
                decode_scale8(files[i].c_str(), &rows);
            const double s = seconds(t0, Clock::now());
            *((turn + i) % 2 == 0 ? ours : baseline) += s;
        }
    }
}

}  // namespace thumbnail_bench
