#include "shell/core/thumbnail_cache_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace {

const std::u16string kCache = u"C:\\set\\cache\\";
const std::u16string kIndex = kCache + u"index.dat";

// A file system in memory whose steps can be made to fail.
class FakeFiles : public CacheFileOps {
public:
    std::map<std::u16string, std::vector<uint8_t>> files;
    std::set<std::u16string> folders{kCache};
    std::set<std::u16string> refuse_writes;    // paths whose creation fails
    std::set<std::u16string> refuse_replaces;  // targets that cannot be replaced
    // Files of this size that exist but are too large to be read.
    std::map<std::u16string, uint64_t> oversized;
    enum class Garble { none, first_byte, last_byte, one_short };
    Garble garble_writes = Garble::none;  // what lands on disk differs from what was sent
    bool refuse_folders = false;
    int whole_temp_reads = 0;  // temporary files read back in one piece
    size_t largest_piece = 0;  // of the reads in pieces
    std::vector<std::u16string> set_aside_paths;

    bool read_file(const std::u16string& path, uint64_t limit, std::vector<uint8_t>* bytes) override {
        if (ends_with_tmp(path)) ++whole_temp_reads;
        auto it = files.find(path);
        if (it == files.end() || it->second.size() > limit) return false;
        *bytes = it->second;
        return true;
    }
    bool file_size(const std::u16string& path, uint64_t* size) override {
        if (oversized.count(path)) {
            *size = oversized[path];
            return true;
        }
        auto it = files.find(path);
        if (it == files.end()) return false;
        *size = it->second.size();
        return true;
    }
    bool read_pieces(const std::u16string& path, size_t piece_bytes,
                     const std::function<bool(const uint8_t*, size_t)>& piece) override {
        auto it = files.find(path);
        if (it == files.end()) return false;
        const std::vector<uint8_t>& f = it->second;
        largest_piece = std::max(largest_piece, piece_bytes);
        for (size_t at = 0; at < f.size(); at += piece_bytes)
            if (!piece(f.data() + at, std::min(piece_bytes, f.size() - at))) return false;
        return true;
    }
    bool file_exists(const std::u16string& path) override {
        return files.count(path) || folders.count(path) || oversized.count(path);
    }
    bool is_directory(const std::u16string& path) override { return folders.count(path) != 0; }
    bool create_directory(const std::u16string& path) override {
        if (refuse_folders) return false;
        folders.insert(path);
        return true;
    }
    bool write_new_file(const std::u16string& path, const uint8_t* data, size_t size) override {
        if (refuse_writes.count(path)) return false;
        std::vector<uint8_t>& f = files[path];
        f.assign(data, data + size);
        if (garble_writes == Garble::first_byte && size) f[0] ^= 1;
        if (garble_writes == Garble::last_byte && size) f.back() ^= 0x80;
        if (garble_writes == Garble::one_short && size) f.pop_back();
        return true;
    }
    bool replace_file(const std::u16string& source, const std::u16string& target) override {
        if (refuse_replaces.count(target) || !files.count(source) || folders.count(target)) return false;
        files[target] = files[source];
        files.erase(source);
        return true;
    }
    void delete_file(const std::u16string& path) override { files.erase(path); }
    bool set_aside(const std::u16string& path) override {
        const std::u16string aside = path + u".bad";
        set_aside_paths.push_back(path);
        if (folders.erase(path)) {
            folders.insert(aside);
        } else if (files.count(path)) {
            files[aside] = files[path];
            files.erase(path);
        } else if (oversized.count(path)) {
            oversized[aside] = oversized[path];
            oversized.erase(path);
        } else {
            return false;
        }
        return true;
    }
    std::vector<std::u16string> file_names(const std::u16string& folder) override {
        std::vector<std::u16string> names;
        for (const auto& f : files)
            if (f.first.size() > folder.size() && f.first.compare(0, folder.size(), folder) == 0 &&
                f.first.find(u'\\', folder.size()) == std::u16string::npos)
                names.push_back(f.first.substr(folder.size()));
        return names;
    }

