#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/pixel_memory.h"
#include "codecs/win/codec_error_box.h"
#include "common/win/message_box.h"
#include "loading/codec_set.h"

namespace {

struct Box {
    std::wstring text, caption;
    UINT style;
};
std::vector<Box> g_boxes;

int record_box(HWND, const wchar_t* text, const wchar_t* caption, UINT style) {
    g_boxes.push_back({text, caption, style});
    return IDOK;
}

DWORD handle_count() {
    using Fn = BOOL(WINAPI*)(HANDLE, PDWORD);
    auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetProcessHandleCount")));
    DWORD count = 0;
    if (fn) fn(GetCurrentProcess(), &count);
    return count;
}

TEST(CodecErrorBox, ShowsCodes1To24AndNothingElse) {
    MessageBoxHook old = set_message_box_hook(record_box);
    g_boxes.clear();
    CodecContext c;
    for (int code : {0, 25, -3}) {
        c.error = code;
        show_codec_error(nullptr, &c);
    }
    EXPECT_TRUE(g_boxes.empty());
    c.error = 4;
    show_codec_error(nullptr, &c);
    c.error = 24;
    show_codec_error(nullptr, &c);
    set_message_box_hook(old);
    ASSERT_EQ(g_boxes.size(), 2u);
    EXPECT_EQ(g_boxes[0].text, L"ファイルから読み取りに失敗しました。");
    EXPECT_EQ(g_boxes[0].caption, L"Error");
    EXPECT_EQ(g_boxes[0].style, static_cast<UINT>(MB_ICONERROR | MB_SETFOREGROUND));
    EXPECT_EQ(g_boxes[1].text, L"ファイルへの保存に失敗しました。(zlib)");
}

TEST(CodecContextSetWin, CreateAndDestroyLeakNoHandleOrGdiObject) {
    // Warm up once so that lazily loaded system state does not count as a leak.
    ASSERT_TRUE(create_codec_contexts());
    destroy_codec_contexts();
    const DWORD handles = handle_count();
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(create_codec_contexts());
        EXPECT_NE(g_codecs.memory_dc, 0);
        EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(g_codecs.memory_dc)),
                  static_cast<DWORD>(OBJ_MEMDC));
        destroy_codec_contexts();
    }
    EXPECT_EQ(handle_count(), handles);
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdi);
}

TEST(CodecContextSetWin, FailedStartupShowsTheMemoryBox) {
    MessageBoxHook old = set_message_box_hook(record_box);
    g_boxes.clear();
    MemoryDcFactory old_factory = set_memory_dc_factory([]() -> OsHandle { return 0; });
    EXPECT_FALSE(create_codec_contexts());
    set_memory_dc_factory(old_factory);
    set_message_box_hook(old);
    destroy_codec_contexts();
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].caption, L"Error");
    EXPECT_EQ(g_boxes[0].style & MB_ICONERROR, static_cast<UINT>(MB_ICONERROR));
}

TEST(PixelMemoryWin, DibSectionModeMakesARealSection) {
    CodecContext c;
    init_codec_context(&c, 0);
    c.in_memory = 0;
    set_dib_info_header(&c, 5, 3, 8, 0, 0);
    c.loaded.palette[1] = {10, 20, 30, 0};
    ASSERT_TRUE(allocate_loaded_rows(&c, 8 * 3));
    DIBSECTION ds = {};
    ASSERT_EQ(GetObjectW(reinterpret_cast<HGDIOBJ>(c.loaded.bitmap), sizeof ds, &ds),
              static_cast<int>(sizeof ds));
    EXPECT_EQ(ds.dsBm.bmBits, c.loaded.pixels);
    EXPECT_EQ(ds.dsBmih.biWidth, 5);
    EXPECT_EQ(ds.dsBmih.biBitCount, 8);
    free_loaded_image(&c.loaded);
    c.in_memory = 1;
    ASSERT_TRUE(allocate_loaded_rows(&c, 8 * 3));
    MEMORY_BASIC_INFORMATION info = {};
    ASSERT_NE(VirtualQuery(c.loaded.pixels, &info, sizeof info), 0u);
    EXPECT_EQ(info.State, static_cast<DWORD>(MEM_COMMIT));
    free_loaded_image(&c.loaded);
}

// A released block may serve the next request of about its size; whichever block a request
// gets, it reads as zeros, like fresh memory, and holds what the request asked for.
TEST(PixelMemoryWin, EveryBlockReadsAsZerosWhateverWasReleasedBefore) {
    struct Case {
        const char* what;
        int64_t released, requested;
    } const cases[] = {
        {"the same size again", 600000, 600000},
        {"a little smaller", 600000, 500000},
        {"much smaller", 600000, 1000},
        {"larger", 600000, 700000},
        {"above the kept size", 12 << 20, 12 << 20},
        {"empty", 4096, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        uint8_t* old = alloc_pixels(c.released);
        ASSERT_NE(old, nullptr);
        std::memset(old, 0xA5, static_cast<size_t>(c.released));
        free_pixels(old);
        uint8_t* block = alloc_pixels(c.requested);
        ASSERT_NE(block, nullptr);
        const size_t n = static_cast<size_t>(c.requested > 0 ? c.requested : 1);
        MEMORY_BASIC_INFORMATION info = {};
        ASSERT_EQ(VirtualQuery(block, &info, sizeof info), sizeof info);
        EXPECT_EQ(info.State, static_cast<DWORD>(MEM_COMMIT));
        EXPECT_GE(info.RegionSize, n);
        EXPECT_EQ(std::count(block, block + n, 0), static_cast<std::ptrdiff_t>(n));
        free_pixels(block);
    }
}

}  // namespace
