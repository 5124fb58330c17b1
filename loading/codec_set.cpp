#include "loading/codec_set.h"

#include <new>

#include "codecs/bmp/bmp.h"
#include "codecs/gif/gif.h"
#include "codecs/jpeg/jpeg.h"
#include "codecs/png/png.h"
#include "codecs/tiff/tiff.h"
#include "kernels/lookup_tables.h"
#include "loading/plugin.h"

CodecContextSet g_codecs;
uint8_t g_blend_table[65536];
int32_t g_squares_table[511];
const int32_t* g_squares_centre = nullptr;

namespace {

MemoryDcFactory g_dc_factory = nullptr;

template <typename T>
T* make_shared_context() {
    T* context = new (std::nothrow) T();
    if (context) init_codec_context(context, 1);
    return context;
}

// Each use released what it opened and allocated; what an owner still holds goes with it.
template <typename T>
void destroy_context(T*& context) {
    delete context;
    context = nullptr;
}

bool fail() {
    codec_platform_report_startup_failure();
    return false;
}

}  // namespace

MemoryDcFactory set_memory_dc_factory(MemoryDcFactory factory) {
    MemoryDcFactory old = g_dc_factory;
    g_dc_factory = factory;
    return old;
}

bool create_codec_contexts() {
    CodecContextSet& s = g_codecs;
    s.base = new (std::nothrow) ConversionContext();
    if (!s.base) return fail();
    init_conversion_context(s.base);
    if (!(s.bmp_reader = make_shared_context<BmpContext>())) return fail();
    if (!(s.png_reader = make_shared_context<PngContext>())) return fail();
    png_build_crc_table(s.png_reader);
    if (!(s.jpeg_reader = make_shared_context<JpegReaderContext>())) return fail();
    if (!(s.tiff_reader = make_shared_context<TiffContext>())) return fail();
    if (!(s.gif_reader = make_shared_context<GifContext>())) return fail();
    if (!(s.plugin = make_shared_context<PluginContext>())) return fail();
    if (!(s.jpeg_writer = make_shared_context<JpegWriterContext>())) return fail();
    build_blend_table(g_blend_table);
    g_squares_centre = build_squares_table(g_squares_table);
    s.memory_dc = g_dc_factory ? g_dc_factory() : codec_platform_create_memory_dc();
    if (!s.memory_dc) return fail();
    return true;
}

void destroy_codec_contexts() {
    CodecContextSet& s = g_codecs;
    destroy_context(s.jpeg_writer);
    destroy_context(s.plugin);
    destroy_context(s.gif_reader);
    destroy_context(s.tiff_reader);
    destroy_context(s.jpeg_reader);
    destroy_context(s.png_reader);
    destroy_context(s.bmp_reader);
    delete s.base;
    s.base = nullptr;
    if (s.memory_dc) codec_platform_delete_memory_dc(s.memory_dc);
    s.memory_dc = 0;
}
