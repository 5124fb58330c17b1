#include "kernels/geometry.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/kernels/naive_kernels.h"

namespace {

using naive::Image;

Image apply_rotate_flip(const Image& src, int type) {
    const bool swap = type == 1 || type == 3;
    Image dst(swap ? src.height : src.width, swap ? src.width : src.height, src.bits, 0xEE);
    DibPair pair{src.width, src.height, src.pixels.data(), dst.pixels.data()};
    EXPECT_TRUE(rotate_flip_pixels(pair, type, src.bits));
    return dst;
}

// Rows padded with a marker in the source: flip_rows copies padding, the others must not
// carry it into pixel bytes.
Image padded_random(int w, int h, int bits, naive::Rng& rng) {
    return naive::random_image(w, h, bits, rng);
}

bool same_pixels(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height || a.bits != b.bits) return false;
    const int row = a.width * a.bits / 8;
    for (int y = 0; y < a.height; ++y) {
        if (std::memcmp(a.at(0, y), b.at(0, y), row) != 0) return false;
    }
    return true;
}

TEST(RotateFlip, CompositionsAreIdentities) {
    naive::Rng rng(31);
    for (int bits : {8, 24}) {
        for (int w : {1, 2, 3, 5, 7}) {
            for (int h : {1, 2, 3}) {
                SCOPED_TRACE(std::to_string(bits) + " bits " + std::to_string(w) + "x" + std::to_string(h));
                const Image src = padded_random(w, h, bits, rng);
                Image q = src;
                for (int i = 0; i < 4; ++i) q = apply_rotate_flip(q, 1);
                EXPECT_TRUE(same_pixels(q, src));
                EXPECT_TRUE(same_pixels(apply_rotate_flip(apply_rotate_flip(src, 1), 3), src));
                EXPECT_TRUE(same_pixels(apply_rotate_flip(apply_rotate_flip(src, 2), 2), src));
                EXPECT_TRUE(same_pixels(apply_rotate_flip(apply_rotate_flip(src, 4), 4), src));
                EXPECT_TRUE(same_pixels(apply_rotate_flip(apply_rotate_flip(src, 5), 5), src));
                // A half turn is both flips.
                EXPECT_TRUE(
                    same_pixels(apply_rotate_flip(apply_rotate_flip(src, 4), 5), apply_rotate_flip(src, 2)));
            }
        }
    }
}

TEST(RotateFlip, QuarterTurnOfThreeByTwoIsPaddedTwoByThree) {
    Image src(3, 2, 8);
    // memory row 0 (bottom) = 1 2 3, row 1 (top) = 4 5 6
    const uint8_t v[6] = {1, 2, 3, 4, 5, 6};
    for (int i = 0; i < 6; ++i) *src.at(i % 3, i / 3) = v[i];
    const Image dst = apply_rotate_flip(src, 1);
    ASSERT_EQ(dst.width, 2);
    ASSERT_EQ(dst.stride, 4);
    // Clockwise on screen: the top row 4 5 6 becomes the right column, read downward.
    const uint8_t want[3][2] = {{3, 6}, {2, 5}, {1, 4}};  // memory rows 0..2
    for (int r = 0; r < 3; ++r) {
        for (int i = 0; i < 2; ++i) EXPECT_EQ(*dst.at(i, r), want[r][i]) << r << "," << i;
    }
}

TEST(RotateFlip, RejectsOtherTypesAndDepths) {
    Image src(2, 2, 24, 9);
    Image dst(2, 2, 24, 0);
    DibPair pair{2, 2, src.pixels.data(), dst.pixels.data()};
    for (int type : {0, 6, -1}) EXPECT_FALSE(rotate_flip_pixels(pair, type, 24));
    EXPECT_FALSE(rotate_flip_pixels(pair, 1, 32));
    EXPECT_FALSE(crop_pixels(pair, 16, 0, 0, 1, 1));
    for (uint8_t b : dst.pixels) EXPECT_EQ(b, 0);
}

