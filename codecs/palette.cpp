#include "codecs/palette.h"

#include <cstring>

namespace {

// Larger than any squared distance between two colours (3 x 255^2 = 195,075).
constexpr int32_t kDistanceStart = 195076;
// Larger than any sum of three channels, so the first colour always replaces it.
constexpr int32_t kSumStart = 766;
constexpr int64_t kBitSetBytes = (int64_t{1} << 24) / 8;
constexpr int32_t kBuckets = 32768;

struct Seed {
    uint8_t blue, green, red;
};

struct SeedTable {
    int count;
    int32_t limit;  // a bucket further from the seed than this (squared) is not taken
    Seed seeds[216];
};

constexpr Seed kSeeds4[] = {{0, 0, 0}, {255, 64, 0}, {0, 64, 255}, {255, 255, 255}};
constexpr Seed kSeeds15[] = {{0, 0, 0},     {255, 0, 0},   {255, 128, 0},   {0, 255, 0},   {128, 255, 0},
                             {255, 255, 0}, {255, 0, 128}, {128, 128, 128}, {0, 255, 128}, {0, 0, 255},
                             {128, 0, 255}, {255, 0, 255}, {0, 128, 255},   {0, 255, 255}, {255, 255, 255}};

// Uniform cube: blue varies fastest, then green, then red.
SeedTable cube_table(const uint8_t* levels, int n, int32_t limit) {
    SeedTable t = {};
    t.limit = limit;
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) t.seeds[t.count++] = {levels[b], levels[g], levels[r]};
    return t;
}

SeedTable list_table(const Seed* seeds, int n, int32_t limit) {
    SeedTable t = {};
    t.limit = limit;
    t.count = n;
    for (int i = 0; i < n; ++i) t.seeds[i] = seeds[i];
    return t;
}

// The seed table used for a target of `bits` bits per pixel (2-8).
SeedTable seed_table(int bits) {
    static const uint8_t k2[] = {0x00, 0xFF};
    static const uint8_t k3[] = {0x00, 0x80, 0xFF};
    static const uint8_t k4[] = {0x00, 0x55, 0xAA, 0xFF};
    static const uint8_t k5[] = {0x00, 0x55, 0x8C, 0xC3, 0xFF};
    static const uint8_t k6[] = {0x00, 0x55, 0x87, 0xAF, 0xD7, 0xFF};
    switch (bits) {
        case 2: return list_table(kSeeds4, 4, 34560);
        case 3: return cube_table(k2, 2, 32512);
        case 4: return list_table(kSeeds15, 15, 16129);
        case 5: return cube_table(k3, 3, 8064);
        case 6: return cube_table(k4, 4, 3612);
        case 7: return cube_table(k5, 5, 1512);
        default: return cube_table(k6, 6, 800);
    }
}

inline int32_t channel_sum(const RgbQuad& e) {
    return e.blue + e.green + e.red;
}

// Distinct colours of 24-bit rows when each channel keeps its top 8 - drop bits.
uint32_t count_quantised(const uint8_t* pixels, int64_t stride, int32_t width, int32_t height, int drop,
                         uint8_t* bits) {
    const int keep = 8 - drop;
    uint32_t count = 0;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* p = pixels + y * stride;
        for (int32_t x = 0; x < width; ++x, p += 3) {
            const uint32_t key = (static_cast<uint32_t>(p[2] >> drop) << (2 * keep)) |
                                 (static_cast<uint32_t>(p[1] >> drop) << keep) | (p[0] >> drop);
            uint8_t& byte = bits[key >> 3];
            const uint8_t mask = static_cast<uint8_t>(1u << (key & 7));
            if (!(byte & mask)) {
                byte |= mask;
                ++count;
            }
        }
    }
    return count;
}

