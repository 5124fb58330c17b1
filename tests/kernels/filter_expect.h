// Runs a filter kernel over every case of filter_cases, on one thread and on three, and
// compares whole buffers (pixels and the sentinel padding) with the reference.
#pragma once

#include <gtest/gtest.h>

#include "tests/kernels/filter_naive.h"

namespace naive {

// kernel(FilterWork*, const FilterCase&) runs the kernel; reference(const FilterCase&)
// returns the expected destination.
template <typename Kernel, typename Reference>
void expect_filter_matches(uint64_t seed, Kernel kernel, Reference reference) {
    FilterTables tables;
    for (const FilterCase& c : filter_cases(seed)) {
        const Image expected = reference(c);
        for (int threads : {1, 3}) {
            Image dst = sentinel_like(c.src);
            FilterWork* w = tables.bind(c.src, &dst, c.mask(), threads);
            kernel(w, c);
            ASSERT_EQ(dst.pixels, expected.pixels) << describe(c, threads);
        }
    }
}

}  // namespace naive