// The destination is sized for the requested rectangle, as the callers allocate it.
Image crop(const Image& src, int left, int top, int right, int bottom, bool want_ok = true) {
    const int w = right >= left ? right - left + 1 : 1, h = bottom >= top ? bottom - top + 1 : 1;
    Image dst(w, h, src.bits, 0xEE);
    DibPair pair{src.width, src.height, src.pixels.data(), dst.pixels.data()};
    EXPECT_EQ(crop_pixels(pair, src.bits, left, top, right, bottom), want_ok);
    return dst;
}

TEST(Crop, MatchesPlainCopyAndWholeImageReproduces) {
    naive::Rng rng(32);
    for (int bits : {8, 24}) {
        const Image src = padded_random(7, 5, bits, rng);
        EXPECT_TRUE(same_pixels(crop(src, 0, 0, 6, 4), src));
        const Image part = crop(src, 2, 1, 4, 3);  // rows from the top
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 3; ++x) {
                // destination memory row y is image row (3 - y) from the top; source memory row 4 - (3 - y)
                ASSERT_EQ(0, std::memcmp(part.at(x, y), src.at(2 + x, 1 + y), bits / 8));
            }
        }
        // The depth-specific routines the trimming tool calls directly do the same.
        Image direct(3, 3, bits, 0xEE);
        DibPair pair{src.width, src.height, src.pixels.data(), direct.pixels.data()};
        EXPECT_TRUE(bits == 8 ? crop_pixels_8(pair, 2, 1, 4, 3) : crop_pixels_24(pair, 2, 1, 4, 3));
        EXPECT_EQ(direct.pixels, part.pixels);
    }
}

// An inverted rectangle is an empty result: nothing written and success, however far apart
// the edges.
TEST(Crop, InvertedRectangleWritesNothing) {
    naive::Rng rng(33);
    const Image src = padded_random(5, 4, 24, rng);
    for (auto r : std::vector<std::array<int, 4>>{
             {3, 0, 1, 2}, {0, 3, 2, 1}, {4, 0, -100000, 3}, {INT32_MAX, 0, INT32_MIN, 3}}) {
        const Image out = crop(src, r[0], r[1], r[2], r[3]);
        for (uint8_t b : out.pixels) ASSERT_EQ(b, 0xEE);
    }
}

// Clipping a rectangle that reaches past the image would write the clipped rows at their own
// stride into a buffer laid out for the requested width: it is refused, nothing written.
TEST(Crop, RectangleReachingPastTheImageIsRefused) {
    naive::Rng rng(60);
    for (int bits : {8, 24}) {
        const Image src = padded_random(5, 4, bits, rng);
        for (auto r : std::vector<std::array<int, 4>>{{-3, -2, 100, 100},
                                                      {-1, 0, 2, 2},
                                                      {0, -1, 2, 2},
                                                      {2, 1, 5, 3},
                                                      {0, 0, 4, 4},
                                                      {10, 10, 20, 20}}) {
            SCOPED_TRACE(std::to_string(bits) + " bits " + std::to_string(r[0]) + "," + std::to_string(r[1]) +
                         "," + std::to_string(r[2]) + "," + std::to_string(r[3]));
            Image out = crop(src, r[0], r[1], r[2], r[3], false);
            for (uint8_t b : out.pixels) ASSERT_EQ(b, 0xEE);
            DibPair pair{src.width, src.height, src.pixels.data(), out.pixels.data()};
            EXPECT_FALSE(bits == 8 ? crop_pixels_8(pair, r[0], r[1], r[2], r[3])
                                   : crop_pixels_24(pair, r[0], r[1], r[2], r[3]));
        }
    }
}