// K distinct colours of the work copy in order of first appearance, then sorted by
// blue + green + red with a selection sort (the first smallest of the remainder is swapped
// into place). Only blue, green and red of the K entries are written.
void build_exact_palette(const uint8_t* work, int64_t stride, int32_t width, int32_t height, uint32_t k,
                         RgbQuad* palette) {
    RgbQuad found[256];
    uint32_t n = 0;
    for (int32_t y = 0; y < height && n < k; ++y) {
        const uint8_t* p = work + y * stride;
        for (int32_t x = 0; x < width && n < k; ++x, p += 3) {
            bool seen = false;
            for (uint32_t i = 0; i < n && !seen; ++i)
                seen = found[i].blue == p[0] && found[i].green == p[1] && found[i].red == p[2];
            if (!seen) found[n++] = {p[0], p[1], p[2], 0};
        }
    }
    for (uint32_t place = 0; place < n; ++place) {
        int32_t best_sum = kSumStart;
        uint32_t best = place;
        for (uint32_t j = place; j < n; ++j) {
            const int32_t s = channel_sum(found[j]);
            if (s < best_sum) {
                best_sum = s;
                best = j;
            }
        }
        const RgbQuad t = found[place];
        found[place] = found[best];
        found[best] = t;
    }
    for (uint32_t i = 0; i < n; ++i) {
        palette[i].blue = found[i].blue;
        palette[i].green = found[i].green;
        palette[i].red = found[i].red;
    }
}

int exact_index(const RgbQuad* palette, int entries, const uint8_t* p) {
    for (int i = 0; i < entries; ++i)
        if (palette[i].blue == p[0] && palette[i].green == p[1] && palette[i].red == p[2]) return i;
    return 0;
}

// Nearest entry by the sum of squared channel differences; the first smallest wins.
//
// The palettes searched here are sorted by blue + green + red. Since (db + dg + dr)^2 is at
// most 3 (db^2 + dg^2 + dr^2), an entry whose channel sum differs from the pixel's by s is at
// least s^2 / 3 away: the search starts at the entries with the pixel's own sum and walks
// outwards until that bound exceeds the best distance. Ties go to the lower index, so the
// result is the one a full scan in palette order gives. Recent answers are kept in a small
// direct-mapped cache keyed by the exact colour.
class NearestSearch {
public:
    NearestSearch(const RgbQuad* palette, int entries, const int32_t* squares)
        : palette_(palette), entries_(entries), sq_(squares) {
        for (int i = 0; i < entries; ++i) sums_[i] = channel_sum(palette[i]);
        for (int i = 1; i < entries; ++i) sorted_ = sorted_ && sums_[i - 1] <= sums_[i];
        keys_ =
            reinterpret_cast<uint32_t*>(alloc_work(static_cast<int64_t>(sizeof(uint32_t) + 1) * kCacheSize));
        if (keys_) {
            std::memset(keys_, 0xFF, sizeof(uint32_t) * kCacheSize);  // no colour is 0xFFFFFFFF
            values_ = reinterpret_cast<uint8_t*>(keys_ + kCacheSize);
        }
    }
    ~NearestSearch() { free_work(keys_); }
    NearestSearch(const NearestSearch&) = delete;
    NearestSearch& operator=(const NearestSearch&) = delete;

    int find(int blue, int green, int red) {
        const uint32_t colour = (static_cast<uint32_t>(red) << 16) | (static_cast<uint32_t>(green) << 8) |
                                static_cast<uint32_t>(blue);
        uint32_t slot = 0;
        if (keys_) {
            slot = (colour * 2654435761u) >> (32 - kCacheBits);
            if (keys_[slot] == colour) return values_[slot];
        }
        const int index = sorted_ ? search_sorted(blue, green, red) : scan(blue, green, red);
        if (keys_) {
            keys_[slot] = colour;
            values_[slot] = static_cast<uint8_t>(index);
        }
        return index;
    }

private:
    static constexpr int kCacheBits = 16;
    static constexpr int kCacheSize = 1 << kCacheBits;

    int32_t distance(int i, int blue, int green, int red) const {
        return sq_[blue - palette_[i].blue] + sq_[green - palette_[i].green] + sq_[red - palette_[i].red];
    }

