// The process-wide set of codec contexts, made once at start-up and destroyed at exit.
// Batch conversion makes a second set of its own through the same types.
#pragma once

#include "codecs/codec_context.h"
#include "common/win_types.h"

struct BmpContext;
struct PngContext;
struct JpegReaderContext;
struct JpegWriterContext;
struct TiffContext;
struct GifContext;
struct PluginContext;

struct CodecContextSet {
    ConversionContext* base = nullptr;
    BmpContext* bmp_reader = nullptr;
    PngContext* png_reader = nullptr;
    JpegReaderContext* jpeg_reader = nullptr;
    TiffContext* tiff_reader = nullptr;
    GifContext* gif_reader = nullptr;
    PluginContext* plugin = nullptr;
    JpegWriterContext* jpeg_writer = nullptr;
    // Memory device context into which the browser selects its scaling bitmaps (Windows only).
    OsHandle memory_dc = 0;
};

extern CodecContextSet g_codecs;

// The two shared tables of the pixel kernels, built by create_codec_contexts.
extern uint8_t g_blend_table[65536];
extern int32_t g_squares_table[511];
extern const int32_t* g_squares_centre;

// Makes the set in the fixed order; on a failure shows the error box with code 0 and returns
// false, leaving what was made for the process exit.
bool create_codec_contexts();
void destroy_codec_contexts();

// Replaces the memory DC maker (null restores the platform's), so tests can make the
// start-up fail at its last step; returns the previous one.
using MemoryDcFactory = OsHandle (*)();
MemoryDcFactory set_memory_dc_factory(MemoryDcFactory factory);

// Platform glue: the memory DC (0 on failure) and the start-up error box.
OsHandle codec_platform_create_memory_dc();
void codec_platform_delete_memory_dc(OsHandle dc);
void codec_platform_report_startup_failure();