    static bool ends_with_tmp(const std::u16string& path) {
        return path.size() > 4 && path.compare(path.size() - 4, 4, u".tmp") == 0;
    }
    bool has_temp_files() const {
        for (const auto& f : files)
            if (ends_with_tmp(f.first)) return true;
        return false;
    }
};

std::vector<uint8_t> data_file(const std::vector<std::u16string>& names, uint32_t time_low = 7) {
    std::vector<uint8_t> out(kCacheFileHeaderBytes);
    const uint8_t jpeg[] = {0xFF, 0xD8, 1, 2, 3, 0xFF, 0xD9};
    for (const std::u16string& name : names) {
        CacheEntryHeader h;
        h.name = name;
        h.load_info.last_write = {time_low, 9};
        h.load_info.width = 640;
        h.load_info.height = 480;
        h.thumbnail_width = 144;
        h.thumbnail_height = 108;
        EXPECT_EQ(append_cache_entry(h, jpeg, sizeof jpeg, &out), CacheRecordError::none);
    }
    build_cache_file_header(static_cast<uint32_t>(names.size()), out.data());
    return out;
}

std::vector<uint8_t> index_of(const std::vector<CacheIndexRecord>& records) {
    std::vector<uint8_t> out;
    EXPECT_EQ(build_cache_index(records, &out), CacheRecordError::none);
    return out;
}

std::vector<CacheIndexRecord> records_on_disk(FakeFiles& fs) {
    std::vector<CacheIndexRecord> records;
    EXPECT_EQ(parse_cache_index(fs.files[kIndex].data(), fs.files[kIndex].size(), &records),
              CacheRecordError::none);
    return records;
}

TEST(ThumbnailCacheFiles, WrittenFolderIsFoundAndReadBack) {
    FakeFiles fs;
    fs.folders.clear();  // the first write makes the cache folder
    ASSERT_EQ(cache_write_folder(fs, kCache, u"C:\\pics", 144, 108, data_file({u"a.jpg", u"b.png"})),
              CacheStatus::ok);
    EXPECT_TRUE(fs.folders.count(kCache));
    EXPECT_TRUE(fs.files.count(kCache + u"10000000.dat"));
    EXPECT_FALSE(fs.has_temp_files());

    CacheFolderData data;
    ASSERT_TRUE(cache_read_folder(fs, kCache, u"C:\\pics", 144, 108, &data));
    EXPECT_EQ(data.where.path, kCache + u"10000000.dat");
    EXPECT_FALSE(data.where.box.larger);
    EXPECT_FALSE(data.where.box.smaller);
    ASSERT_EQ(data.entries.size(), 2u);
    const CacheEntry* b = cache_find_entry(data, u"b.png");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->header.load_info.width, 640);
    EXPECT_EQ(b->data[0], 0xFF);
    EXPECT_EQ(cache_find_entry(data, u"B.png"), nullptr);
    EXPECT_FALSE(cache_read_folder(fs, kCache, u"C:\\PICS", 144, 108, &data));
}

TEST(ThumbnailCacheFiles, LookupFindsEachNamesFirstEntryExactly) {
    FakeFiles fs;
    fs.files[kIndex] = index_of({{u"C:\\p", 10000000, 144, 108}});
    std::vector<uint8_t> file = data_file({u"a.jpg", u"b.jpg"}, 1);
    const std::vector<uint8_t> later = data_file({u"a.jpg"}, 2);  // a second entry of the same name
    file.insert(file.end(), later.begin() + kCacheFileHeaderBytes, later.end());
    build_cache_file_header(3, file.data());
    fs.files[kCache + u"10000000.dat"] = file;
    CacheFolderData data;
    ASSERT_TRUE(cache_read_folder(fs, kCache, u"C:\\p", 144, 108, &data));
    ASSERT_EQ(data.entries.size(), 3u);
    struct Case {
        std::u16string name;
        const CacheEntry* want;
    };
    const Case cases[] = {{u"a.jpg", &data.entries[0]},
                          {u"b.jpg", &data.entries[1]},
                          {u"A.jpg", nullptr},
                          {u"a.jp", nullptr},
                          {u"", nullptr}};
    for (const Case& c : cases) EXPECT_EQ(cache_find_entry(data, c.name), c.want);
    EXPECT_EQ(cache_find_entry(data, u"a.jpg")->header.load_info.last_write.low, 1u);
    // A read that finds no cache forgets the last folder's names.
    EXPECT_FALSE(cache_read_folder(fs, kCache, u"C:\\q", 144, 108, &data));
    EXPECT_EQ(cache_find_entry(data, u"a.jpg"), nullptr);
}

