// Plain reference versions of the effect filters, one pixel at a time straight from the
// formulas: coordinates clamped or tested per pixel, products and quotients computed
// directly, the blend table's formula in place of the table. Shared by the filter tests and
// the filter benchmark.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "kernels/filter_work.h"
#include "kernels/filters.h"
#include "tests/kernels/naive_kernels.h"

namespace naive {

// The tables a filter tool builds, and a record wired to them.
struct FilterTables {
    std::vector<uint8_t> blend_t = std::vector<uint8_t>(kBlendTableSize);
    std::vector<uint8_t> div9_t = std::vector<uint8_t>(kDiv9TableSize);
    std::vector<uint8_t> div25_t = std::vector<uint8_t>(kDiv25TableSize);
    std::unique_ptr<UnsharpTables> unsharp_t = std::make_unique<UnsharpTables>();
    std::vector<uint8_t> grey_t = std::vector<uint8_t>(kGreyTables256Size);
    std::vector<int32_t> coefficients_t = std::vector<int32_t>(kCoefficientTablesSize);
    std::vector<int32_t> squares_t = std::vector<int32_t>(kSquaresTableSize);
    const int32_t* squares = nullptr;
    std::unique_ptr<FilterWork> work = std::make_unique<FilterWork>();

    FilterTables() {
        FilterWork* w = work.get();
        w->blend = build_blend_table(blend_t.data());
        filter_build_div9_table(div9_t.data(), w);
        filter_build_div25_table(div25_t.data(), w);
        w->unsharp_clamp = build_unsharp_tables(unsharp_t->rows, unsharp_t->clamp);
        w->unsharp_rows = unsharp_t->rows;
        w->grey = build_luma_tables_256(grey_t.data());
        w->coefficients = build_coefficient_tables(coefficients_t.data());
        squares = build_squares_table(squares_t.data());
    }
    FilterWork* bind(const Image& src, Image* dst, const uint8_t* mask, int threads = 1) {
        set_filter_image(work.get(), src.width, src.height, src.pixels.data(), dst->pixels.data(), mask);
        work->threads = threads;
        return work.get();
    }
};

inline int mask_at(const uint8_t* mask, const Image& img, int x, int y) {
    return mask ? mask[y * img.width + x] : 0;
}

// The destination image: sentinel bytes everywhere, pixels written by the reference.
inline Image sentinel_like(const Image& src) {
    return Image(src.width, src.height, 24, 0xA5);
}

inline int div9(int s) {
    return s == 0 ? 0 : (32768 + 7281 * s) >> 16;
}
inline int div25(int s) {
    return s == 0 ? 0 : (32768 + 2621 * s) >> 16;
}

inline const uint8_t* clamped(const Image& img, int x, int y) {
    return img.at(clampi(x, 0, img.width - 1), clampi(y, 0, img.height - 1));
}

inline Image box_blur(const Image& src, const uint8_t* mask, int radius, int strength) {
    Image out = sentinel_like(src);
    for (int y = 0; y < src.height; ++y) {
        for (int x = 0; x < src.width; ++x) {
            const uint8_t* s = src.at(x, y);
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int j = -radius; j <= radius; ++j)
                    for (int i = -radius; i <= radius; ++i) sum += clamped(src, x + i, y + j)[c];
                const int mean = radius == 1 ? div9(sum) : div25(sum);
                const int e = mix(strength, mean, s[c]);
                out.at(x, y)[c] = static_cast<uint8_t>(masked(mask_at(mask, src, x, y), s[c], e));
            }
        }
    }
    return out;
}

inline Image soft_focus(const Image& src, const Image& blurred, const uint8_t* mask, int strength) {
    Image out = sentinel_like(src);
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x)
            for (int c = 0; c < 3; ++c) {
                const int s = src.at(x, y)[c];
                const int e = mix(strength, blurred.at(x, y)[c], s);
                out.at(x, y)[c] = static_cast<uint8_t>(masked(mask_at(mask, src, x, y), s, e));
            }
    return out;
}

// The difference as the kernel stores it (signed bytes in the pixel layout, padding 0).
inline std::vector<int8_t> unsharp_difference(const Image& src, const uint8_t* mask, Image* blurred) {
    *blurred = box_blur(src, mask, 2, 255);
    std::vector<int8_t> d(src.pixels.size(), 0);
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x)
            for (int c = 0; c < 3; ++c) {
                const int v = clampi(src.at(x, y)[c] - blurred->at(x, y)[c], -128, 127);
                d[static_cast<size_t>(y * src.stride + 3 * x + c)] = static_cast<int8_t>(v);
            }
    return d;
}

