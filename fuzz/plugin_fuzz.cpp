// The plug-in reader over whatever a plug-in hands back. Input: a flags byte (bit 0: the
// plug-in has GetPictureInfo, bit 1: its GetPicture reports failure, bit 2: DIB-section
// mode), the information block's length (16-bit little-endian), the information block, then
// the pixel block. Whatever the blocks hold, nothing may be read beyond them and every block
// and module must be released.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/utf16.h"
#include "loading/native/plugin_native.h"
#include "loading/plugin.h"

namespace {

const uint8_t* g_info = nullptr;
size_t g_info_size = 0;
const uint8_t* g_pixels = nullptr;
size_t g_pixel_size = 0;
bool g_fail = false;

int32_t info(int32_t n, char* buffer, int32_t length) {
    if (n != 0 || length < 4) return 0;
    std::memcpy(buffer, "00IN", 4);
    return 4;
}
int32_t supported(const char*, uintptr_t) {
    return 1;
}
int32_t picture_info(const char*, intptr_t, uint32_t, uint8_t* record) {
    // The reported depth comes from the pixel block's first bytes, when there are two.
    if (g_pixel_size >= 2) std::memcpy(record + kPictureInfoDepthOffset, g_pixels, 2);
    return 0;
}
int32_t picture(const char*, intptr_t, uint32_t, OsHandle* info_out, OsHandle* pixels_out, PluginProgressFn,
                intptr_t) {
    // Empty blocks are still blocks: the reader must cope with size 0.
    *info_out = plugin_native_alloc(g_info, g_info_size);
    *pixels_out = plugin_native_alloc(g_pixels, g_pixel_size);
    return g_fail ? 1 : 0;
}

std::u16string setup_folder(std::u16string* picture_path) {
    static std::u16string folder;
    static std::u16string path;
    if (folder.empty()) {
        const std::string base = "/tmp/px-plugin-fuzz-" + std::to_string(getpid());
        mkdir(base.c_str(), 0700);
        for (const char* name : {"/fuzz.spi", "/picture.bin"}) {
            FILE* f = std::fopen((base + name).c_str(), "wb");
            if (f) {
                std::fputs("x", f);
                std::fclose(f);
            }
        }
        folder = utf8_to_utf16(base);
        path = folder + u"/picture.bin";
    }
    *picture_path = path;
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const uint8_t flags = data[0];
    size_t info_size = size_t(data[1] | data[2] << 8);
    data += 3;
    size -= 3;
    if (info_size > size) info_size = size;
    g_info = data;
    g_info_size = info_size;
    g_pixels = data + info_size;
    g_pixel_size = size - info_size;
    g_fail = (flags & 2) != 0;

    PluginExports exports;
    exports.get_plugin_info = info;
    exports.is_supported = supported;
    exports.get_picture_info = (flags & 1) ? picture_info : nullptr;
    exports.get_picture = picture;
    plugin_native_register(u"fuzz.spi", exports);

    std::u16string path;
    const std::u16string folder = setup_folder(&path);
    const int blocks_before = plugin_native_live_blocks();
    PluginContext record;
    init_codec_context(&record, 0);
    record.in_memory = (flags & 4) ? 0 : 1;
    LoadedImage* image = read_plugin_image(path, folder, &record);
    if (image) {
        const BitmapInfoHeader& h = image->info;
        if (h.width < 1 || h.width > kPluginMaxSide || h.height < 1 || h.height > kPluginMaxSide)
            __builtin_trap();
        // Touch every row byte the image claims to have.
        const int64_t bytes = stride_for_depth(h.width, h.bit_count) * h.height;
        volatile uint8_t sink = 0;
        for (int64_t i = 0; i < bytes; i += 4093) sink = sink + image->pixels[i];
        if (bytes > 0) sink = sink + image->pixels[bytes - 1];
        free_loaded_image(image);
    }
    plugin_release_handles(&record);
    if (plugin_native_live_blocks() != blocks_before || plugin_native_loaded_modules() != 0) __builtin_trap();
    return 0;
}