TEST(ArbitraryRotation, MatchesFormulaOnOddSizes) {
    naive::Rng rng(34);
    const uint8_t bg[3] = {250, 20, 130};
    for (int angle : {0, 1, 123, 300, 450, -300, 900, -900, 1800, 3599}) {
        for (int w : {1, 2, 3, 5, 7}) {
            for (int h : {1, 4, 5}) {
                SCOPED_TRACE("angle " + std::to_string(angle) + " " + std::to_string(w) + "x" +
                             std::to_string(h));
                const Image src = padded_random(w, h, 24, rng);
                Image near(w, h, 24, 0xEE);
                rotate_pixels_nearest(DibPair{w, h, src.pixels.data(), near.pixels.data()}, angle, bg);
                ASSERT_EQ(near.pixels, naive::rotate(src, angle, bg, w, h, false).pixels);
                const int dw = w + 3, dh = h + 2;
                Image smooth(dw, dh, 24, 0xEE);
                rotate_pixels_smooth(DibPair{w, h, src.pixels.data(), smooth.pixels.data()}, angle, bg, dw,
                                     dh);
                ASSERT_EQ(smooth.pixels, naive::rotate(src, angle, bg, dw, dh, true).pixels);
            }
        }
    }
}

TEST(ArbitraryRotation, ZeroReproducesAndOutsideIsBackground) {
    naive::Rng rng(35);
    const uint8_t bg[3] = {1, 2, 3};
    const Image src = padded_random(5, 3, 24, rng);
    Image dst(5, 3, 24, 0);
    rotate_pixels_nearest(DibPair{5, 3, src.pixels.data(), dst.pixels.data()}, 0, bg);
    EXPECT_TRUE(same_pixels(dst, src));
    rotate_pixels_nearest(DibPair{5, 3, src.pixels.data(), dst.pixels.data()}, 450, bg);
    // A corner of a 5x3 image turned by 45 degrees maps outside the source.
    EXPECT_EQ(dst.at(0, 0)[0], 3);
    EXPECT_EQ(dst.at(0, 0)[1], 2);
    EXPECT_EQ(dst.at(0, 0)[2], 1);
}

TEST(Resize, MatchesFormulaInEachAxisAndBoth) {
    naive::Rng rng(36);
    const std::pair<int, int> sizes[] = {{1, 1}, {2, 3}, {3, 2}, {5, 7}, {7, 5}, {7, 1}, {1, 7}};
    for (auto [w, h] : sizes) {
        const Image src = padded_random(w, h, 24, rng);
        for (int nw : {1, 2, w, 2 * w - 1, 2 * w}) {
            for (int nh : {1, h, 2 * h}) {
                if (nw < 1 || (nw == w && nh == h)) continue;
                SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " -> " + std::to_string(nw) + "x" +
                             std::to_string(nh));
                Image dst(nw, nh, 24, 0xEE);
                DibPair pair{w, h, src.pixels.data(), dst.pixels.data()};
                ASSERT_TRUE(resize_pixels(pair, nw, nh));
                // The caller's record still describes the caller's image afterwards.
                EXPECT_EQ(pair.source, src.pixels.data());
                EXPECT_EQ(pair.height, h);
                EXPECT_TRUE(same_pixels(dst, naive::resize(src, nw, nh)));
            }
        }
    }
}

TEST(Resize, RefusedSizesWriteNothing) {
    naive::Rng rng(37);
    const Image src = padded_random(100, 2, 24, rng);
    struct Case {
        int w, h;
    } cases[] = {{25001, 2}, {100, 2}, {201, 2}, {0, 2}, {-5, 2}, {100, 0}, {50, 5}};
    for (const Case& c : cases) {
        Image dst(std::max(c.w, 1) > 25001 ? 1 : std::max(c.w, 1), std::max(c.h, 1), 24, 0xEE);
        DibPair pair{100, 2, src.pixels.data(), dst.pixels.data()};
        EXPECT_FALSE(resize_pixels(pair, c.w, c.h)) << c.w << "x" << c.h;
        for (uint8_t b : dst.pixels) ASSERT_EQ(b, 0xEE);
    }
    Image ok(200, 2, 24);
    DibPair pair{100, 2, src.pixels.data(), ok.pixels.data()};
    EXPECT_TRUE(resize_pixels(pair, 200, 2));
}

