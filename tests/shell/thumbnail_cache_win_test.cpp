// The thumbnail cache on real files under Wine, with the real JPEG codec.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <process.h>
// clang-format on
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/pixel_memory.h"
#include "common/stride.h"
#include "common/win/process_lock.h"
#include "loading/browser_load.h"
#include "loading/codec_set.h"
#include "shell/shell_state.h"
#include "shell/thumbnail_cache.h"
#include "tests/shell/unique_scratch.h"
#include "tests/support/test_support.h"

namespace {

constexpr FILETIME kListedTime = {0x11223344, 0x01D00000};
// The time the folder listing reports for the files made at kListedTime.
constexpr FileTime kListed = {kListedTime.dwLowDateTime, kListedTime.dwHighDateTime};

std::u16string make_folder(const std::u16string& path) {
    CreateDirectoryW(wide(path), nullptr);
    return path;
}

void make_file(const std::u16string& path, FILETIME time) {
    HANDLE h =
        CreateFileW(wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    WriteFile(h, "image", 5, &n, nullptr);
    SetFileTime(h, nullptr, nullptr, &time);
    CloseHandle(h);
}

// A view of `names` in `folder`, each with a flat-coloured thumbnail of width x height and the
// files on disk listed at kListedTime.
class TestView {
public:
    TestView(const std::u16string& folder, const std::vector<std::u16string>& names, int32_t width,
             int32_t height)
        : entries_(names.size()) {
        bits_.reserve(names.size());
        for (size_t i = 0; i < names.size(); ++i) {
            FileEntry& e = entries_[i];
            names[i].copy(e.name, names[i].size());
            e.load_info.last_write = {kListedTime.dwLowDateTime, kListedTime.dwHighDateTime};
            e.load_info.width = 1000 + static_cast<int32_t>(i);
            e.load_info.height = 700;
            e.load_info.file_size = 5;
            e.load_info.format = 3;
            e.load_info.bit_depth = 24;
            e.load_info.comment_count = 1;
            e.load_info.text_count = 2;
            e.load_info.interlaced = 3;
            e.load_info.alpha = 4;
            e.thumbnail_width = width;
            e.thumbnail_height = height;
            const size_t bytes = static_cast<size_t>(row_stride_bytes(width, 24) * height);
            bits_.emplace_back(bytes);
            const size_t stride = static_cast<size_t>(row_stride_bytes(width, 24));
            for (size_t row = 0; row < static_cast<size_t>(height); ++row) {
                for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
                    uint8_t* pixel = bits_.back().data() + row * stride + 3 * x;
                    pixel[0] = 40;  // blue
                    pixel[1] = 120;
                    pixel[2] = 200;
                }
            }
            e.thumbnail_bits = bits_.back().data();
            make_file(folder + u"\\" + names[i], kListedTime);
        }
        view_.entries = entries_.data();
        view_.count = static_cast<int32_t>(entries_.size());
    }
    ViewState& view() { return view_; }
    FileEntry& entry(size_t i) { return entries_[i]; }

private:
    std::vector<FileEntry> entries_;
    std::vector<std::vector<uint8_t>> bits_;
    ViewState view_ = {};
};

class ThumbnailCacheWin : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(create_codec_contexts());
        saved_options_ = g_browser_options;
        g_browser_options.box_width = 144;
        g_browser_options.box_height = 108;
        lstrcpyW(saved_cache_, g_shell.cache_folder);
        root_ =
            make_folder(unique_scratch_path(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        cache_ = root_ + u"\\cache\\";
        lstrcpyW(g_shell.cache_folder, wide(cache_));
        pics_ = make_folder(root_ + u"\\pics");
    }
    void TearDown() override {
        release_load_result();
        g_browser_options = saved_options_;
        lstrcpyW(g_shell.cache_folder, saved_cache_);
        destroy_codec_contexts();
    }

    bool exists(const std::u16string& path) {
        return GetFileAttributesW(wide(path)) != INVALID_FILE_ATTRIBUTES;
    }

    std::u16string root_, cache_, pics_;
    BrowserOptions saved_options_;
    wchar_t saved_cache_[MAX_PATH] = {};
};

TEST_F(ThumbnailCacheWin, WrittenFolderGivesBackItsThumbnailsWhileTheFilesAreUnchanged) {
    TestView files(pics_, {u"a.jpg", u"b.png"}, 30, 20);
    files.entry(1).thumbnail_bits = nullptr;  // not loaded: left out
    ASSERT_EQ(write_cache_folder(pics_, files.view()), CacheStatus::ok);
    EXPECT_TRUE(exists(cache_ + u"index.dat"));
    EXPECT_TRUE(exists(cache_ + u"10000000.dat"));
    EXPECT_FALSE(exists(cache_ + u"10000000.dat.tmp"));
    EXPECT_FALSE(exists(cache_ + u"index.dat.tmp"));

    const CacheFolderFound found = find_cache_folder(pics_);
    EXPECT_TRUE(found.found);
    EXPECT_EQ(found.path, cache_ + u"10000000.dat");

    CacheFolderData data;
    ASSERT_TRUE(read_cache_folder(pics_, &data));
    ASSERT_EQ(data.entries.size(), 1u);
    EXPECT_FALSE(take_thumbnail_from_cache(u"b.png", data, kListed));

    ASSERT_TRUE(take_thumbnail_from_cache(u"a.jpg", data, kListed));
    const LoadResult& r = g_load_result;
    EXPECT_EQ(r.time_low, kListedTime.dwLowDateTime);
    EXPECT_EQ(r.time_high, kListedTime.dwHighDateTime);
    EXPECT_EQ(r.full_width, 1000);
    EXPECT_EQ(r.full_height, 700);
    EXPECT_EQ(r.file_size, 5u);
    EXPECT_EQ(r.format, 3);
    EXPECT_EQ(r.source_bits, 24);
    EXPECT_EQ(r.w1, 1);
    EXPECT_EQ(r.w2, 2);
    EXPECT_EQ(r.w3, 3);
    EXPECT_EQ(r.w4, 4);
    EXPECT_EQ(r.current_width, 30);
    EXPECT_EQ(r.current_height, 20);
    ASSERT_NE(r.image, nullptr);
    ASSERT_NE(r.image->pixels, nullptr);
    EXPECT_EQ(r.image->info.bit_count, 24);
    EXPECT_NEAR(r.image->pixels[0], 40, 4);
    EXPECT_NEAR(r.image->pixels[1], 120, 4);
    EXPECT_NEAR(r.image->pixels[2], 200, 4);
    release_load_result();

    // A file listed with another time in either word must be decoded again; so must a name
    // the cache holds in another case.
    EXPECT_FALSE(take_thumbnail_from_cache(u"a.jpg", data, FileTime{kListed.low + 1, kListed.high}));
    EXPECT_FALSE(take_thumbnail_from_cache(u"a.jpg", data, FileTime{kListed.low, kListed.high + 1}));
    EXPECT_FALSE(take_thumbnail_from_cache(u"A.jpg", data, kListed));
    EXPECT_EQ(r.image, nullptr);
}

TEST_F(ThumbnailCacheWin, CachedThumbnailIsDecodedAtTheScaleOfTheCurrentBox) {
    TestView files(pics_, {u"big.jpg"}, 144, 108);
    ASSERT_EQ(write_cache_folder(pics_, files.view()), CacheStatus::ok);
    g_browser_options.box_width = 36;
    g_browser_options.box_height = 27;
    CacheFolderData data;
    ASSERT_TRUE(read_cache_folder(pics_, &data));
    EXPECT_TRUE(data.where.box.larger);
    EXPECT_FALSE(data.where.box.smaller);
    ASSERT_TRUE(take_thumbnail_from_cache(u"big.jpg", data, kListed));
    EXPECT_EQ(g_load_result.current_width, 36);
    EXPECT_EQ(g_load_result.current_height, 27);
    EXPECT_EQ(g_load_result.full_width, 1000);
}

TEST_F(ThumbnailCacheWin, DamagedIndexIsReplacedAndDamagedDataFileIsNoCache) {
    TestView files(pics_, {u"a.jpg"}, 8, 8);
    ASSERT_EQ(write_cache_folder(pics_, files.view()), CacheStatus::ok);

    // Data file: cut inside the thumbnail's JPEG bytes.
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(read_bytes(cache_ + u"10000000.dat", &bytes));
    bytes.resize(bytes.size() - 1);
    ASSERT_TRUE(write_bytes(cache_ + u"10000000.dat", bytes));
    CacheFolderData data;
    EXPECT_FALSE(read_cache_folder(pics_, &data));
    EXPECT_FALSE(take_thumbnail_from_cache(u"a.jpg", data, kListed));

    // Index: a foreign file in its place; the next write starts a new index.
    const std::u16string other = make_folder(root_ + u"\\other");
    TestView more(other, {u"c.jpg"}, 8, 8);
    ASSERT_EQ(write_cache_folder(other, more.view()), CacheStatus::ok);
    ASSERT_TRUE(write_bytes(cache_ + u"index.dat", std::vector<uint8_t>(100, 0xEE)));
    EXPECT_FALSE(find_cache_folder(pics_).found);
    EXPECT_FALSE(read_cache_folder(other, &data));
    ASSERT_EQ(write_cache_folder(pics_, files.view()), CacheStatus::ok);
    ASSERT_TRUE(read_cache_folder(pics_, &data));
    EXPECT_EQ(data.where.path, cache_ + u"10000000.dat");
    EXPECT_TRUE(take_thumbnail_from_cache(u"a.jpg", data, kListed));
    EXPECT_FALSE(find_cache_folder(other).found);
}

TEST_F(ThumbnailCacheWin, CompactionForgetsVanishedFoldersAndDeletesTheirFiles) {
    const std::u16string gone = make_folder(root_ + u"\\gone");
    TestView kept_view(pics_, {u"a.jpg"}, 8, 8);
    TestView gone_view(gone, {u"b.jpg"}, 8, 8);
    ASSERT_EQ(write_cache_folder(gone, gone_view.view()), CacheStatus::ok);
    ASSERT_EQ(write_cache_folder(pics_, kept_view.view()), CacheStatus::ok);
    std::vector<uint8_t> before;
    ASSERT_TRUE(read_bytes(cache_ + u"index.dat", &before));
    DeleteFileW(wide(gone + u"\\b.jpg"));
    ASSERT_TRUE(RemoveDirectoryW(wide(gone)));

    EXPECT_EQ(compact_cache_index(), CacheStatus::ok);
    std::vector<uint8_t> after;
    ASSERT_TRUE(read_bytes(cache_ + u"index.dat", &after));
    EXPECT_EQ(after.size(), before.size() - kCacheIndexRecordBytes);
    EXPECT_FALSE(exists(cache_ + u"10000000.dat"));
    EXPECT_TRUE(exists(cache_ + u"10000001.dat"));
    EXPECT_FALSE(find_cache_folder(gone).found);
    CacheFolderData data;
    ASSERT_TRUE(read_cache_folder(pics_, &data));
    EXPECT_TRUE(take_thumbnail_from_cache(u"a.jpg", data, kListed));
}

TEST_F(ThumbnailCacheWin, FailedWriteKeepsTheOldCache) {
    TestView files(pics_, {u"a.jpg"}, 8, 8);
    ASSERT_EQ(write_cache_folder(pics_, files.view()), CacheStatus::ok);
    std::vector<uint8_t> index;
    ASSERT_TRUE(read_bytes(cache_ + u"index.dat", &index));
    // The new data file cannot be made beside the old one: another program holds its name.
    const std::u16string blocked = cache_ + u"10000000.dat.tmp";
    HANDLE held = CreateFileW(wide(blocked), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    g_browser_options.box_width = 60;
    g_browser_options.box_height = 40;
    EXPECT_EQ(write_cache_folder(pics_, files.view()), CacheStatus::data_not_written);
    CloseHandle(held);
    DeleteFileW(wide(blocked));
    std::vector<uint8_t> index_after;
    ASSERT_TRUE(read_bytes(cache_ + u"index.dat", &index_after));
    EXPECT_EQ(index_after, index);
    CacheFolderData data;
    ASSERT_TRUE(read_cache_folder(pics_, &data));
    EXPECT_TRUE(take_thumbnail_from_cache(u"a.jpg", data, kListed));
}

// The blue of the first pixel of `name`'s stored thumbnail, decoded.
int stored_blue(const std::u16string& name, const CacheFolderData& data) {
    if (!take_thumbnail_from_cache(name, data, kListed) || !g_load_result.image) return -1;
    const int blue = g_load_result.image->pixels[0];
    release_load_result();
    return blue;
}

TEST_F(ThumbnailCacheWin, RewriteKeepsTheStoredJpegOfThumbnailsTakenFromTheCache) {
    TestView files(pics_, {u"a.jpg", u"b.jpg", u"c.jpg", u"d.jpg", u"e.jpg"}, 30, 20);
    ASSERT_EQ(write_cache_folder(pics_, files.view()), CacheStatus::ok);
    CacheFolderData previous;
    ASSERT_TRUE(read_cache_folder(pics_, &previous));

    // The pixels now differ from the stored ones, so that the rewritten file tells a kept JPEG
    // (blue 40) from one encoded anew (blue 220).
    for (size_t i = 0; i < 5; ++i) {
        FileEntry& e = files.entry(i);
        const size_t stride = static_cast<size_t>(row_stride_bytes(e.thumbnail_width, 24));
        for (size_t row = 0; row < static_cast<size_t>(e.thumbnail_height); ++row)
            for (size_t x = 0; x < static_cast<size_t>(e.thumbnail_width); ++x)
                e.thumbnail_bits[row * stride + 3 * x] = 220;
    }
    files.entry(1).load_info.last_write.low += 1;  // the file changed since
    // Fitted to another box since.
    std::vector<uint8_t> refitted(static_cast<size_t>(row_stride_bytes(15, 24) * 10), 220);
    files.entry(2).thumbnail_bits = refitted.data();
    files.entry(2).thumbnail_width = 15;
    files.entry(2).thumbnail_height = 10;
    files.entry(4).load_info.file_size += 1;
    struct Case {
        const char16_t* name;
        bool from_cache;
        int blue;
    };
    const Case cases[] = {
        {u"a.jpg", true, 40},    // unchanged: the stored bytes
        {u"b.jpg", true, 220},   // another time: encoded
        {u"c.jpg", true, 220},   // another size: encoded
        {u"d.jpg", false, 220},  // decoded from its file: encoded
        {u"e.jpg", true, 220},   // another load-info word: encoded
    };
    CacheDataFileBuilder builder;
    for (size_t i = 0; i < 5; ++i) builder.add(files.entry(i), cases[i].from_cache, &previous);
    EXPECT_EQ(builder.count(), 5u);
    EXPECT_EQ(builder.kept(), 1u);
    ASSERT_EQ(builder.write(pics_), CacheStatus::ok);

    CacheFolderData data;
    ASSERT_TRUE(read_cache_folder(pics_, &data));
    ASSERT_EQ(data.entries.size(), 5u);
    EXPECT_EQ(data.entries[0].header.data_size, previous.entries[0].header.data_size);
    EXPECT_EQ(0, std::memcmp(data.entries[0].data, previous.entries[0].data,
                             static_cast<size_t>(previous.entries[0].header.data_size)));
    // The time check of the reader uses the listed time; the changed entry is stored with its own.
    data.entries[1].header.load_info.last_write.low -= 1;
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(static_cast<int>(i));
        EXPECT_NEAR(stored_blue(cases[i].name, data), cases[i].blue, 6);
    }
    EXPECT_EQ(data.entries[2].header.thumbnail_width, 15);

    // Without the file it came from, a thumbnail marked as cached is encoded.
    CacheDataFileBuilder alone;
    alone.add(files.entry(0), true, nullptr);
    EXPECT_EQ(alone.kept(), 0u);
    EXPECT_EQ(alone.count(), 1u);
}

// The first entry's JPEG in a data file's bytes: an end-of-image marker in the middle of its
// scan, as a flipped bit can make one. The stream still decodes, with grey blocks.
void damage_first_scan(std::vector<uint8_t>* file) {
    const size_t data = kCacheFileHeaderBytes + kCacheEntryHeaderBytes;
    const size_t size = (*file)[data - 4] | ((*file)[data - 3] << 8) | ((*file)[data - 2] << 16);
    size_t scan = data + 2;
    while (scan + 4 < data + size && (*file)[scan + 1] != 0xDA)
        scan += 2 + (((*file)[scan + 2] << 8) | (*file)[scan + 3]);
    scan += 2 + (((*file)[scan + 2] << 8) | (*file)[scan + 3]);
    const size_t middle = (scan + data + size - 2) / 2;
    (*file)[middle] = 0xFF;
    (*file)[middle + 1] = 0xD9;
}

TEST_F(ThumbnailCacheWin, CachedThumbnailThatDecodesWithWarningsIsNotTaken) {
    TestView files(pics_, {u"a.jpg", u"b.jpg"}, 64, 48);
    ASSERT_EQ(write_cache_folder(pics_, files.view()), CacheStatus::ok);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(read_bytes(cache_ + u"10000000.dat", &bytes));
    damage_first_scan(&bytes);
    ASSERT_TRUE(write_bytes(cache_ + u"10000000.dat", bytes));
    CacheFolderData data;
    ASSERT_TRUE(read_cache_folder(pics_, &data));
    EXPECT_FALSE(take_thumbnail_from_cache(u"a.jpg", data, kListed));
    EXPECT_EQ(g_load_result.image, nullptr);
    EXPECT_TRUE(take_thumbnail_from_cache(u"b.jpg", data, kListed));
    release_load_result();
}

// Each damage left the cache off for good before: every folder then reported a failed write.
TEST_F(ThumbnailCacheWin, DamagedCacheFilesOnDiskAreSetAsideAndTheCacheWorksAgain) {
    struct Case {
        const char* name;
        void (*damage)(const std::u16string& cache);
        const char16_t* set_aside;  // beside the cache folder's own path without its backslash
    };
    const Case cases[] = {
        {"count over the record limit",
         [](const std::u16string& cache) {
             std::vector<uint8_t> index;
             ASSERT_TRUE(read_bytes(cache + u"index.dat", &index));
             const uint32_t count = kMaxCacheIndexRecords + 1;
             for (int i = 0; i < 4; ++i)
                 index[4 + static_cast<size_t>(i)] = static_cast<uint8_t>(count >> (8 * i));
             ASSERT_TRUE(write_bytes(cache + u"index.dat", index));
         },
         u"\\index.dat.bad"},
        {"index over the size bound",
         [](const std::u16string& cache) {
             // Extended without writing: the file system keeps it sparse.
             HANDLE h = CreateFileW(wide(cache + u"index.dat"), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
             ASSERT_NE(h, INVALID_HANDLE_VALUE);
             LARGE_INTEGER at;
             at.QuadPart = static_cast<LONGLONG>(kCacheIndexFileLimit + 1);
             EXPECT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN));
             EXPECT_TRUE(SetEndOfFile(h));
             CloseHandle(h);
         },
         u"\\index.dat.bad"},
        {"index is a folder",
         [](const std::u16string& cache) {
             ASSERT_TRUE(DeleteFileW(wide(cache + u"index.dat")));
             ASSERT_TRUE(CreateDirectoryW(wide(cache + u"index.dat"), nullptr));
         },
         u"\\index.dat.bad"},
        {"data file is a folder",
         [](const std::u16string& cache) {
             ASSERT_TRUE(DeleteFileW(wide(cache + u"10000000.dat")));
             ASSERT_TRUE(CreateDirectoryW(wide(cache + u"10000000.dat"), nullptr));
         },
         u"\\10000000.dat.bad"},
        {"cache path is a file",
         [](const std::u16string& cache) {
             ASSERT_TRUE(DeleteFileW(wide(cache + u"index.dat")));
             ASSERT_TRUE(DeleteFileW(wide(cache + u"10000000.dat")));
             const std::u16string folder = cache.substr(0, cache.size() - 1);
             ASSERT_TRUE(RemoveDirectoryW(wide(folder)));
             ASSERT_TRUE(write_bytes(folder, {1, 2, 3}));
         },
         u".bad"},
    };
    TestView files(pics_, {u"a.jpg"}, 8, 8);
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::u16string cache =
            root_ + u"\\cache" + std::u16string(1, static_cast<char16_t>(u'a' + n++));
        lstrcpyW(g_shell.cache_folder, wide(cache + u"\\"));
        ASSERT_EQ(write_cache_folder(pics_, files.view()), CacheStatus::ok);
        c.damage(cache + u"\\");
        CacheFolderData data;
        EXPECT_FALSE(read_cache_folder(pics_, &data));
        ASSERT_EQ(write_cache_folder(pics_, files.view()), CacheStatus::ok);
        EXPECT_TRUE(exists(cache + c.set_aside));
        ASSERT_TRUE(read_cache_folder(pics_, &data));
        EXPECT_TRUE(take_thumbnail_from_cache(u"a.jpg", data, kListed));
        release_load_result();
        EXPECT_EQ(compact_cache_index(), CacheStatus::ok);
        EXPECT_FALSE(exists(cache + u"\\index.dat.tmp"));
        EXPECT_FALSE(exists(cache + u"\\10000000.dat.tmp"));
    }
}

