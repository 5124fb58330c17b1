// Lookup tables shared by the pixel kernels and the codecs. The per-pixel loops do nothing
// but index these, so their layouts and centres are part of every kernel's contract.
// Builders write into storage the caller provides and return the address the kernels index
// (many tables are reached through their centre so that negative indices are valid).
#pragma once

#include <cstddef>
#include <cstdint>

struct AdjustContext;

// 101 bytes: rounded(i * 255 / 100).
constexpr int kPercentTableSize = 101;
using PercentTable = uint8_t[kPercentTableSize];
uint8_t* build_percent_table(uint8_t* table);

// 256 x 256 bytes, t[a][v] at 256a + v: v scaled by a / 255. A kernel mixes x over y with
// weight w as t[w][x] + t[255 - w][y].
constexpr int kBlendTableSize = 65536;
using BlendTable = uint8_t[kBlendTableSize];
uint8_t* build_blend_table(uint8_t* table);

// 511 signed squares of -255..255; returns the centre (the entry for 0).
constexpr int kSquaresTableSize = 511;
using SquaresTable = int32_t[kSquaresTableSize];
const int32_t* build_squares_table(int32_t* table);

// 256 rows of 510 bytes; row w stretches the span 0..w onto 0..255 and is indexed -254..255
// from 254 bytes into the row. Returns the storage (row 0).
constexpr int kLevelsRowBytes = 510;
constexpr int kLevelsRowCentre = 254;
constexpr int kLevelsStretchTableSize = 256 * kLevelsRowBytes;
using LevelsStretchTable = uint8_t[kLevelsStretchTableSize];
uint8_t* build_levels_stretch_table(uint8_t* table);

// 201 curves of 256 bytes; returns curve 100 (the identity). Curve 100 + k for k = -100..100.
constexpr int kGammaCurvesSize = 201 * 256;
using GammaCurves = uint8_t[kGammaCurvesSize];
uint8_t* build_gamma_curves(uint8_t* table);

// 766 bytes for -255..510 clamped to 0..255; returns the centre.
constexpr int kClampTableSize = 766;
using ClampTable = uint8_t[kClampTableSize];
uint8_t* build_clamp_table(uint8_t* table);

// 201 tables of 256 bytes around the pivot; returns table 0 (table k at centre + 256k).
constexpr int kContrastTablesSize = 201 * 256;
using ContrastTables = uint8_t[kContrastTablesSize];
uint8_t* build_contrast_tables(uint8_t* table, int pivot);

// About i / 25 and i / 9 rounded, for sums of 25 and 9 channel values.
constexpr int kDiv25TableSize = 6376;
constexpr int kDiv9TableSize = 2296;
using Div25Table = uint8_t[kDiv25TableSize];
using Div9Table = uint8_t[kDiv9TableSize];
uint8_t* build_div25_table(uint8_t* table);
// Fills the table and publishes it to the brush kernels (brush_kernels.cpp).
uint8_t* brush_build_div9_table(uint8_t* table);
uint8_t* build_div9_table(uint8_t* table);

// (a) 101 rows of 256 signed values floor(d * k / 8), d = -128..127 from the row's start;
// (b) a clamp for -1600..1842. Returns the centre of (b).
constexpr int kUnsharpRowsSize = 101 * 256;
constexpr int kUnsharpClampSize = 3443;
constexpr int kUnsharpClampCentre = 1600;
struct UnsharpTables {
    int16_t rows[kUnsharpRowsSize];
    uint8_t clamp[kUnsharpClampSize];
};
uint8_t* build_unsharp_tables(int16_t* rows, uint8_t* clamp);

// 65 rows of 256 products k * v, k = -32..32; returns row 0.
constexpr int kCoefficientTablesSize = 65 * 256;
using CoefficientTables = int32_t[kCoefficientTablesSize];
int32_t* build_coefficient_tables(int32_t* table);

// Blue, green, red tables of 117v, 601v, 306v: the sum shifted right by 10 is the luma.
constexpr int kLumaTables1024Size = 3 * 256;
using LumaTables1024 = int32_t[kLumaTables1024Size];
int32_t* build_luma_tables_1024(int32_t* table);

// Blue, green, red tables of (30v) >> 8, (151v) >> 8, (77v) >> 8: the sum is the grey.
constexpr int kGreyTables256Size = 3 * 256;
using GreyTables256 = uint8_t[kGreyTables256Size];
uint8_t* build_luma_tables_256(uint8_t* table);