TEST(Resize, ShrinkingFourToTwoAveragesPairs) {
    Image src(4, 1, 24);
    const uint8_t v[4] = {10, 21, 200, 255};
    for (int x = 0; x < 4; ++x) src.at(x, 0)[0] = src.at(x, 0)[1] = src.at(x, 0)[2] = v[x];
    Image dst(2, 1, 24);
    DibPair pair{4, 1, src.pixels.data(), dst.pixels.data()};
    ASSERT_TRUE(resize_pixels(pair, 2, 1));
    EXPECT_EQ(dst.at(0, 0)[0], 15);
    EXPECT_EQ(dst.at(1, 0)[0], 227);
}

// The widest source shrunk to one pixel: the table is sized from the ratio actually used.
TEST(Resize, WidestSourceToOnePixel) {
    Image src(25000, 1, 24, 200);
    Image dst(1, 1, 24, 0);
    DibPair pair{25000, 1, src.pixels.data(), dst.pixels.data()};
    ASSERT_TRUE(resize_pixels(pair, 1, 1));
    EXPECT_EQ(dst.at(0, 0)[0], 200);
    EXPECT_LT(resize_shrink_table_bytes(25000, 1), 8 << 20);

    naive::Rng rng(39);
    const Image row = padded_random(25000, 1, 24, rng);
    for (int m : {1, 3, 997}) {
        Image out(m, 1, 24, 0xEE);
        DibPair p{25000, 1, row.pixels.data(), out.pixels.data()};
        ASSERT_TRUE(resize_pixels(p, m, 1));
        EXPECT_TRUE(same_pixels(out, naive::resize(row, m, 1))) << m;
    }
}

// Reference comparison with ImageMagick on the same images, through PPM/PGM files. Natively
// only: the tool is a host program.
#ifndef _WIN32
std::string scratch(const std::string& name) {
    return std::string(PX_TEST_BINARY_DIR) + "/kernels_" + name;
}

void write_pnm(const Image& img, const std::string& path) {
    std::ofstream f(path, std::ios::binary);
    f << (img.bits == 24 ? "P6\n" : "P5\n") << img.width << " " << img.height << "\n255\n";
    for (int y = img.height - 1; y >= 0; --y) {
        for (int x = 0; x < img.width; ++x) {
            const uint8_t* p = img.at(x, y);
            if (img.bits == 24) {
                const char rgb[3] = {static_cast<char>(p[2]), static_cast<char>(p[1]),
                                     static_cast<char>(p[0])};
                f.write(rgb, 3);
            } else {
                f.put(static_cast<char>(p[0]));
            }
        }
    }
}

bool read_pnm(const std::string& path, int bits, Image* out) {
    std::ifstream f(path, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, maxval = 0;
    if (!(f >> magic >> w >> h >> maxval) || maxval != 255) return false;
    f.get();
    *out = Image(w, h, bits);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* p = out->at(x, y);
            if (bits == 24) {
                char rgb[3];
                f.read(rgb, 3);
                p[0] = static_cast<uint8_t>(rgb[2]);
                p[1] = static_cast<uint8_t>(rgb[1]);
                p[2] = static_cast<uint8_t>(rgb[0]);
            } else {
                p[0] = static_cast<uint8_t>(f.get());
            }
        }
    }
    return static_cast<bool>(f);
}

