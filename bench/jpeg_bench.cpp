// The thumbnail path's 1/8-scaled decode of 12-megapixel quality-90 JPEGs, beside
// libjpeg-turbo's own decode of the same bytes at the same scale. JpegEighthRatio reports
// the pair "libjpeg_cpu" of baseline_counters.h; the goal is at least 1 / 1.05 (ours at most
// 5 % slower). Built as px_jpeg_bench,
// optimised and without the sanitizers.
#include <benchmark/benchmark.h>
#include <time.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "bench/baseline_counters.h"
#include "codecs/jpeg/jpeg.h"
#include "common/stride.h"

namespace {

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 3000;

// Two photo-like pictures: smooth gradients with texture and edges, so the entropy decoder
// has realistic work at quality 90.
const std::vector<uint8_t>& test_file(int which) {
    static std::vector<uint8_t> files[2];
    std::vector<uint8_t>& file = files[which];
    if (!file.empty()) return file;
    const int64_t stride = row_stride_bytes(kWidth, 24);
    std::vector<uint8_t> bits(static_cast<size_t>(stride) * kHeight);
    uint32_t seed = 12345u + static_cast<uint32_t>(which);
    for (int32_t y = 0; y < kHeight; ++y) {
        uint8_t* row = bits.data() + static_cast<size_t>(y) * stride;
        for (int32_t x = 0; x < kWidth; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = static_cast<int>((seed >> 24) & 15) - 8;
            const int edge = ((x / (97 + which * 13)) + (y / 89)) % 2 ? 40 : 0;
            row[3 * x] = static_cast<uint8_t>(std::min(255, std::max(0, x * 200 / kWidth + noise + edge)));
            row[3 * x + 1] = static_cast<uint8_t>(std::min(255, std::max(0, y * 180 / kHeight + noise)));
            row[3 * x + 2] =
                static_cast<uint8_t>(std::min(255, std::max(0, ((x + y) % 512) / 2 + noise - edge / 2)));
        }
    }
    JpegWriterContext context;
    init_codec_context(&context, 0);
    jpeg_writer_reset(&context);
    context.conversion.width = kWidth;
    context.conversion.height = kHeight;
    context.conversion.source_bits = 24;
    jpeg_set_save_options(&context, 90, 0, 0, 0);
    file.resize(bits.size());
    uint32_t count = static_cast<uint32_t>(file.size());
    if (!write_jpeg_image_to_memory(&context, file.data(), &count, bits.data())) std::abort();
    file.resize(count);
    return file;
}

void our_decode(const std::vector<uint8_t>& file) {
    JpegReaderContext context;
    init_codec_context(&context, 0);
    jpeg_reader_reset(&context);
    context.in_memory = 1;
    context.state.data_supplied = 1;
    context.loaded.file_size = static_cast<uint32_t>(file.size());
    context.state.scaled_decode = 1;  // the thumbnail path: a 160x120 box gives 1/8
    context.state.box_width = 160;
    context.state.box_height = 120;
    LoadedImage* image = read_jpeg_image(&context, u"", file.data());
    if (!image || image->info.width != kWidth / 8) std::abort();
    benchmark::DoNotOptimize(image->pixels[0]);
    free_loaded_image(image);
    jpeg_reader_release(&context);
}

struct Jump {
    jpeg_error_mgr pub;
    jmp_buf target;
};

void jump_on_error(j_common_ptr object) {
    longjmp(reinterpret_cast<Jump*>(object->err)->target, 1);
}

// libjpeg-turbo's own decode into a buffer of its caller, as djpeg -scale 1/8 does it.
bool library_decode_into(const std::vector<uint8_t>& file, std::vector<uint8_t>* out) {
    jpeg_decompress_struct object;
    Jump errors;
    object.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = jump_on_error;
    if (setjmp(errors.target)) {
        jpeg_destroy_decompress(&object);
        return false;
    }
    jpeg_create_decompress(&object);
    jpeg_mem_src(&object, file.data(), static_cast<unsigned long>(file.size()));  // NOLINT
    jpeg_read_header(&object, TRUE);
    object.scale_num = 1;
    object.scale_denom = 8;
    object.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&object);
    const size_t stride = static_cast<size_t>(row_stride_bytes(object.output_width, 24));
    uint8_t* base = out->data();
    while (object.output_scanline < object.output_height) {
        JSAMPROW row = base + stride * object.output_scanline;
        jpeg_read_scanlines(&object, &row, 1);
    }
    jpeg_finish_decompress(&object);
    jpeg_destroy_decompress(&object);
    return true;
}

void library_decode(const std::vector<uint8_t>& file) {
    std::vector<uint8_t> out(static_cast<size_t>(row_stride_bytes(kWidth / 8, 24) * (kHeight / 8)));
    if (!library_decode_into(file, &out)) std::abort();
    benchmark::DoNotOptimize(out[0]);
}

void JpegEighthOurs(benchmark::State& state) {
    const std::vector<uint8_t>& file = test_file(static_cast<int>(state.range(0)));
    for (auto _ : state) our_decode(file);
}
BENCHMARK(JpegEighthOurs)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void JpegEighthLibrary(benchmark::State& state) {
    const std::vector<uint8_t>& file = test_file(static_cast<int>(state.range(0)));
    for (auto _ : state) library_decode(file);
}
BENCHMARK(JpegEighthLibrary)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The thread's CPU time: on a busy machine wall time mostly measures the other processes.
double thread_seconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Both decodes alternately on both files, so drift in the machine's speed hits them alike.
void JpegEighthRatio(benchmark::State& state) {
    const std::vector<uint8_t>* files[2] = {&test_file(0), &test_file(1)};
    double ours = 0;
    double library = 0;
    for (auto _ : state) {
        for (const std::vector<uint8_t>* file : files) {
            const double t0 = thread_seconds();
            our_decode(*file);
            const double t1 = thread_seconds();
            library_decode(*file);
            const double t2 = thread_seconds();
            ours += t1 - t0;
            library += t2 - t1;
        }
    }
    const double decodes = 2.0 * static_cast<double>(state.iterations());
    report_baseline(state, "libjpeg", library / decodes, ours / decodes, "cpu");
}
BENCHMARK(JpegEighthRatio)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace
