// The folder refresh on real files under Wine: the real listing, loaders, JPEG codec and
// thumbnail cache, and the serving of a view's messages between two files.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
// clang-format on
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "codecs/jpeg/jpeg.h"
#include "common/stride.h"
#include "common/win/app_messages.h"
#include "common/win/message_box.h"
#include "common/win/process_lock.h"
#include "loading/browser_load.h"
#include "loading/codec_set.h"
#include "shell/main_window.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "shell/startup.h"
#include "shell/thumbnail_build.h"
#include "shell/thumbnail_cache.h"
#include "shell/thumbnail_view.h"
#include "shell/thumbnail_view_parts.h"
#include "tests/shell/settings_file_builder.h"
#include "tests/shell/stand_in_subsystems.h"
#include "tests/shell/unique_scratch.h"
#include "tests/support/test_support.h"

namespace {

// A width x height picture of smooth gradients, bottom-up 24-bit rows.
std::vector<uint8_t> gradient(int32_t width, int32_t height) {
    const size_t stride = static_cast<size_t>(row_stride_bytes(width, 24));
    std::vector<uint8_t> rows(stride * static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = rows.data() + static_cast<size_t>(y) * stride + 3 * static_cast<size_t>(x);
            p[0] = static_cast<uint8_t>(x * 255 / width);
            p[1] = static_cast<uint8_t>(y * 255 / height);
            p[2] = 128;
        }
    }
    return rows;
}

std::vector<uint8_t> encode_jpeg(int32_t width, int32_t height) {
    std::vector<uint8_t> rows = gradient(width, height);
    std::vector<uint8_t> jpeg(rows.size() + 65536);
    JpegWriterContext* w = g_codecs.jpeg_writer;
    jpeg_writer_reset(w);
    jpeg_set_save_options(w, 90, 0, 0, 2);
    w->in_memory = 1;
    w->conversion.width = width;
    w->conversion.height = height;
    w->conversion.source_bits = 24;
    uint32_t count = static_cast<uint32_t>(jpeg.size());
    const bool ok = write_jpeg_image_to_memory(w, jpeg.data(), &count, rows.data());
    jpeg_writer_release(w);
    jpeg.resize(ok ? count : 0);
    return jpeg;
}

void put_le(std::vector<uint8_t>* out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::vector<uint8_t> encode_bmp(int32_t width, int32_t height) {
    const std::vector<uint8_t> rows = gradient(width, height);
    std::vector<uint8_t> out = {'B', 'M'};
    put_le(&out, static_cast<uint32_t>(54 + rows.size()), 4);
    put_le(&out, 0, 4);
    put_le(&out, 54, 4);
    put_le(&out, 40, 4);
    put_le(&out, static_cast<uint32_t>(width), 4);
    put_le(&out, static_cast<uint32_t>(height), 4);
    put_le(&out, 1, 2);
    put_le(&out, 24, 2);
    for (int i = 0; i < 6; ++i) put_le(&out, 0, 4);
    out.insert(out.end(), rows.begin(), rows.end());
    return out;
}

int g_decodes = 0;
bool counting_decoder(const std::u16string& path) {
    ++g_decodes;
    return decode_thumbnail_file(path);
}

// The entries' thumbnail and display widths as the first decode of a refresh finds them.
struct ShownBeforeDecoding {
    bool taken = false;
    int32_t thumbnail_width[2] = {};
    int32_t display_width[2] = {};
};
ShownBeforeDecoding g_shown;
bool noting_decoder(const std::u16string& path) {
    const ViewState& v = view_state(0);
    if (!g_shown.taken && v.entries && v.count >= 2) {
        g_shown.taken = true;
        for (int i = 0; i < 2; ++i) {
            g_shown.thumbnail_width[i] = v.entries[i].thumbnail_width;
            g_shown.display_width[i] = v.entries[i].display_width;
        }
    }
    return counting_decoder(path);
}

// What a rewrite would change of a file.
struct FileStamp {
    uint64_t size = 0;
    uint64_t written = 0;
    bool operator==(const FileStamp& o) const { return size == o.size && written == o.written; }
};
FileStamp stamp_of(const std::u16string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    FileStamp s;
    if (!GetFileAttributesExW(wide(path), GetFileExInfoStandard, &data)) return s;
    s.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    s.written = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                data.ftLastWriteTime.dwLowDateTime;
    return s;
}

// The system's cache file operations, counting the files written.
class CountingOps : public CacheFileOps {
public:
    explicit CountingOps(CacheFileOps& inner) : inner_(inner) {}
    int writes = 0;
    bool read_file(const std::u16string& path, uint64_t limit, std::vector<uint8_t>* bytes) override {
        return inner_.read_file(path, limit, bytes);
    }
    bool file_size(const std::u16string& path, uint64_t* size) override {
        return inner_.file_size(path, size);
    }
    bool read_pieces(const std::u16string& path, size_t piece_bytes,
                     const std::function<bool(const uint8_t*, size_t)>& piece) override {
        return inner_.read_pieces(path, piece_bytes, piece);
    }
    bool set_aside(const std::u16string& path) override { return inner_.set_aside(path); }
    std::vector<std::u16string> file_names(const std::u16string& folder) override {
        return inner_.file_names(folder);
    }
    bool file_exists(const std::u16string& path) override { return inner_.file_exists(path); }
    bool is_directory(const std::u16string& path) override { return inner_.is_directory(path); }
    bool create_directory(const std::u16string& path) override { return inner_.create_directory(path); }
    bool write_new_file(const std::u16string& path, const uint8_t* data, size_t size) override {
        ++writes;
        return inner_.write_new_file(path, data, size);
    }
    bool replace_file(const std::u16string& source, const std::u16string& target) override {
        return inner_.replace_file(source, target);
    }
    void delete_file(const std::u16string& path) override { inner_.delete_file(path); }

private:
    CacheFileOps& inner_;
};

class ThumbnailBuildWin : public ::testing::Test {
protected:
    void SetUp() override {
        made_lock_ = !process_lock_exists();
        if (made_lock_) process_lock_init();
        ASSERT_TRUE(create_codec_contexts());
        saved_options_ = g_browser_options;
        saved_settings_ = g_shell.main_settings;
        g_browser_options.box_width = 144;
        g_browser_options.box_height = 108;
        g_browser_options.plugin_folder.clear();
        g_shell.main_settings.cache_enabled = 1;
        g_shell.main_settings.hidden_mask = FILE_ATTRIBUTE_HIDDEN;
        g_shell.filter_index = 0;
        lstrcpyW(saved_cache_, g_shell.cache_folder);
        root_ = unique_scratch_path(::testing::UnitTest::GetInstance()->current_test_info()->name());
        CreateDirectoryW(wide(root_), nullptr);
        lstrcpyW(g_shell.cache_folder, wide(root_ + u"\\cache\\"));
        pics_ = root_ + u"\\pics";
        CreateDirectoryW(wide(pics_), nullptr);
        counting_ = new CountingOps(cache_file_ops());
        set_cache_file_ops(counting_);
        set_thumbnail_decoder(counting_decoder);
        g_decodes = 0;
    }
    void TearDown() override {
        empty_view();
        set_thumbnail_decoder(nullptr);
        set_cache_file_ops(nullptr);
        delete counting_;
        release_load_result();
        g_browser_options = saved_options_;
        g_shell.main_settings = saved_settings_;
        lstrcpyW(g_shell.cache_folder, saved_cache_);
        destroy_codec_contexts();
        if (made_lock_) process_lock_delete();
    }

    void write(const char16_t* name, const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(write_bytes(pics_ + u"\\" + name, bytes));
    }

    // Valid and damaged files of several formats, a file of no image type and a hidden image.
    void make_fixture() {
        write(u"a.jpg", encode_jpeg(300, 200));
        write(u"B.bmp", encode_bmp(40, 30));
        write(u"c.jpg", {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1});
        write(u"d.png", {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H'});
        write(u"e.bmp", {'B', 'M', 1, 2, 3});
        write(u"f.jpg", encode_jpeg(64, 640));
        write(u"g.txt", {'h', 'i'});
        write(u"h.jpg", encode_jpeg(16, 16));
        SetFileAttributesW(wide(pics_ + u"\\h.jpg"), FILE_ATTRIBUTE_HIDDEN);
    }

    // The view is published empty with the fixture's folder, as clear and a new folder leave it.
    void open_view() {
        empty_view();
        ViewState& v = view_state(0);
        std::memcpy(v.folder, pics_.c_str(), (pics_.size() + 1) * sizeof(char16_t));
    }
    void empty_view() {
        ViewState& v = view_state(0);
        if (v.entries) {
            // The whole array: the failed tail was never filled, so its rows are null.
            for (int32_t i = 0; i < v.count; ++i) free_thumbnail_bits(v.entries[i].thumbnail_bits);
            VirtualFree(v.entries, 0, MEM_RELEASE);
        }
        v = ViewState{};
    }

    std::vector<std::u16string> entry_names() {
        std::vector<std::u16string> out;
        const ViewState& v = view_state(0);
        for (int32_t i = 0; i < v.count; ++i) out.emplace_back(v.entries[i].name);
        return out;
    }

    bool made_lock_ = false;
    std::u16string root_, pics_;
    CountingOps* counting_ = nullptr;
    BrowserOptions saved_options_;
    MainSettings saved_settings_;
    wchar_t saved_cache_[MAX_PATH] = {};
};

TEST_F(ThumbnailBuildWin, RefreshKeepsTheReadableFilesInOrderAndTheSecondDecodesNothing) {
    make_fixture();
    open_view();
    EXPECT_EQ(refresh_view_1(), 0);
    const std::vector<std::u16string> want = {u"a.jpg", u"B.bmp", u"f.jpg"};
    EXPECT_EQ(entry_names(), want);
    EXPECT_EQ(g_decodes, 6);  // every listed file, the damaged ones too
    EXPECT_EQ(view_state(0).busy, 0);
    EXPECT_EQ(g_shell.view_busy[0], 0);
    const ViewState& v = view_state(0);
    struct Fit {
        int32_t width, height, thumb_width, thumb_height, format;
    };
    const Fit fits[] = {{300, 200, 144, 96, 3}, {40, 30, 40, 30, 1}, {64, 640, 10, 108, 3}};
    for (int i = 0; i < 3; ++i) {
        const FileEntry& e = v.entries[i];
        EXPECT_EQ(e.load_info.width, fits[i].width) << i;
        EXPECT_EQ(e.load_info.height, fits[i].height) << i;
        EXPECT_EQ(e.thumbnail_width, fits[i].thumb_width) << i;
        EXPECT_EQ(e.thumbnail_height, fits[i].thumb_height) << i;
        EXPECT_EQ(e.display_width, fits[i].thumb_width) << i;
        EXPECT_EQ(e.load_info.format, fits[i].format) << i;
        EXPECT_EQ(e.thumbnail_header.bit_count, 24) << i;
        EXPECT_NE(e.thumbnail_bits, nullptr) << i;
        EXPECT_EQ(e.from_cache, 0) << i;
    }
    // The gradient survives decoding and fitting: blue grows to the right.
    const FileEntry& a = v.entries[0];
    EXPECT_LT(a.thumbnail_bits[0], a.thumbnail_bits[3 * 140]);
    EXPECT_GT(counting_->writes, 0);

    const std::u16string index = root_ + u"\\cache\\index.dat";
    const std::u16string data = root_ + u"\\cache\\10000000.dat";
    const FileStamp index_before = stamp_of(index);
    const FileStamp data_before = stamp_of(data);
    ASSERT_GT(data_before.size, 8u);
    Sleep(20);  // so that a rewrite would show in the last-write times

    open_view();
    g_decodes = 0;
    counting_->writes = 0;
    EXPECT_EQ(refresh_view_1(), 0);
    EXPECT_EQ(entry_names(), want);
    // Only the damaged files, which the cache cannot hold, are decoded again.
    EXPECT_EQ(g_decodes, 3);
    EXPECT_EQ(counting_->writes, 0);
    EXPECT_TRUE(stamp_of(index) == index_before);
    EXPECT_TRUE(stamp_of(data) == data_before);
    EXPECT_EQ(view_state(0).entries[0].from_cache, 1);
    EXPECT_EQ(view_state(0).entries[0].thumbnail_width, 144);
}

TEST_F(ThumbnailBuildWin, ChangedBoxRewritesTheCache) {
    write(u"a.jpg", encode_jpeg(300, 200));
    write(u"b.jpg", encode_jpeg(120, 240));
    open_view();
    ASSERT_EQ(refresh_view_1(), 0);

    struct Case {
        const char* what;
        int32_t box_width, box_height;
        int decodes;
        int32_t a_width;  // stored thumbnail of a.jpg afterwards
        int32_t a_display;
    };
    const Case cases[] = {
        // Shown from the cache, shrunk while decoding, and written with the smaller box.
        {"smaller box", 72, 54, 0, 72, 72},
        // The cached thumbnails are fitted by size first, then decoded again in a second pass.
        {"larger box", 200, 150, 2, 200, 200},
        {"same box again", 200, 150, 0, 200, 200},
    };
    set_thumbnail_decoder(noting_decoder);
    int32_t before_width = 144;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_browser_options.box_width = c.box_width;
        g_browser_options.box_height = c.box_height;
        open_view();
        g_decodes = 0;
        g_shown = ShownBeforeDecoding{};
        counting_->writes = 0;
        ASSERT_EQ(refresh_view_1(), 0);
        ASSERT_EQ(view_state(0).count, 2);
        EXPECT_EQ(g_decodes, c.decodes);
        EXPECT_EQ(counting_->writes > 0, c.decodes > 0 || c.box_width == 72);
        EXPECT_EQ(view_state(0).entries[0].thumbnail_width, c.a_width);
        EXPECT_EQ(view_state(0).entries[0].display_width, c.a_display);
        if (c.decodes > 0) {
            // Before the second pass decoded anything, both cells showed the cache's smaller
            // thumbnails stretched to the new display size.
            ASSERT_TRUE(g_shown.taken);
            EXPECT_EQ(g_shown.thumbnail_width[0], before_width);
            EXPECT_EQ(g_shown.display_width[0], c.a_display);
            EXPECT_LT(g_shown.thumbnail_width[1], g_shown.display_width[1]);
        }
        // The data file holds the thumbnails at the size now shown, and the record the box.
        CacheFolderData cache;
        ASSERT_TRUE(read_cache_folder(pics_, &cache));
        EXPECT_FALSE(cache.where.box.larger);
        EXPECT_FALSE(cache.where.box.smaller);
        ASSERT_EQ(cache.entries.size(), 2u);
        EXPECT_EQ(cache.entries[0].header.thumbnail_width, c.a_width);
        before_width = c.a_width;
    }
}

TEST_F(ThumbnailBuildWin, ChangedFileIsDecodedAndTheOthersKeepTheirStoredJpeg) {
    write(u"a.jpg", encode_jpeg(300, 200));
    write(u"b.jpg", encode_jpeg(200, 300));
    write(u"c.jpg", encode_jpeg(90, 90));
    open_view();
    ASSERT_EQ(refresh_view_1(), 0);
    CacheFolderData before;
    ASSERT_TRUE(read_cache_folder(pics_, &before));
    ASSERT_EQ(before.entries.size(), 3u);

    write(u"b.jpg", encode_jpeg(120, 60));
    HANDLE h = CreateFileW(wide(pics_ + u"\\b.jpg"), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const FILETIME later = {0x12345678, 0x01DA0000};
    SetFileTime(h, nullptr, nullptr, &later);
    CloseHandle(h);
    open_view();
    g_decodes = 0;
    counting_->writes = 0;
    ASSERT_EQ(refresh_view_1(), 0);
    EXPECT_EQ(g_decodes, 1);
    EXPECT_GT(counting_->writes, 0);

    CacheFolderData after;
    ASSERT_TRUE(read_cache_folder(pics_, &after));
    ASSERT_EQ(after.entries.size(), 3u);
    // Decoding a JPEG and encoding it again would not give the same bytes.
    for (size_t i : {size_t{0}, size_t{2}}) {
        SCOPED_TRACE(static_cast<int>(i));
        const CacheEntry& was = before.entries[i];
        const CacheEntry& now = after.entries[i];
        ASSERT_EQ(now.header.data_size, was.header.data_size);
        EXPECT_EQ(0, std::memcmp(now.data, was.data, static_cast<size_t>(was.header.data_size)));
    }
    EXPECT_EQ(after.entries[1].header.load_info.last_write.low, later.dwLowDateTime);
    EXPECT_EQ(after.entries[1].header.load_info.width, 120);
    EXPECT_EQ(after.entries[1].header.thumbnail_width, 120);
}

TEST_F(ThumbnailBuildWin, DamagedCachedThumbnailIsDecodedFromItsFileAndStoredAnew) {
    write(u"a.jpg", encode_jpeg(300, 200));
    write(u"b.jpg", encode_jpeg(200, 300));
    open_view();
    ASSERT_EQ(refresh_view_1(), 0);
    const std::u16string data_path = root_ + u"\\cache\\10000000.dat";
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(read_bytes(data_path, &bytes));
    // An end-of-image marker in the middle of a.jpg's stored scan: it still decodes, grey below.
    const size_t data = kCacheFileHeaderBytes + kCacheEntryHeaderBytes;
    const size_t size = bytes[data - 4] | (bytes[data - 3] << 8);
    size_t scan = data + 2;
    while (bytes[scan + 1] != 0xDA) scan += 2 + ((bytes[scan + 2] << 8) | bytes[scan + 3]);
    scan += 2 + ((bytes[scan + 2] << 8) | bytes[scan + 3]);
    const size_t middle = (scan + data + size - 2) / 2;
    bytes[middle] = 0xFF;
    bytes[middle + 1] = 0xD9;
    ASSERT_TRUE(write_bytes(data_path, bytes));
    const std::vector<uint8_t> damaged(bytes.begin() + static_cast<int64_t>(data),
                                       bytes.begin() + static_cast<int64_t>(data + size));

    open_view();
    g_decodes = 0;
    counting_->writes = 0;
    ASSERT_EQ(refresh_view_1(), 0);
    EXPECT_EQ(g_decodes, 1);
    EXPECT_GT(counting_->writes, 0);
    // The gradient is whole again: no grey lower half.
    const FileEntry& a = view_state(0).entries[0];
    EXPECT_LT(a.thumbnail_bits[0], a.thumbnail_bits[3 * 140]);
    CacheFolderData after;
    ASSERT_TRUE(read_cache_folder(pics_, &after));
    ASSERT_EQ(after.entries.size(), 2u);
    const std::vector<uint8_t> stored(after.entries[0].data,
                                      after.entries[0].data + after.entries[0].header.data_size);
    EXPECT_NE(stored, damaged);
    open_view();
    g_decodes = 0;
    ASSERT_EQ(refresh_view_1(), 0);
    EXPECT_EQ(g_decodes, 0);
}

TEST_F(ThumbnailBuildWin, UseCacheOffNeitherReadsNorWrites) {
    write(u"a.jpg", encode_jpeg(30, 20));
    open_view();
    ASSERT_EQ(refresh_view_1(), 0);
    g_shell.main_settings.cache_enabled = 0;
    open_view();
    g_decodes = 0;
    counting_->writes = 0;
    ASSERT_EQ(refresh_view_1(), 0);
    EXPECT_EQ(g_decodes, 1);
    EXPECT_EQ(counting_->writes, 0);
    EXPECT_EQ(view_state(0).entries[0].from_cache, 0);
}

// A frame with one child standing for a view's windows; the child records what reached it.
std::vector<UINT> g_received;

LRESULT CALLBACK recording_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == WM_LBUTTONDOWN || message == WM_KEYDOWN || message == kAppMessage)
        g_received.push_back(message == kAppMessage ? static_cast<UINT>(wparam) : message);
    return DefWindowProcW(window, message, wparam, lparam);
}

TEST(ThumbnailBuildPump, ServesTheViewsMessagesAndStopsAtClearOrClose) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = recording_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"thumbnail_build_pump_test";
    RegisterClassW(&wc);
    HWND frame = CreateWindowExW(0, wc.lpszClassName, nullptr, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                 nullptr, wc.hInstance, nullptr);
    HWND cell = CreateWindowExW(0, wc.lpszClassName, nullptr, WS_CHILD, 0, 0, 10, 10, frame, nullptr,
                                wc.hInstance, nullptr);
    HWND other = CreateWindowExW(0, wc.lpszClassName, nullptr, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                 nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(frame && cell && other);

    struct Case {
        const char* what;
        WPARAM stop;  // 0: none posted
        int result;
    };
    for (const Case c : {Case{"nothing of interest", 0, 0}, Case{"clear", kViewClear, kViewClear},
                         Case{"close", kViewClose, kViewClose}}) {
        SCOPED_TRACE(c.what);
        g_received.clear();
        PostMessageW(cell, WM_LBUTTONDOWN, 0, 0);             // served at once
        PostMessageW(cell, WM_KEYDOWN, 'Q', 0);               // dropped
        PostMessageW(frame, kAppMessage, kViewRefresh, 0);    // a second refresh is dropped
        PostMessageW(frame, kAppMessage, kViewTransform, 1);  // dropped
        PostMessageW(frame, kAppMessage, kViewRepaint, 0);    // served by the view
        if (c.stop) PostMessageW(frame, kAppMessage, c.stop, 0);
        PostMessageW(cell, WM_LBUTTONDOWN, 0, 0);   // waits behind a stop
        PostMessageW(other, WM_LBUTTONDOWN, 0, 0);  // not the view's
        PostMessageW(cell, kAppMessage + 1, 0, 0);  // outside the range: left queued
        EXPECT_EQ(pump_view_messages_for(0, frame), c.result);
        const std::vector<UINT> served =
            c.stop ? std::vector<UINT>{WM_LBUTTONDOWN} : std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDOWN};
        EXPECT_EQ(g_received, served);

        // What the pump left: the other window's click and the timer, plus the click after a stop.
        MSG msg;
        int left_for_cell = 0;
        int left_for_other = 0;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.hwnd == other && msg.message == WM_LBUTTONDOWN) ++left_for_other;
            if (msg.hwnd == cell) ++left_for_cell;
        }
        EXPECT_EQ(left_for_other, 1);
        EXPECT_EQ(left_for_cell, c.stop ? 2 : 1);
    }

    // Files dropped during a build are not taken, but their drop is finished: its memory freed.
    HGLOBAL drop = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + 4 * sizeof(wchar_t));
    ASSERT_NE(drop, nullptr);
    auto* files = static_cast<DROPFILES*>(GlobalLock(drop));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    GlobalUnlock(drop);
    PostMessageW(cell, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    EXPECT_EQ(pump_view_messages_for(0, frame), 0);
    EXPECT_EQ(GlobalSize(drop), 0u);
    DestroyWindow(other);
    DestroyWindow(frame);
}

// The real program with its view threads: a refresh started as the user starts it, and
// stopped as the user stops it.
bool pump_until(const std::function<bool()>& done, DWORD timeout_ms = 20000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeout_ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

int answer_box(HWND, const wchar_t*, const wchar_t*, UINT) {
    return IDOK;
}

volatile LONG g_view_decodes = 0;
int g_stop_at = 0;
std::vector<bool> g_scroll_saw_lock;
WNDPROC g_base_proc = nullptr;

// Clicks status part 1 ("clear") of view 1 while the view decodes file g_stop_at, and asks for a
// scroll while it decodes the first, to be served between two files.
bool clicking_decoder(const std::u16string& path) {
    const LONG n = InterlockedIncrement(&g_view_decodes);
    HWND frame = view_frame_window(0);
    if (n == 1) PostMessageW(view_base_window(0), WM_VSCROLL, SB_LINEDOWN, 0);
    if (n == g_stop_at) {
        NMMOUSE click = {};
        click.hdr.hwndFrom = GetDlgItem(frame, 502);
        click.hdr.idFrom = 502;
        click.hdr.code = NM_CLICK;
        click.dwItemSpec = 1;
        SendMessageW(frame, WM_NOTIFY, 502, reinterpret_cast<LPARAM>(&click));
    }
    return decode_thumbnail_file(path);
}

LRESULT CALLBACK lock_checking_base_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_VSCROLL && LOWORD(wparam) == SB_LINEDOWN)
        g_scroll_saw_lock.push_back(process_lock_held());
    return CallWindowProcW(g_base_proc, window, message, wparam, lparam);
}

class ThumbnailBuildInView : public ::testing::Test {
protected:
    void SetUp() override {
        previous_hook_ = set_message_box_hook(answer_box);
        root_ = unique_scratch_path("build-in-view");
        CreateDirectoryW(wide(root_), nullptr);
        lstrcpynW(g_shell.appdata_folder, wide(root_), MAX_PATH);
        g_shell.instance = GetModuleHandleW(nullptr);
        g_shell.os_class = detect_os_version();
        if (!g_shell.ui_font.valid()) create_ui_font();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        stand_in::install();
        const std::u16string settings = root_ + u"\\Pexaron";
        CreateDirectoryW(wide(settings), nullptr);
        SettingsFileBuilder b;
        b.integer(1, 0).integer(2, 0).integer(3, 900).integer(4, 700).integer(16, 1);
        ASSERT_TRUE(write_bytes(settings + u"\\Pexaron.ini", b.bytes()));
        ASSERT_TRUE(start_single_instance(SW_SHOWNORMAL, L"Pexaron.exe"));
        ASSERT_TRUE(pump_until([] { return startup_tail_done() && view_base_window(0) != nullptr; }));
        g_base_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
            view_base_window(0), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(lock_checking_base_proc)));
    }
    void TearDown() override {
        set_thumbnail_decoder(nullptr);
        if (g_shell.main_window) {
            PostMessageW(g_shell.main_window, WM_CLOSE, 0, 0);
            pump_until([] { return g_shell.main_window == nullptr; }, 15000);
        }
        view_state(0).folder[0] = 0;
        set_message_box_hook(previous_hook_);
        g_shell.appdata_folder[0] = 0;
        CoUninitialize();
    }

    std::u16string root_;
    MessageBoxHook previous_hook_ = nullptr;
};