TEST(ThumbnailCacheFiles, IdsAreTheSmallestFreeAndCaseMakesAnotherFolder) {
    FakeFiles fs;
    fs.files[kIndex] = index_of({{u"C:\\x", 10000000, 1, 1}, {u"C:\\y", 10000002, 1, 1}});
    std::u16string path;
    ASSERT_EQ(cache_register_folder(fs, kCache, u"C:\\z", 144, 108, &path), CacheStatus::ok);
    EXPECT_EQ(path, kCache + u"10000001.dat");
    ASSERT_EQ(cache_register_folder(fs, kCache, u"C:\\Z", 144, 108, &path), CacheStatus::ok);
    EXPECT_EQ(path, kCache + u"10000003.dat");
    // Registering again keeps the id and takes the new box.
    ASSERT_EQ(cache_register_folder(fs, kCache, u"C:\\z", 50, 60, &path), CacheStatus::ok);
    EXPECT_EQ(path, kCache + u"10000001.dat");
    const std::vector<CacheIndexRecord> records = records_on_disk(fs);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[2].box_width, 50);
    EXPECT_EQ(records[2].box_height, 60);
}

TEST(ThumbnailCacheFiles, BoxFlagsCompareTheRecordedBoxWithTheCurrentOne) {
    struct Case {
        int32_t width, height;
        bool larger, smaller;
    };
    const Case cases[] = {
        {144, 108, false, false}, {100, 108, true, false}, {144, 200, false, true}, {100, 200, true, true}};
    FakeFiles fs;
    fs.files[kIndex] = index_of({{u"C:\\p", 10000000, 144, 108}});
    fs.files[kCache + u"10000000.dat"] = data_file({});
    for (const Case& c : cases) {
        const CacheFolderFound found = cache_find_folder(fs, kCache, u"C:\\p", c.width, c.height);
        EXPECT_TRUE(found.found);
        EXPECT_EQ(found.box.larger, c.larger) << c.width << "x" << c.height;
        EXPECT_EQ(found.box.smaller, c.smaller) << c.width << "x" << c.height;
    }
    // Without its data file the folder is not cached and the flags stay clear.
    fs.files.erase(kCache + u"10000000.dat");
    const CacheFolderFound missing = cache_find_folder(fs, kCache, u"C:\\p", 100, 200);
    EXPECT_FALSE(missing.found);
    EXPECT_EQ(missing.path, kCache + u"10000000.dat");
    EXPECT_FALSE(missing.box.larger || missing.box.smaller);
}