    int scan(int blue, int green, int red) const {
        int32_t best = kDistanceStart;
        int best_index = 0;
        for (int i = 0; i < entries_; ++i) {
            const int32_t d = distance(i, blue, green, red);
            if (d < best) {
                best = d;
                best_index = i;
            }
        }
        return best_index;
    }

    int search_sorted(int blue, int green, int red) const {
        const int32_t sum = blue + green + red;
        int hi = 0;
        while (hi < entries_ && sums_[hi] < sum) ++hi;
        int lo = hi - 1;
        int32_t best = kDistanceStart;
        int best_index = entries_;
        auto consider = [&](int i) {
            const int32_t d = distance(i, blue, green, red);
            if (d < best || (d == best && i < best_index)) {
                best = d;
                best_index = i;
            }
        };
        while (lo >= 0 || hi < entries_) {
            if (hi < entries_) {
                const int32_t s = sums_[hi] - sum;
                if (s * s > 3 * best) {
                    hi = entries_;
                } else {
                    consider(hi++);
                }
            }
            if (lo >= 0) {
                const int32_t s = sum - sums_[lo];
                if (s * s > 3 * best) {
                    lo = -1;
                } else {
                    consider(lo--);
                }
            }
        }
        return best_index;
    }

    const RgbQuad* palette_;
    int entries_;
    const int32_t* sq_;
    int32_t sums_[256] = {};
    bool sorted_ = true;
    uint32_t* keys_ = nullptr;  // the cache is optional: without memory for it, every pixel is searched
    uint8_t* values_ = nullptr;
};

// One histogram bucket. The sums are 64-bit: a 32-bit sum of a channel overflows on large
// images (17 million white pixels already), which turned white into grey.
struct Bucket {
    uint64_t blue, green, red;
    uint32_t count;
};

// Fills entries of `palette` (n entries) from a histogram of the work copy seeded with the
// table for `bits`. Returns false when memory is short.
bool build_seeded_palette(ConversionContext* c, const uint8_t* work, int64_t stride, uint8_t* bitset,
                          int bits, RgbQuad* palette) {
    const int n = 1 << bits;
    const int32_t width = c->width;
    const int32_t height = c->height;

    // Histogram precision: the finest of 5, 4 or 3 bits a channel under which the image still
    // has at most n colours; 2 bits otherwise.
    int precision = 2;
    for (int drop = 4; drop <= 6; ++drop) {
        std::memset(bitset, 0, static_cast<size_t>(kBitSetBytes));
        if (count_quantised(work, stride, width, height, drop, bitset) <= static_cast<uint32_t>(n)) {
            precision = 9 - drop;
            break;
        }
    }
    const int shift = 8 - precision;

    Bucket* buckets = reinterpret_cast<Bucket*>(alloc_work(static_cast<int64_t>(sizeof(Bucket)) * kBuckets));
    if (!buckets) return false;
    c->work_buffer = reinterpret_cast<uint8_t*>(buckets);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* p = work + y * stride;
        for (int32_t x = 0; x < width; ++x, p += 3) {
            const uint32_t key = (static_cast<uint32_t>(p[2] >> shift) << (2 * precision)) |
                                 (static_cast<uint32_t>(p[1] >> shift) << precision) | (p[0] >> shift);
            Bucket& b = buckets[key];
            b.blue += p[0];
            b.green += p[1];
            b.red += p[2];
            ++b.count;
        }
    }
    for (int i = 0; i < kBuckets; ++i) {
        Bucket& b = buckets[i];
        if (b.count) {
            b.blue /= b.count;
            b.green /= b.count;
            b.red /= b.count;
        }
    }

    const int32_t* sq = ensure_squares(c);
    const SeedTable table = seed_table(bits);
    // A bucket must hold at least 1/65,536 of the image to answer a seed. The floor of 1 keeps
    // empty buckets (whose average is black) out of small images' palettes.
    uint32_t threshold = static_cast<uint32_t>((static_cast<int64_t>(width) * height) >> 16);
    if (threshold < 1) threshold = 1;
    int filled = 0;
    for (int s = 0; s < table.count && filled < n; ++s) {
        const Seed& seed = table.seeds[s];
        int32_t best = table.limit;
        int best_bucket = -1;
        for (int i = 0; i < kBuckets; ++i) {
            const Bucket& b = buckets[i];
            if (b.count < threshold) continue;
            const int32_t d = sq[static_cast<int>(b.blue) - seed.blue] +
                              sq[static_cast<int>(b.green) - seed.green] +
                              sq[static_cast<int>(b.red) - seed.red];
            if (d < best) {
                best = d;
                best_bucket = i;
            }
        }
        if (best_bucket < 0) continue;
        Bucket& b = buckets[best_bucket];
        palette[filled].blue = static_cast<uint8_t>(b.blue);
        palette[filled].green = static_cast<uint8_t>(b.green);
        palette[filled].red = static_cast<uint8_t>(b.red);
        ++filled;
        b.count = 0;
    }
    while (filled < n) {
        uint32_t most = 0;
        int chosen = -1;
        for (int i = 0; i < kBuckets; ++i) {
            if (buckets[i].count > most) {
                most = buckets[i].count;
                chosen = i;
            }
        }
        if (chosen < 0) break;
        Bucket& b = buckets[chosen];
        palette[filled].blue = static_cast<uint8_t>(b.blue);
        palette[filled].green = static_cast<uint8_t>(b.green);
        palette[filled].red = static_cast<uint8_t>(b.red);
        ++filled;
        b.count = 0;
    }
    free_work(buckets);
    c->work_buffer = nullptr;

    // Insertion sort by channel sum; equal sums keep their order. Entries no pass filled keep
    // what the caller's palette held and are sorted with the rest.
    for (int i = 1; i < n; ++i) {
        const RgbQuad e = palette[i];
        const int32_t s = channel_sum(e);
        int j = i;
        while (j > 0 && s < channel_sum(palette[j - 1])) {
            palette[j] = palette[j - 1];
            --j;
        }
        palette[j] = e;
    }
    return true;
}