TEST_F(ThumbnailBuildInView, ClearingDuringTheBuildStopsWithinOneFileAndEmptiesTheView) {
    const std::u16string pics = root_ + u"\\pics";
    CreateDirectoryW(wide(pics), nullptr);
    std::vector<uint8_t> jpeg;
    {
        // The program's own writer, shared with the view threads.
        ProcessLockGuard hold;
        jpeg = encode_jpeg(96, 64);
    }
    ASSERT_FALSE(jpeg.empty());
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(write_bytes(pics + u"\\p" + char16_t(u'0' + i) + u".jpg", jpeg));

    g_view_decodes = 0;
    g_stop_at = 3;
    g_scroll_saw_lock.clear();
    set_thumbnail_decoder(clicking_decoder);
    open_folder_in_view(0, wide(pics));
    ASSERT_TRUE(pump_until([] { return g_view_decodes >= g_stop_at && view_state(0).busy == kViewIdle; }));
    pump_until([] { return false; }, 300);
    EXPECT_EQ(g_view_decodes, g_stop_at);  // no file after the one being decoded at the click
    EXPECT_EQ(view_state(0).count, 0);
    EXPECT_EQ(view_state(0).entries, nullptr);
    EXPECT_EQ(g_shell.view_busy[0], 0);
    EXPECT_EQ(g_scroll_saw_lock, std::vector<bool>{false});

    // Without a click the same folder builds whole.
    g_view_decodes = 0;
    g_stop_at = 0;
    open_folder_in_view(0, wide(pics));
    ASSERT_TRUE(pump_until([] { return view_state(0).count == 8 && view_state(0).busy == kViewIdle; }));
}

}  // namespace