TEST(ThumbnailCacheFiles, DamagedIndexIsNoCacheAndIsReplacedAtTheNextWrite) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> wrong_magic = index_of({{u"C:\\p", 10000005, 1, 1}});
    wrong_magic[2] = 0xCA;
    std::vector<uint8_t> truncated = index_of({{u"C:\\p", 10000005, 1, 1}});
    truncated.pop_back();
    std::vector<uint8_t> twice = index_of({{u"C:\\p", 10000005, 1, 1}, {u"C:\\q", 10000006, 1, 1}});
    twice[8 + 532 + 520] = 0x85;  // the second id becomes the first's: 10000005 is 0x00989685
    std::vector<uint8_t> unterminated = index_of({{u"C:\\p", 10000005, 1, 1}});
    for (size_t i = 8; i < 8 + 520; ++i) unterminated[i] = 'x';
    std::vector<uint8_t> negative = index_of({});
    negative[7] = 0x80;
    const Case cases[] = {
        {"empty", {}},           {"wrong magic", wrong_magic},          {"truncated", truncated},
        {"duplicate id", twice}, {"unterminated folder", unterminated}, {"negative count", negative}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFiles fs;
        fs.files[kIndex] = c.bytes;
        fs.files[kCache + u"10000005.dat"] = data_file({u"a.jpg"});
        CacheFolderData data;
        EXPECT_FALSE(cache_read_folder(fs, kCache, u"C:\\p", 1, 1, &data));
        EXPECT_TRUE(data.entries.empty());
        ASSERT_EQ(cache_write_folder(fs, kCache, u"C:\\p", 1, 1, data_file({u"b.jpg"})), CacheStatus::ok);
        const std::vector<CacheIndexRecord> records = records_on_disk(fs);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].id, kFirstCacheId);
        ASSERT_TRUE(cache_read_folder(fs, kCache, u"C:\\p", 1, 1, &data));
        EXPECT_NE(cache_find_entry(data, u"b.jpg"), nullptr);
    }
}

TEST(ThumbnailCacheFiles, IndexOverTheRecordLimitIsSetAsideAndANewOneStarts) {
    FakeFiles fs;
    std::vector<uint8_t> bytes = index_of({{u"C:\\p", 10000000, 1, 1}});
    const uint32_t count = kMaxCacheIndexRecords + 1;
    for (int i = 0; i < 4; ++i) bytes[4 + static_cast<size_t>(i)] = static_cast<uint8_t>(count >> (8 * i));
    fs.files[kIndex] = bytes;
    fs.files[kCache + u"10000000.dat"] = data_file({u"a.jpg"});
    EXPECT_FALSE(cache_find_folder(fs, kCache, u"C:\\p", 1, 1).found);
    // Compaction leaves a damaged index alone; the next write sets it aside.
    EXPECT_EQ(cache_compact_index(fs, kCache), CacheStatus::index_unusable);
    EXPECT_EQ(fs.files[kIndex], bytes);
    std::u16string path;
    ASSERT_EQ(cache_register_folder(fs, kCache, u"C:\\q", 1, 1, &path), CacheStatus::ok);
    EXPECT_EQ(path, kCache + u"10000000.dat");
    EXPECT_EQ(fs.files[kIndex + u".bad"], bytes);
    const std::vector<CacheIndexRecord> records = records_on_disk(fs);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].folder, u"C:\\q");
    ASSERT_EQ(cache_write_folder(fs, kCache, u"C:\\r", 1, 1, data_file({u"b.jpg"})), CacheStatus::ok);
    CacheFolderData data;
    ASSERT_TRUE(cache_read_folder(fs, kCache, u"C:\\r", 1, 1, &data));
    EXPECT_NE(cache_find_entry(data, u"b.jpg"), nullptr);
}