// The shared core of both reductions to 2-8 bits: a 24-bit work copy, a palette (exact or
// from the histogram) and the index of every pixel, handed to store(x, y, index).
template <typename Store>
bool reduce_indexed(ConversionContext* c, const RgbQuad* source_palette, const uint8_t* source_pixels,
                    int bits, RgbQuad* palette, Store store) {
    const int n = 1 << bits;
    uint8_t* work = make_bgr_work_copy(c, source_palette, source_pixels);
    if (!work) return false;
    c->work_pixels = work;
    const int64_t stride = c->work_stride;
    uint8_t* bitset = alloc_work(kBitSetBytes);
    bool ok = bitset != nullptr;
    uint32_t count = 0;
    if (ok) {
        count = count_quantised(work, stride, c->width, c->height, 0, bitset);
        // An empty image has no colour; treat it as fitting so nothing is mapped.
        ok = count != 0 || static_cast<int64_t>(c->width) * c->height == 0;
    }
    const int32_t* sq = ensure_squares(c);
    if (ok && count <= static_cast<uint32_t>(n)) {
        build_exact_palette(work, stride, c->width, c->height, count, palette);
        for (int32_t y = 0; y < c->height; ++y) {
            const uint8_t* p = work + y * stride;
            for (int32_t x = 0; x < c->width; ++x, p += 3) store(x, y, exact_index(palette, n, p));
        }
    } else if (ok) {
        ok = build_seeded_palette(c, work, stride, bitset, bits, palette);
        if (ok) {
            NearestSearch nearest(palette, n, sq);
            diffuse_bgr(
                c, work, c->work_stride, palette,
                [&nearest](int b, int g, int r) { return nearest.find(b, g, r); }, store);
        }
    }
    free_work(bitset);
    free_work(work);
    c->work_pixels = nullptr;
    c->work_buffer = nullptr;
    return ok;
}