inline Image unsharp_apply(const Image& src, const std::vector<int8_t>& diff, const uint8_t* mask, int amount,
                           int threshold) {
    Image out = sentinel_like(src);
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x) {
            const uint8_t* s = src.at(x, y);
            const int8_t* d = diff.data() + y * src.stride + 3 * x;
            const int m = mask_at(mask, src, x, y);
            const int total = std::abs(d[0]) + std::abs(d[1]) + std::abs(d[2]);
            for (int c = 0; c < 3; ++c) {
                int v = s[c];
                if (m != 255 && total > threshold) {
                    const int add = static_cast<int>(std::floor(d[c] * amount / 8.0));
                    v = masked(m, s[c], clampi(s[c] + add, 0, 255));
                }
                out.at(x, y)[c] = static_cast<uint8_t>(v);
            }
        }
    return out;
}

// Gaussian weights from the formula; returns s and fills w[0..r].
inline int gauss_weights(int r, std::vector<int>* w) {
    std::vector<int> k(static_cast<size_t>(r) + 1);
    const double d = std::trunc(2 * std::pow(r * 0.5, 2) + 0.5);
    k[0] = 255;
    for (int i = 1; i <= r; ++i) k[i] = static_cast<int>(std::trunc(255 * std::exp(-(i * i) / d) + 0.5));
    int t = k[0];
    for (int i = 1; i <= r; ++i) t += 2 * k[i];
    int s = 1;
    while (!((1 << (s - 1)) <= t && t < (1 << s))) ++s;
    w->assign(static_cast<size_t>(r) + 1, 0);
    for (int i = 0; i <= r; ++i) (*w)[i] = static_cast<int>(std::trunc(k[i] * std::ldexp(1.0, s) / t + 0.5));
    return s;
}

// One Gaussian pass along x (rows) or y (columns).
inline Image gauss_pass(const Image& in, const uint8_t* mask, int r, int s, const std::vector<int>& w,
                        bool rows) {
    Image out = sentinel_like(in);
    const int len = rows ? in.width : in.height;
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) {
            const int p = rows ? x : y;
            for (int c = 0; c < 3; ++c) {
                int64_t sum = 0, weights = 0;
                for (int j = -r; j <= r; ++j) {
                    const int q = p + j;
                    if (q < 0 || q >= len) continue;
                    sum += static_cast<int64_t>(w[std::abs(j)]) * (rows ? in.at(q, y) : in.at(x, q))[c];
                    weights += w[std::abs(j)];
                }
                const bool interior = p >= r && p <= len - r - 1;
                const int v = static_cast<int>(interior ? sum >> s : sum / weights);
                out.at(x, y)[c] = static_cast<uint8_t>(masked(mask_at(mask, in, x, y), in.at(x, y)[c], v));
            }
        }
    return out;
}

inline Image gaussian(const Image& src, const uint8_t* mask, int radius, Image* intermediate) {
    const int r = std::min(radius, (std::min(src.width, src.height) - 1) / 2);
    std::vector<int> w;
    const int s = gauss_weights(r, &w);
    *intermediate = gauss_pass(src, mask, r, s, w, true);
    return gauss_pass(*intermediate, mask, r, s, w, false);
}

inline int grey_of(const uint8_t* p) {
    return ((30 * p[0]) >> 8) + ((151 * p[1]) >> 8) + ((77 * p[2]) >> 8);
}