TEST(GeometryReference, QuarterTurnsFlipsAndCropEqualImageMagick) {
    if (std::system("/usr/bin/convert -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ImageMagick not installed";
    naive::Rng rng(38);
    struct Op {
        const char* args;
        int type;  // 0: crop 2,1 .. 4,2
    } ops[] = {{"-rotate 90", 1}, {"-rotate 180", 2}, {"-rotate 270", 3},
               {"-flop", 4},      {"-flip", 5},       {"-crop 3x2+2+1 +repage", 0}};
    for (int bits : {8, 24}) {
        for (auto [w, h] : {std::pair<int, int>{5, 3}, {7, 4}, {6, 5}}) {
            const Image src = padded_random(w, h, bits, rng);
            const std::string in = scratch("in.pnm"), out = scratch("out.pnm");
            write_pnm(src, in);
            for (const Op& op : ops) {
                SCOPED_TRACE(std::string(op.args) + " " + std::to_string(bits) + " bits " +
                             std::to_string(w) + "x" + std::to_string(h));
                const std::string cmd = "/usr/bin/convert " + in + " " + op.args + " " + out;
                ASSERT_EQ(std::system(cmd.c_str()), 0);
                Image want;
                ASSERT_TRUE(read_pnm(out, bits, &want));
                const Image got = op.type ? apply_rotate_flip(src, op.type) : crop(src, 2, 1, 4, 2);
                EXPECT_TRUE(same_pixels(got, want));
            }
            std::remove(in.c_str());
            std::remove(out.c_str());
        }
    }
}
#endif

}  // namespace

namespace {

// Every turn and flip against its coordinate rule on odd sizes at both depths, comparing the
// whole destination buffers: only a top-bottom flip carries the row padding along.
TEST(RotateFlip, MatchTheirCoordinateRules) {
    naive::Rng rng(40);
    for (int bits : {8, 24}) {
        const int bpp = bits / 8;
        for (int w : {1, 2, 3, 5, 7}) {
            for (int h : {1, 2, 3, 5}) {
                const Image src = naive::random_image(w, h, bits, rng);
                for (int type = 1; type <= 5; ++type) {
                    SCOPED_TRACE("type " + std::to_string(type) + " " + std::to_string(bits) + " bits " +
                                 std::to_string(w) + "x" + std::to_string(h));
                    const bool swap = type == 1 || type == 3;
                    Image want(swap ? h : w, swap ? w : h, bits, 0xEE);
                    for (int r = 0; r < want.height; ++r) {
                        if (type == 5) {
                            std::memcpy(want.at(0, r), src.at(0, h - 1 - r), want.stride);
                            continue;
                        }
                        for (int i = 0; i < want.width; ++i) {
                            const int sr = type == 1 ? i : type == 3 ? h - 1 - i : type == 2 ? h - 1 - r : r;
                            const int sc = type == 1 ? w - 1 - r : type == 3 ? r : w - 1 - i;
                            std::memcpy(want.at(i, r), src.at(sc, sr), bpp);
                        }
                    }
                    EXPECT_EQ(apply_rotate_flip(src, type).pixels, want.pixels);
                }
            }
        }
    }
}

}  // namespace

namespace {

// Every rectangle of small odd images at both depths; the destination's padding stays as it
// was.
TEST(Crop, EveryRectangleMatchesPlainCopy) {
    naive::Rng rng(41);
    for (int bits : {8, 24}) {
        const int bpp = bits / 8;
        for (int w : {1, 2, 3, 5, 7}) {
            for (int h : {1, 2, 5}) {
                const Image src = naive::random_image(w, h, bits, rng);
                for (int l = 0; l < w; ++l) {
                    for (int r = l; r < w; ++r) {
                        for (int t = 0; t < h; ++t) {
                            for (int b = t; b < h; ++b) {
                                Image want(r - l + 1, b - t + 1, bits, 0xEE);
                                for (int y = 0; y < want.height; ++y) {
                                    // destination memory row y is image row b - y from the top
                                    std::memcpy(want.at(0, y), src.at(l, h - 1 - (b - y)), want.width * bpp);
                                }
                                ASSERT_EQ(crop(src, l, t, r, b).pixels, want.pixels)
                                    << bits << " bits " << w << "x" << h << " rect " << l << "," << t << ","
                                    << r << "," << b;
                            }
                        }
                    }
                }
            }
        }
    }
}

}  // namespace