bool valid_source(const ConversionContext* c, const uint8_t* pixels) {
    if (c->width < 0 || c->height < 0 || !pixels) return false;
    const int64_t src_stride = stride_for_depth(c->width, c->source_bits);
    return src_stride >= 0 && src_stride * c->height <= kMaxImageBytes;
}

}  // namespace

uint32_t count_colours_24bit(ConversionContext* c) {
    if (c->source_bits != 24 || !valid_source(c, c->source_pixels)) return 0;
    uint8_t* bitset = alloc_work(kBitSetBytes);
    if (!bitset) return 0;
    const uint32_t n =
        count_quantised(c->source_pixels, stride_for_depth(c->width, 24), c->width, c->height, 0, bitset);
    free_work(bitset);
    return n;
}

uint32_t count_colours_8bit(ConversionContext* c) {
    if (c->source_bits != 8 || !valid_source(c, c->source_pixels)) return 0;
    const int64_t stride = stride_for_depth(c->width, 8);
    bool seen[256] = {};
    uint32_t n = 0;
    for (int32_t y = 0; y < c->height; ++y) {
        const uint8_t* p = c->source_pixels + y * stride;
        for (int32_t x = 0; x < c->width; ++x) {
            if (seen[p[x]]) continue;
            seen[p[x]] = true;
            if (++n == 256) return 256;
        }
    }
    return n;
}

bool reduce_to_palette(ConversionContext* c) {
    const int bits = c->target_bits;
    if ((bits != 2 && bits != 4 && bits != 8) || (c->source_bits != 8 && c->source_bits != 24)) return false;
    if (c->size_overflow || !c->target_palette || !c->target_pixels || !valid_source(c, c->source_pixels))
        return false;
    if (c->source_bits == 8 && !c->source_palette) return false;
    uint8_t* dst = c->target_pixels;
    const int64_t stride = c->stride;
    for (int32_t y = 0; y < c->height; ++y)
        std::memset(dst + y * stride, 0, static_cast<size_t>(c->row_bytes));
    const int per_byte = 8 / bits;
    return reduce_indexed(c, c->source_palette, c->source_pixels, bits, c->target_palette,
                          [dst, stride, bits, per_byte](int32_t x, int32_t y, int index) {
                              const int shift = 8 - bits * (x % per_byte + 1);
                              dst[y * stride + x / per_byte] |= static_cast<uint8_t>(index << shift);
                          });
}

bool reduce_to_indexed(RgbQuad* target_palette, ConversionContext* c, const RgbQuad* source_palette,
                       const uint8_t* source_pixels, uint8_t* target_bytes) {
    const int bits = c->target_bits;
    if (bits < 1 || bits > 8 || (c->source_bits != 8 && c->source_bits != 24)) return false;
    if (!target_palette || !target_bytes || !valid_source(c, source_pixels)) return false;
    if (c->source_bits == 8 && !source_palette) return false;
    if (static_cast<int64_t>(c->width) * c->height > kMaxImageBytes) return false;
    c->target_palette = target_palette;
    c->target_pixels = target_bytes;
    setup_diffusion(c);
    const int64_t w = c->width;
    if (bits == 1) {
        uint8_t* grey = make_grey_work_copy(c, source_palette, source_pixels);
        if (!grey) return false;
        c->work_pixels = grey;
        target_palette[0].blue = target_palette[0].green = target_palette[0].red = 0;
        target_palette[1].blue = target_palette[1].green = target_palette[1].red = 255;
        diffuse_grey_threshold(c, grey, [target_bytes, w](int32_t x, int32_t y, int bit) {
            target_bytes[y * w + x] = static_cast<uint8_t>(bit);
        });
        free_work(grey);
        c->work_pixels = nullptr;
        return true;
    }
    return reduce_indexed(c, source_palette, source_pixels, bits, target_palette,
                          [target_bytes, w](int32_t x, int32_t y, int index) {
                              target_bytes[y * w + x] = static_cast<uint8_t>(index);
                          });
}