TEST_F(ThumbnailCacheWin, OpeningTheCacheRemovesTheTemporaryFilesOfAnInterruptedWrite) {
    TestView files(pics_, {u"a.jpg"}, 8, 8);
    ASSERT_EQ(write_cache_folder(pics_, files.view()), CacheStatus::ok);
    ASSERT_TRUE(write_bytes(cache_ + u"index.dat.tmp", {1, 2}));
    ASSERT_TRUE(write_bytes(cache_ + u"10000000.dat.tmp", {3}));
    ASSERT_TRUE(write_bytes(cache_ + u"readme.txt", {4}));
    open_thumbnail_cache();
    EXPECT_FALSE(exists(cache_ + u"index.dat.tmp"));
    EXPECT_FALSE(exists(cache_ + u"10000000.dat.tmp"));
    EXPECT_TRUE(exists(cache_ + u"readme.txt"));
    CacheFolderData data;
    ASSERT_TRUE(read_cache_folder(pics_, &data));
    EXPECT_TRUE(take_thumbnail_from_cache(u"a.jpg", data, kListed));
}

// The bound the reader applies is the one the writer stops at; the product's bound is too large
// to write in a test, so a smaller one stands in for it on both sides.
TEST_F(ThumbnailCacheWin, WriterStopsAtTheDataFileBoundAndTheReaderTakesAllItWrote) {
    TestView files(pics_, {u"a.jpg", u"b.jpg", u"c.jpg", u"d.jpg"}, 30, 20);
    CacheDataFileBuilder probe;
    probe.add(files.entry(0), false, nullptr);
    probe.add(files.entry(1), false, nullptr);
    const uint64_t bound = probe.size();  // exactly two thumbnails of these flat pixels

    CacheDataFileBuilder builder(0, bound);
    for (size_t i = 0; i < 4; ++i) builder.add(files.entry(i), false, nullptr);
    EXPECT_EQ(builder.count(), 2u);
    EXPECT_EQ(builder.omitted(), 2u);
    EXPECT_EQ(builder.size(), bound);
    ASSERT_EQ(builder.write(pics_), CacheStatus::ok);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(read_bytes(cache_ + u"10000000.dat", &bytes));
    EXPECT_EQ(bytes.size(), bound);
    CacheFolderData data;
    ASSERT_TRUE(cache_read_folder(cache_file_ops(), cache_, pics_, 144, 108, &data, bound));
    EXPECT_EQ(data.entries.size(), 2u);
    EXPECT_TRUE(take_thumbnail_from_cache(u"b.jpg", data, kListed));
    release_load_result();
    EXPECT_FALSE(take_thumbnail_from_cache(u"c.jpg", data, kListed));
    // One byte less and the second thumbnail no longer fits.
    CacheDataFileBuilder smaller(0, bound - 1);
    for (size_t i = 0; i < 4; ++i) smaller.add(files.entry(i), false, nullptr);
    EXPECT_EQ(smaller.count(), 1u);
    EXPECT_LE(smaller.size(), bound - 1);
}

HANDLE g_lock_taken = nullptr;
volatile LONG g_lock_released = 0;

unsigned __stdcall hold_lock_briefly(void*) {
    process_lock_enter();
    SetEvent(g_lock_taken);
    Sleep(200);
    InterlockedExchange(&g_lock_released, 1);
    process_lock_leave();
    return 0;
}

TEST_F(ThumbnailCacheWin, CompactionWaitsForTheProcessLock) {
    const bool made = !process_lock_exists();
    process_lock_init();
    g_lock_taken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, hold_lock_briefly, nullptr, 0, nullptr));
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(g_lock_taken, 5000), WAIT_OBJECT_0);
    (void)compact_cache_index();
    EXPECT_EQ(InterlockedCompareExchange(&g_lock_released, 0, 0), 1);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    CloseHandle(g_lock_taken);
    if (made) process_lock_delete();
}

}  // namespace
