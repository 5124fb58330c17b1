// In-process plug-ins for the native loader with the behaviour of the Windows test plug-ins
// (tests/plugins): raw.spi, off128.spi and fail.spi.
#pragma once
#ifndef _WIN32

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "loading/native/plugin_native.h"
#include "loading/plugin.h"

namespace fake_plugins {

// Counts GetPicture calls of every fake, so tests can tell that no plug-in was asked.
inline int& picture_calls() {
    static int calls = 0;
    return calls;
}

inline std::vector<uint8_t> file_bytes(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline uint32_t le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

// The same behaviour as the Windows test plug-ins, one per template argument.
template <char M3, char M4, int kOffset, bool kFails>
struct Fake {
    static bool magic(const uint8_t* p) { return p[0] == 'P' && p[1] == 'X' && p[2] == M3 && p[3] == M4; }
    static int32_t info(int32_t n, char* buffer, int32_t length) {
        static const char* const texts[] = {"00IN", "fake", "*.pxr;*.JPG;;*.PXR", "Raw", "*.XYZ",
                                            "Xyz",  nullptr};
        for (int i = 0; texts[i]; ++i) {
            if (i == n) {
                std::strncpy(buffer, texts[i], size_t(length));
                return int32_t(std::strlen(texts[i]));
            }
        }
        return 0;
    }
    static int32_t supported(const char*, uintptr_t data) {
        return magic(reinterpret_cast<const uint8_t*>(data));
    }
    static int32_t picture_info(const char* name, intptr_t offset, uint32_t, uint8_t* record) {
        if (offset != kOffset) return 2;
        const std::vector<uint8_t> d = file_bytes(name);
        if (d.size() < size_t(offset) + 24) return 1;
        std::memcpy(record + 8, &d[size_t(offset) + 4], 8);
        std::memcpy(record + kPictureInfoDepthOffset, &d[size_t(offset) + 20], 2);
        const uint32_t text = uint32_t(plugin_native_global_alloc(16));
        std::memcpy(record + kPictureInfoTextOffset, &text, 4);
        return 0;
    }
    static int32_t picture(const char* name, intptr_t offset, uint32_t, OsHandle* info_out,
                           OsHandle* pixels_out, PluginProgressFn progress, intptr_t) {
        ++picture_calls();
        if (offset != kOffset || progress(0, 1, 0) != 0) return 2;
        const std::vector<uint8_t> d = file_bytes(name);
        if (d.size() < size_t(offset) + 24 || !magic(&d[size_t(offset)])) return 1;
        const uint8_t* p = &d[size_t(offset)];
        const uint32_t width = le32(p + 4);
        const int32_t height = int32_t(le32(p + 8));
        const uint16_t bits = uint16_t(p[12] | p[13] << 8);
        const uint16_t entries = uint16_t(p[14] | p[15] << 8);
        const int32_t adjust = int32_t(le32(p + 16));
        const uint16_t flags = uint16_t(p[22] | p[23] << 8);
        std::vector<uint8_t> info(40 + 4 * entries);
        auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&info[at], &v, 4); };
        put32(0, 40);
        put32(4, width);
        put32(8, uint32_t(height));
        info[12] = 1;
        info[14] = uint8_t(bits);
        put32(16, flags & 1);
        put32(32, entries);
        std::memcpy(&info[40], p + 24, 4 * entries);
        const int64_t stride = ((int64_t(width) * bits + 31) / 32) * 4;
        int64_t bytes = stride * std::abs(int64_t(height)) + adjust;
        if (bytes < 1) bytes = 1;
        std::vector<uint8_t> pixels(size_t(bytes), 0);
        const size_t start = size_t(offset) + 24 + 4 * entries;
        const size_t available = d.size() > start ? d.size() - start : 0;
        std::copy_n(d.begin() + long(start), std::min(available, pixels.size()), pixels.begin());
        *info_out = plugin_native_alloc(info.data(), info.size());
        *pixels_out = plugin_native_alloc(pixels.data(), pixels.size());
        return kFails ? 1 : 0;
    }
    static PluginExports exports() {
        PluginExports e;
        e.get_plugin_info = info;
        e.is_supported = supported;
        e.get_picture_info = picture_info;
        e.get_picture = picture;
        return e;
    }
};

}  // namespace fake_plugins

inline void register_fake_test_plugins() {
    using fake_plugins::Fake;
    plugin_native_register(u"raw.spi", Fake<'R', 'W', 0, false>::exports());
    plugin_native_register(u"off128.spi", Fake<'2', '8', 128, false>::exports());
    plugin_native_register(u"fail.spi", Fake<'F', 'L', 0, true>::exports());
}

#endif