// Whatever one damaged file does to the cache, the next write puts it aside and the cache works
// again: a cache that stays off shows an error at every folder.
TEST(ThumbnailCacheFiles, DamagedCacheFilesAreSetAsideAndTheCacheWorksAgain) {
    struct Case {
        const char* name;
        void (*damage)(FakeFiles*);
        std::u16string set_aside;
    };
    const Case cases[] = {
        {"index over the size bound",
         [](FakeFiles* fs) {
             fs->files.erase(kIndex);
             fs->oversized[kIndex] = kCacheIndexFileLimit + 1;
         },
         kIndex},
        {"index is a folder",
         [](FakeFiles* fs) {
             fs->files.erase(kIndex);
             fs->folders.insert(kIndex);
         },
         kIndex},
        {"data file is a folder",
         [](FakeFiles* fs) {
             fs->files.erase(kCache + u"10000000.dat");
             fs->folders.insert(kCache + u"10000000.dat");
         },
         kCache + u"10000000.dat"},
        {"cache path is a file",
         [](FakeFiles* fs) {
             fs->files.clear();
             fs->folders.erase(kCache);
             fs->files[u"C:\\set\\cache"] = {1, 2, 3};
         },
         u"C:\\set\\cache"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFiles fs;
        ASSERT_EQ(cache_write_folder(fs, kCache, u"C:\\p", 1, 1, data_file({u"a.jpg"})), CacheStatus::ok);
        c.damage(&fs);
        CacheFolderData data;
        EXPECT_FALSE(cache_read_folder(fs, kCache, u"C:\\p", 1, 1, &data));
        ASSERT_EQ(cache_write_folder(fs, kCache, u"C:\\p", 1, 1, data_file({u"b.jpg"})), CacheStatus::ok);
        EXPECT_EQ(fs.set_aside_paths, std::vector<std::u16string>{c.set_aside});
        ASSERT_TRUE(cache_read_folder(fs, kCache, u"C:\\p", 1, 1, &data));
        EXPECT_NE(cache_find_entry(data, u"b.jpg"), nullptr);
        EXPECT_EQ(cache_compact_index(fs, kCache), CacheStatus::ok);
        EXPECT_FALSE(fs.has_temp_files());
    }
}

TEST(ThumbnailCacheFiles, WriterAndReaderShareTheDataFileBound) {
    const std::vector<uint8_t> file = data_file({u"a.jpg", u"b.jpg"});
    const uint64_t bound = file.size();
    struct Case {
        uint64_t file_bytes, jpeg_bytes;
        bool fits;
    };
    const uint64_t entry = kCacheEntryHeaderBytes + 7;
    const Case cases[] = {{bound - entry, 7, true},
                          {bound - entry + 1, 7, false},
                          {bound, 0, false},
                          {bound + 1, 0, false},
                          {8, UINT64_MAX - 100, false}};
    for (const Case& c : cases)
        EXPECT_EQ(cache_entry_fits(c.file_bytes, c.jpeg_bytes, bound), c.fits) << c.file_bytes;

    FakeFiles fs;
    // A file exactly at the bound is written and read back whole.
    ASSERT_EQ(cache_write_folder(fs, kCache, u"C:\\p", 1, 1, file, bound), CacheStatus::ok);
    CacheFolderData data;
    ASSERT_TRUE(cache_read_folder(fs, kCache, u"C:\\p", 1, 1, &data, bound));
    EXPECT_EQ(data.entries.size(), 2u);
    // One byte more is never written, and the file in place stays.
    std::vector<uint8_t> over = file;
    over.push_back(0);
    EXPECT_EQ(cache_write_folder(fs, kCache, u"C:\\p", 1, 1, over, bound), CacheStatus::data_not_written);
    EXPECT_EQ(fs.files[kCache + u"10000000.dat"], file);
    EXPECT_FALSE(fs.has_temp_files());
    // The reader refuses what the writer would not write.
    fs.files[kCache + u"10000000.dat"] = over;
    EXPECT_FALSE(cache_read_folder(fs, kCache, u"C:\\p", 1, 1, &data, bound));
    // The product bound is the default of both.
    fs.files[kCache + u"10000000.dat"] = file;
    ASSERT_TRUE(cache_read_folder(fs, kCache, u"C:\\p", 1, 1, &data));
    EXPECT_EQ(fs.whole_temp_reads, 0);
    EXPECT_GT(fs.largest_piece, 0u);
    EXPECT_LE(fs.largest_piece, kCacheCheckPieceBytes);
}

TEST(ThumbnailCacheFiles, StaleTemporaryFilesAreRemovedAndNothingElse) {
    FakeFiles fs;
    ASSERT_EQ(cache_write_folder(fs, kCache, u"C:\\p", 1, 1, data_file({u"a.jpg"})), CacheStatus::ok);
    fs.files[kIndex + u".tmp"] = {1};
    fs.files[kCache + u"10000000.dat.tmp"] = {2};
    fs.files[kCache + u"notes.txt"] = {3};
    fs.files[u"C:\\set\\other.tmp"] = {4};
    const std::vector<uint8_t> index = fs.files[kIndex];
    cache_remove_stale_temp_files(fs, kCache);
    EXPECT_FALSE(fs.files.count(kIndex + u".tmp"));
    EXPECT_FALSE(fs.files.count(kCache + u"10000000.dat.tmp"));
    EXPECT_TRUE(fs.files.count(kCache + u"notes.txt"));
    EXPECT_TRUE(fs.files.count(u"C:\\set\\other.tmp"));
    EXPECT_EQ(fs.files[kIndex], index);
    EXPECT_TRUE(fs.files.count(kCache + u"10000000.dat"));
}

TEST(ThumbnailCacheFiles, DamagedDataFileLeavesTheFolderUncached) {
    const std::vector<uint8_t> good = data_file({u"a.jpg", u"b.jpg"});
    std::vector<uint8_t> short_data = good;
    short_data.pop_back();
    std::vector<uint8_t> big_count = good;
    big_count[4] = 3;
    std::vector<uint8_t> wrong_magic = good;
    wrong_magic[0] = 1;
    std::vector<uint8_t> negative_size = good;
    negative_size[8 + 575] = 0x80;
    const std::vector<uint8_t> damaged[] = {{}, short_data, big_count, wrong_magic, negative_size};
    for (const std::vector<uint8_t>& bytes : damaged) {
        FakeFiles fs;
        fs.files[kIndex] = index_of({{u"C:\\p", 10000000, 1, 1}});
        fs.files[kCache + u"10000000.dat"] = bytes;
        CacheFolderData data;
        EXPECT_FALSE(cache_read_folder(fs, kCache, u"C:\\p", 1, 1, &data));
        EXPECT_TRUE(data.entries.empty());
        EXPECT_EQ(cache_find_entry(data, u"a.jpg"), nullptr);
    }
}

TEST(ThumbnailCacheFiles, CompactionDropsVanishedFoldersAndDeletesTheirDataFiles) {
    FakeFiles fs;
    fs.folders.insert(u"C:\\kept1");
    fs.folders.insert(u"C:\\kept2");
    fs.files[kIndex] = index_of(
        {{u"C:\\kept1", 10000000, 1, 1}, {u"C:\\gone", 10000001, 1, 1}, {u"C:\\kept2", 10000002, 3, 4}});
    for (int id = 10000000; id <= 10000002; ++id)
        fs.files[cache_data_path(kCache, id)] = data_file({u"a.jpg"});
    const size_t before = fs.files[kIndex].size();
    ASSERT_EQ(cache_compact_index(fs, kCache), CacheStatus::ok);
    const std::vector<CacheIndexRecord> records = records_on_disk(fs);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].folder, u"C:\\kept1");
    EXPECT_EQ(records[1].folder, u"C:\\kept2");
    EXPECT_EQ(records[1].box_height, 4);
    EXPECT_EQ(fs.files[kIndex].size(), before - kCacheIndexRecordBytes);
    EXPECT_FALSE(fs.files.count(kCache + u"10000001.dat"));
    EXPECT_TRUE(fs.files.count(kCache + u"10000000.dat"));
    EXPECT_TRUE(fs.files.count(kCache + u"10000002.dat"));
    EXPECT_FALSE(fs.has_temp_files());
}