inline Image remove_noise(const Image& src, const uint8_t* mask, int strength) {
    Image out = sentinel_like(src);
    const int th = 255 - strength;
    // dx and the memory-row step dy: the pixel, left, right, row before, row after.
    const int order[9][2] = {{0, 0}, {-1, 0}, {1, 0}, {0, -1}, {-1, -1}, {1, -1}, {0, 1}, {-1, 1}, {1, 1}};
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x) {
            const uint8_t* s = src.at(x, y);
            std::vector<const uint8_t*> cand;
            for (const auto& o : order) {
                const int cx = x + o[0], cy = y + o[1];
                if (cx >= 0 && cy >= 0 && cx < src.width && cy < src.height) cand.push_back(src.at(cx, cy));
            }
            const int n = static_cast<int>(cand.size());
            const uint8_t* e = s;
            if (n > 1) {
                uint8_t mean[3];
                for (int c = 0; c < 3; ++c) {
                    int sum = 0;
                    for (int k = 1; k < n; ++k) sum += cand[k][c];
                    mean[c] = static_cast<uint8_t>(sum / (n - 1));
                }
                if (std::abs(grey_of(mean) - grey_of(s)) > th) {
                    const int q = (n - 1) / 2;
                    for (int i = 0; i < q; ++i) {
                        int best = i;
                        for (int j = i + 1; j < n; ++j)
                            best = grey_of(cand[j]) < grey_of(cand[best]) ? j : best;
                        std::swap(cand[i], cand[best]);
                    }
                    int pick = q;
                    for (int j = q + 1; j < n; ++j) pick = grey_of(cand[j]) < grey_of(cand[pick]) ? j : pick;
                    e = cand[pick];
                }
            }
            for (int c = 0; c < 3; ++c)
                out.at(x, y)[c] = static_cast<uint8_t>(masked(mask_at(mask, src, x, y), s[c], e[c]));
        }
    return out;
}

// S of one channel: k0..k2 on the row before (the lower memory row), k6..k8 on the row after.
inline int convolution_sum(const Image& src, const int* k, int x, int y, int c) {
    int sum = 0;
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) sum += k[3 * (j + 1) + (i + 1)] * clamped(src, x + i, y + j)[c];
    return sum;
}

enum class Convolution { kEmboss, kColour, kEdges };

inline Image convolve(const Image& src, const uint8_t* mask, const int* k, int divisor, Convolution mode) {
    Image out = sentinel_like(src);
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x) {
            const uint8_t* s = src.at(x, y);
            const int m = mask_at(mask, src, x, y);
            int e[3];
            if (mode == Convolution::kEmboss) {
                int total = 0;
                for (int c = 0; c < 3; ++c) total += clampi(convolution_sum(src, k, x, y, c) + 127, 0, 255);
                e[0] = e[1] = e[2] = total / 3;
            } else {
                for (int c = 0; c < 3; ++c) e[c] = clampi(convolution_sum(src, k, x, y, c) / divisor, 0, 255);
            }
            if (mode == Convolution::kEdges) {
                int first[3];
                for (int c = 0; c < 3; ++c) first[c] = masked(m, s[c], e[c]);
                const int v = 255 - (first[0] + first[1] + first[2]) / 3;
                e[0] = e[1] = e[2] = v;
            }
            for (int c = 0; c < 3; ++c) out.at(x, y)[c] = static_cast<uint8_t>(masked(m, s[c], e[c]));
        }
    return out;
}

inline Image mosaic(const Image& src, const uint8_t* mask, int cw, int ch, bool shift, bool tile) {
    Image out = sentinel_like(src);
    const int bh = (ch + 5) >> 3, bw = (cw + 5) >> 3;
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x) {
            const int top = src.height - 1 - y;  // rows counted from the top of the picture
            const int cell_row = top / ch, v = top % ch;
            const int offset = shift && cell_row % 2 == 1 ? cw / 2 : 0;
            const int cell = (x + offset) / cw, u = (x + offset) % cw;
            const int x0 = std::max(0, cell * cw - offset),
                      x1 = std::min(src.width, (cell + 1) * cw - offset);
            const int t0 = cell_row * ch, t1 = std::min(src.height, (cell_row + 1) * ch);
            int e[3];
            for (int c = 0; c < 3; ++c) {
                int sum_of_means = 0;
                for (int cx = x0; cx < x1; ++cx) {
                    int column = 0;
                    for (int t = t0; t < t1; ++t) column += src.at(cx, src.height - 1 - t)[c];
                    sum_of_means += column / (t1 - t0);
                }
                e[c] = sum_of_means / (x1 - x0);
                if (tile && (v >= ch - bh || u >= cw - bw)) {
                    e[c] = std::max(0, e[c] - 20);
                } else if (tile && (v < bh || u < bw)) {
                    e[c] = std::min(255, e[c] + 20);
                }
            }
            const uint8_t* s = src.at(x, y);
            for (int c = 0; c < 3; ++c)
                out.at(x, y)[c] = static_cast<uint8_t>(masked(mask_at(mask, src, x, y), s[c], e[c]));
        }
    return out;
}

// The generator's draws from a given state, one at a time.
struct Lcg {
    uint32_t state;
    int draw() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 32767);
    }
};

