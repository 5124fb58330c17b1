#include <gtest/gtest.h>

#include "kernels/filters.h"
#include "tests/kernels/filter_expect.h"

namespace {

using naive::Convolution;
using naive::FilterCase;
using naive::Image;

Kernel3x3 kernel_of(std::initializer_list<int> k) {
    Kernel3x3 out{};
    int i = 0;
    for (int v : k) out.k[i++] = v;
    return out;
}

// Emboss directions, the edge kernel, an asymmetric one and one beyond the coefficient range.
const std::vector<std::vector<int>> kKernels = {
    {-1, -1, 0, -1, 0, 1, 0, 1, 1}, {1, 1, 1, 1, -8, 1, 1, 1, 1},     {1, 2, 3, 4, 5, 6, 7, 8, 9},
    {0, 0, 0, 0, 1, 0, 0, 0, 0},    {-32, 0, 32, -3, 0, 3, 5, -7, 2}, {40, -90, 0, 0, 1, 0, 0, 0, 33},
};

std::vector<int> clamped_coefficients(const std::vector<int>& k) {
    std::vector<int> out;
    for (int v : k) out.push_back(naive::clampi(v, -32, 32));
    return out;
}

TEST(Convolution, EveryModeMatchesTheReference) {
    int seed = 61;
    for (const auto& k : kKernels) {
        Kernel3x3 kernel{};
        std::copy(k.begin(), k.end(), kernel.k);
        const std::vector<int> kc = clamped_coefficients(k);
        naive::expect_filter_matches(
            ++seed, [&](FilterWork* w, const FilterCase&) { emboss_convolve(w, kernel); },
            [&](const FilterCase& c) {
                return naive::convolve(c.src, c.mask(), kc.data(), 1, Convolution::kEmboss);
            });
        for (int divisor : {1, 2, 7, 16, 300, 2147483647, 0, -5}) {
            naive::expect_filter_matches(
                ++seed, [&](FilterWork* w, const FilterCase&) { convolve3x3_colour(w, kernel, divisor); },
                [&](const FilterCase& c) {
                    return naive::convolve(c.src, c.mask(), kc.data(), std::max(divisor, 1),
                                           Convolution::kColour);
                });
        }
        naive::expect_filter_matches(
            ++seed, [&](FilterWork* w, const FilterCase&) { extract_edges(w, kernel); },
            [&](const FilterCase& c) {
                return naive::convolve(c.src, c.mask(), kc.data(), 1, Convolution::kEdges);
            });
    }
}

TEST(Convolution, FirstThreeCoefficientsWeighTheLowerMemoryRow) {
    naive::FilterTables tables;
    // Rows from the bottom of the buffer: 10, 20, 30. Only k1 (row before, same column) is set.
    Image src(3, 3, 24, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            std::fill(src.at(x, y), src.at(x, y) + 3, static_cast<uint8_t>(10 * (y + 1)));
    Image dst = naive::sentinel_like(src);
    convolve3x3_colour(tables.bind(src, &dst, nullptr), kernel_of({0, 1, 0, 0, 0, 0, 0, 0, 0}), 1);
    EXPECT_EQ(dst.at(1, 1)[0], 10);
    EXPECT_EQ(dst.at(1, 2)[0], 20);
    EXPECT_EQ(dst.at(1, 0)[0], 10);  // the bottom row replicates itself
    // k3 is the left neighbour.
    for (int x = 0; x < 3; ++x) std::fill(src.at(x, 1), src.at(x, 1) + 3, static_cast<uint8_t>(40 * (x + 1)));
    convolve3x3_colour(tables.bind(src, &dst, nullptr), kernel_of({0, 0, 0, 1, 0, 0, 0, 0, 0}), 1);
    EXPECT_EQ(dst.at(1, 1)[0], 40);
    EXPECT_EQ(dst.at(0, 1)[0], 40);
}

TEST(Convolution, DocumentedValues) {
    naive::FilterTables tables;
    const Kernel3x3 edges = kernel_of({1, 1, 1, 1, -8, 1, 1, 1, 1});
    // A flat area: emboss with coefficients adding to 0 gives grey 127, edges give white.
    Image flat(6, 5, 24, 90);
    Image dst = naive::sentinel_like(flat);
    emboss_convolve(tables.bind(flat, &dst, nullptr), kernel_of({-1, -1, 0, -1, 0, 1, 0, 1, 1}));
    EXPECT_EQ(dst.at(3, 2)[2], 127);
    extract_edges(tables.bind(flat, &dst, nullptr), edges);
    EXPECT_EQ(dst.at(0, 0)[0], 255);
    // A black pixel on white stays black, everything else becomes white.
    Image dot(5, 5, 24, 255);
    std::fill(dot.at(2, 2), dot.at(2, 2) + 3, 0);
    dst = naive::sentinel_like(dot);
    extract_edges(tables.bind(dot, &dst, nullptr), edges);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) ASSERT_EQ(dst.at(x, y)[1], x == 2 && y == 2 ? 0 : 255) << x << "," << y;
    // A sum of -7 divided by 2 is -3, limited to 0.
    Image one(3, 3, 24, 1);
    dst = naive::sentinel_like(one);
    convolve3x3_colour(tables.bind(one, &dst, nullptr), kernel_of({-1, -1, -1, -1, 1, -1, -1, -1, -1}), 2);
    EXPECT_EQ(dst.at(1, 1)[0], 0);
}

TEST(Convolution, PartlySelectedEdgesMeetTheSourceTwice) {
    naive::FilterTables tables;
    Image src(3, 3, 24, 200);
    const std::vector<uint8_t> mask(9, 128);
    Image dst = naive::sentinel_like(src);
    extract_edges(tables.bind(src, &dst, mask.data()), kernel_of({1, 1, 1, 1, -8, 1, 1, 1, 1}));
    // Step 1: S = 0 mixed with 200; step 2: 255 minus that mean, mixed with 200 again.
    const int first = naive::mix(128, 200, 0);
    EXPECT_EQ(dst.at(1, 1)[0], naive::mix(128, 200, 255 - first));
}

}  // namespace