TEST(ThumbnailCacheFiles, CompactionThatCannotWriteTheIndexDeletesNothing) {
    FakeFiles fs;
    fs.files[kIndex] = index_of({{u"C:\\gone", 10000000, 1, 1}});
    const std::vector<uint8_t> index = fs.files[kIndex];
    fs.files[kCache + u"10000000.dat"] = data_file({u"a.jpg"});
    fs.refuse_replaces.insert(kIndex);
    EXPECT_EQ(cache_compact_index(fs, kCache), CacheStatus::index_not_written);
    EXPECT_EQ(fs.files[kIndex], index);
    EXPECT_TRUE(fs.files.count(kCache + u"10000000.dat"));
    EXPECT_FALSE(fs.has_temp_files());
    // Without an index there is nothing to compact.
    FakeFiles empty;
    EXPECT_EQ(cache_compact_index(empty, kCache), CacheStatus::index_unusable);
    EXPECT_TRUE(empty.files.empty());
}

TEST(ThumbnailCacheFiles, FailedWriteKeepsThePreviousCacheAndSaysWhy) {
    struct Case {
        const char* name;
        void (*fail)(FakeFiles*);
        CacheStatus status;
    };
    const Case cases[] = {
        {"data file not created",
         [](FakeFiles* fs) { fs->refuse_writes.insert(kCache + u"10000000.dat.tmp"); },
         CacheStatus::data_not_written},
        {"data file not swapped", [](FakeFiles* fs) { fs->refuse_replaces.insert(kCache + u"10000000.dat"); },
         CacheStatus::data_not_written},
        {"first written byte differs",
         [](FakeFiles* fs) { fs->garble_writes = FakeFiles::Garble::first_byte; },
         CacheStatus::data_not_written},
        {"last written byte differs", [](FakeFiles* fs) { fs->garble_writes = FakeFiles::Garble::last_byte; },
         CacheStatus::data_not_written},
        {"written one byte short", [](FakeFiles* fs) { fs->garble_writes = FakeFiles::Garble::one_short; },
         CacheStatus::data_not_written},
        {"index not swapped", [](FakeFiles* fs) { fs->refuse_replaces.insert(kIndex); },
         CacheStatus::index_not_written},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFiles fs;
        ASSERT_EQ(cache_write_folder(fs, kCache, u"C:\\p", 144, 108, data_file({u"old.jpg"})),
                  CacheStatus::ok);
        const std::vector<uint8_t> index = fs.files[kIndex];
        c.fail(&fs);
        EXPECT_EQ(cache_write_folder(fs, kCache, u"C:\\p", 50, 50, data_file({u"new.jpg"})), c.status);
        EXPECT_EQ(fs.files[kIndex], index);
        EXPECT_FALSE(fs.has_temp_files());
        fs.garble_writes = FakeFiles::Garble::none;
        EXPECT_EQ(fs.whole_temp_reads, 0);
        CacheFolderData data;
        ASSERT_TRUE(cache_read_folder(fs, kCache, u"C:\\p", 144, 108, &data));
        EXPECT_FALSE(data.where.box.larger || data.where.box.smaller);
        EXPECT_TRUE(cache_find_entry(data, u"old.jpg") || cache_find_entry(data, u"new.jpg"));
        if (c.status == CacheStatus::data_not_written) {
            EXPECT_NE(cache_find_entry(data, u"old.jpg"), nullptr);
        }
    }
}

TEST(ThumbnailCacheFiles, FoldersThatCannotBeRecordedAreRefused) {
    FakeFiles fs;
    fs.folders.clear();
    fs.refuse_folders = true;
    EXPECT_EQ(cache_write_folder(fs, kCache, u"C:\\p", 1, 1, data_file({})), CacheStatus::no_cache_folder);
    EXPECT_TRUE(fs.files.empty());
    FakeFiles ok;
    const std::u16string long_folder(kCacheNameChars, u'x');
    EXPECT_EQ(cache_write_folder(ok, kCache, long_folder, 1, 1, data_file({})), CacheStatus::bad_folder);
    EXPECT_EQ(cache_write_folder(ok, kCache, u"", 1, 1, data_file({})), CacheStatus::bad_folder);
    EXPECT_TRUE(ok.files.empty());
}

}  // namespace