// The integer hue/saturation/lightness model in one block of 552,574 bytes.
struct HslTables {
    int16_t numerators[511 * 256];   // row c + 255, column chroma d: trunc(60c / d)
    uint8_t saturations[510 * 256];  // row max + min, column chroma
    uint8_t top_values[256 * 256];   // row lightness, column saturation: the largest channel
    uint8_t ramps[360 * 256];        // row hue distance, column span: the channel's share
    int16_t hue_wrap[960];           // -300..659 folded into 0..359
    uint8_t clamp[766];              // -255..510 clamped to 0..255
};
static_assert(sizeof(HslTables) == 552574, "HslTables is one packed block");

// Where a family of kernels reads the HSL tables. The colour kernels keep a set in their
// AdjustContext and the brush kernels one in their state, so two users never share one.
struct HslAddresses {
    const int16_t* numerators = nullptr;  // row c = 0
    const uint8_t* saturations = nullptr;
    const uint8_t* clamp = nullptr;  // centre
    const uint8_t* top_values = nullptr;
    const uint8_t* ramps = nullptr;
    const int16_t* hue_wrap = nullptr;  // centre
};

HslTables* build_hsl_tables(HslTables* storage);
HslAddresses hsl_addresses(const HslTables* tables);
// Builds the block and records its addresses in the context.
HslTables* install_hsl_tables_for_adjust(HslTables* storage, AdjustContext* context);
// Builds the block and records its addresses in the brush state (brush_kernels.cpp).
HslTables* install_hsl_tables_for_brush(HslTables* storage);

// Lets a kernel change a colour and then give it back its former luminance
// Y = 114b + 587g + 299r, counted in units of the blue weight.
constexpr int kLuminanceSpan = 2236;
struct LuminanceTables {
    int16_t bw[256];
    int16_t gw[256];
    int16_t rw[256];
    uint8_t inverse_blue[256];
    uint8_t inverse_green[1314];
    uint8_t inverse_red[669];
    int16_t share_blue[2 * kLuminanceSpan + 1];
    int16_t share_green[2 * kLuminanceSpan + 1];
    int16_t share_red[2 * kLuminanceSpan + 1];
    const int16_t* share_blue_centre;
    const int16_t* share_green_centre;
    const int16_t* share_red_centre;
};
LuminanceTables* build_luminance_tables(LuminanceTables* storage);

// Round coverage masks for diameters 3..128 in one block; pointers[d - 3] is the tip of
// diameter d (d rows of d bytes, top row first). Null when memory is short.
constexpr int kBrushTipCount = 126;
constexpr int kBrushTipMinDiameter = 3;
constexpr int kBrushTipMaxDiameter = 128;
constexpr int64_t kBrushTipsBlockSize = 707259;
// The block of all tips and the pointers into it.
struct BrushTips {
    uint8_t* block = nullptr;
    uint8_t* tips[kBrushTipCount] = {};
};
uint8_t* build_brush_tips(uint8_t** pointers);
void free_brush_tips(uint8_t* block);

// Falloff of a colour range: tolerance 0..150 gives the squared-distance threshold 3t^2.
constexpr int kFalloffWeights = 67501;
constexpr int kMaxTolerance = 150;
constexpr int kDefaultTolerance = 127;
const int32_t* build_context_squares_table(int32_t* storage, AdjustContext* context);
void set_range_falloff(int tolerance, AdjustContext* context);
void set_default_range_falloff(AdjustContext* context);

// Mean luma of the context's image (the contrast pivot); 128 for depths other than 8 and 24.
int mean_luma_rgb(const uint8_t* pixels, int width, int height, int stride);
int mean_luma_palette(const uint8_t* pixels, const uint8_t* palette, int width, int height, int stride);
int context_mean_luma(const AdjustContext* context);

// Builds LumaTables1024 and the contrast tables around the image's mean luma, storing
// table 0 in the context. Returns the contrast centre.
uint8_t* prepare_contrast_tables(AdjustContext* context, int32_t* luma_storage, uint8_t* contrast_storage);

// Batch conversion's own job record; the batch job points this at the context it owns.
extern AdjustContext* g_batch_adjust_context;
// prepare_contrast_tables on the batch context; null when the batch job set none.
uint8_t* prepare_batch_contrast_tables(int32_t* luma_storage, uint8_t* contrast_storage);