inline Image diffusion(const Image& src, const uint8_t* mask, int density, int range, Lcg* rng) {
    Image out = sentinel_like(src);
    const int half = range >> 1;
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x) {
            const uint8_t* s = src.at(x, y);
            const int m = mask_at(mask, src, x, y);
            if (m == 255) {
                std::copy(s, s + 3, out.at(x, y));
                continue;
            }
            const int r1 = rng->draw();
            const int r2 = rng->draw();
            const int sx = clampi(range * r1 / 32767 - half + x, 0, src.width - 1);
            const int sy = clampi(range * r2 / 32767 - half + y, 0, src.height - 1);
            for (int c = 0; c < 3; ++c) {
                const int e = mix(density, src.at(sx, sy)[c], s[c]);
                out.at(x, y)[c] = static_cast<uint8_t>(masked(m, s[c], e));
            }
        }
    return out;
}

inline int q_of(const uint8_t* p) {
    return p[0] * p[0] + p[1] * p[1] + p[2] * p[2];
}

inline Image painting(const Image& src, const uint8_t* mask) {
    Image out = sentinel_like(src);
    auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x < src.width && y < src.height; };
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x) {
            const uint8_t* s = src.at(x, y);
            const int c0 = q_of(s);
            int sum[3] = {0, 0, 0}, count = 0;
            for (int j = -2; j <= 2; ++j)
                for (int i = -2; i <= 2; ++i) {
                    if (!inside(x + i, y + j) || !inside(x - i, y - j)) continue;
                    const uint8_t* p = src.at(x + i, y + j);
                    const uint8_t* q = src.at(x - i, y - j);
                    const uint8_t* take = std::abs(c0 - q_of(q)) < std::abs(c0 - q_of(p)) ? q : p;
                    for (int c = 0; c < 3; ++c) sum[c] += take[c];
                    ++count;
                }
            for (int c = 0; c < 3; ++c)
                out.at(x, y)[c] =
                    static_cast<uint8_t>(masked(mask_at(mask, src, x, y), s[c], sum[c] / count));
        }
    return out;
}

// Pixel bytes alone, so references that start from a sentinel can be chained.
inline Image with_pixels_of(const Image& like, const Image& pixels) {
    Image out = like;
    for (int y = 0; y < like.height; ++y)
        for (int x = 0; x < like.width; ++x) std::copy(pixels.at(x, y), pixels.at(x, y) + 3, out.at(x, y));
    return out;
}

// One test image: 24-bit noise, or an 8-bit picture of a 4-colour palette as the filter tools
// see it after their 24-bit conversion (equal colours and equal greys everywhere, which is
// where tie rules show), with or without a mask.
struct FilterCase {
    int width, height, bits;
    bool with_mask;
    Image src;
    std::vector<uint8_t> mask_bytes;
    const uint8_t* mask() const { return with_mask ? mask_bytes.data() : nullptr; }
};

inline Image palette_picture(int w, int h, Rng& rng) {
    // Two of the colours share a grey value (72) but differ.
    const uint8_t palette[4][3] = {{0, 0, 0}, {255, 255, 255}, {10, 90, 60}, {60, 50, 120}};
    Image img(w, h, 24, 0x5A);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* colour = palette[rng.range(0, 3)];
            std::copy(colour, colour + 3, img.at(x, y));
        }
    return img;
}

// Odd and tiny widths, sizes below every kernel's neighbourhood, and a few larger ones.
inline std::vector<FilterCase> filter_cases(uint64_t seed) {
    const int sizes[][2] = {{1, 1}, {2, 1}, {1, 2}, {2, 2}, {1, 7}, {3, 3},  {5, 4},
                            {7, 6}, {7, 2}, {3, 7}, {5, 9}, {9, 5}, {13, 11}};
    std::vector<FilterCase> cases;
    Rng rng(seed);
    for (const auto& sz : sizes)
        for (int bits : {24, 8})
            for (bool with_mask : {false, true}) {
                FilterCase c{sz[0], sz[1], bits, with_mask, {}, {}};
                c.src = bits == 24 ? random_image(sz[0], sz[1], 24, rng) : palette_picture(sz[0], sz[1], rng);
                c.mask_bytes = random_mask(sz[0], sz[1], rng);
                cases.push_back(std::move(c));
            }
    return cases;
}

inline std::string describe(const FilterCase& c, int threads) {
    return std::to_string(c.width) + "x" + std::to_string(c.height) + " bits " + std::to_string(c.bits) +
           (c.with_mask ? " masked" : " unmasked") + " threads " + std::to_string(threads);
}

}  // namespace naive
