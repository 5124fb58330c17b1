// Rules every filter kernel shares, checked over all of them at once: the mask ends, the
// padding, threads and the cancel flag.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "kernels/filter_random.h"
#include "kernels/filters.h"
#include "tests/kernels/filter_expect.h"

namespace {

using naive::Image;

struct NamedKernel {
    const char* name;
    std::function<void(FilterWork*, naive::FilterTables&)> run;
};

const Kernel3x3 kEmboss{{-1, -1, 0, -1, 0, 1, 0, 1, 1}};
const Kernel3x3 kEdges{{1, 1, 1, 1, -8, 1, 1, 1, 1}};

// Every kernel with a strong setting; the extra buffers live as long as the call.
std::vector<NamedKernel> all_kernels() {
    return {
        {"blur_box3", [](FilterWork* w, naive::FilterTables&) { blur_box3(w, 255); }},
        {"blur_box5", [](FilterWork* w, naive::FilterTables&) { blur_box5(w, 200); }},
        {"soft_focus",
         [](FilterWork* w, naive::FilterTables&) {
             std::vector<uint8_t> blurred(static_cast<size_t>(w->stride) * w->height);
             for (size_t i = 0; i < blurred.size(); ++i) blurred[i] = static_cast<uint8_t>(i * 7);
             soft_focus_blend(w, 180, blurred.data());
         }},
        {"unsharp",
         [](FilterWork* w, naive::FilterTables&) {
             std::vector<int8_t> diff(static_cast<size_t>(w->stride) * w->height);
             w->difference = diff.data();
             unsharp_difference(w);
             unsharp_apply(w, 40, 3);
             w->difference = nullptr;
         }},
        {"gaussian",
         [](FilterWork* w, naive::FilterTables&) {
             std::vector<uint8_t> mid(static_cast<size_t>(w->stride) * w->height);
             blur_gaussian(w, mid.data(), 4);
         }},
        {"remove_noise", [](FilterWork* w, naive::FilterTables&) { filter_remove_noise(w, 250); }},
        {"emboss", [](FilterWork* w, naive::FilterTables&) { emboss_convolve(w, kEmboss); }},
        {"colour", [](FilterWork* w, naive::FilterTables&) { convolve3x3_colour(w, kEmboss, 2); }},
        {"edges", [](FilterWork* w, naive::FilterTables&) { extract_edges(w, kEdges); }},
        {"mosaic",
         [](FilterWork* w, naive::FilterTables&) {
             std::vector<uint8_t> blocks(static_cast<size_t>(w->width) * 3 * ((w->height + 2) / 3));
             apply_mosaic(w, blocks.data(), 4, 3, true, true);
         }},
        {"diffusion",
         [](FilterWork* w, naive::FilterTables&) {
             filter_random_seed(1);
             apply_diffusion(w, 204, 9);
         }},
        {"painting", [](FilterWork* w, naive::FilterTables& t) { painting_effect(w, t.squares); }},
    };
}

TEST(FilterRules, FullyUnselectedCopiesAndNullMaskEqualsAllSelected) {
    naive::FilterTables tables;
    naive::Rng rng(101);
    for (auto [width, height] : {std::pair<int, int>{1, 1}, {2, 2}, {5, 3}, {7, 7}, {13, 6}}) {
        const Image src = naive::random_image(width, height, 24, rng);
        const std::vector<uint8_t> outside(static_cast<size_t>(width) * height, 255);
        const std::vector<uint8_t> inside(static_cast<size_t>(width) * height, 0);
        const Image copy = naive::with_pixels_of(naive::sentinel_like(src), src);
        for (const NamedKernel& k : all_kernels()) {
            Image dst = naive::sentinel_like(src);
            k.run(tables.bind(src, &dst, outside.data()), tables);
            EXPECT_EQ(dst.pixels, copy.pixels) << k.name << " " << width << "x" << height;
            Image unmasked = naive::sentinel_like(src), all_selected = naive::sentinel_like(src);
            k.run(tables.bind(src, &unmasked, nullptr), tables);
            k.run(tables.bind(src, &all_selected, inside.data()), tables);
            EXPECT_EQ(unmasked.pixels, all_selected.pixels) << k.name << " " << width << "x" << height;
        }
    }
}

TEST(FilterRules, ThreadsGiveTheSameBytesAsOneThread) {
    naive::FilterTables tables;
    naive::Rng rng(102);
    // Large enough that the automatic choice starts helpers on a machine with several cores.
    const Image src = naive::random_image(611, 457, 24, rng);
    const std::vector<uint8_t> mask = naive::random_mask(611, 457, rng);
    for (const NamedKernel& k : all_kernels()) {
        for (const uint8_t* m : {static_cast<const uint8_t*>(nullptr), mask.data()}) {
            Image one = naive::sentinel_like(src);
            k.run(tables.bind(src, &one, m, 1), tables);
            for (int threads : {0, 2, 5, 16}) {
                Image many = naive::sentinel_like(src);
                k.run(tables.bind(src, &many, m, threads), tables);
                ASSERT_EQ(many.pixels, one.pixels) << k.name << " threads " << threads;
            }
        }
    }
    EXPECT_EQ(filter_helper_threads_running(), 0);
}

TEST(FilterRules, CancelledKernelsReturnWithoutRunningOn) {
    naive::FilterTables tables;
    naive::Rng rng(103);
    const Image src = naive::random_image(64, 64, 24, rng);
    std::atomic<bool> cancel{true};
    for (const NamedKernel& k : all_kernels()) {
        Image dst = naive::sentinel_like(src);
        FilterWork* w = tables.bind(src, &dst, nullptr, 4);
        w->cancel = &cancel;
        k.run(w, tables);
        w->cancel = nullptr;
        EXPECT_EQ(dst.pixels, naive::sentinel_like(src).pixels) << k.name;
        EXPECT_EQ(filter_helper_threads_running(), 0) << k.name;
    }
}

TEST(FilterRules, EmptyImagesWriteNothing) {
    naive::FilterTables tables;
    Image src(0, 0, 24);
    for (const NamedKernel& k : all_kernels()) {
        Image dst(0, 0, 24);
        FilterWork* w = tables.bind(src, &dst, nullptr);
        k.run(w, tables);
    }
}

}  // namespace
