#include "shell/core/thumbnail_cache_records.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// Little-endian words and name fields put down by hand at the offsets of the file layouts,
// independently of the writer under test.
class Bytes {
public:
    Bytes& u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    Bytes& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    // 260 characters: the text, then zeros (or `filler` after the terminator).
    Bytes& name(const std::u16string& text, char16_t filler = 0, bool terminate = true) {
        for (int i = 0; i < 260; ++i) {
            char16_t c = filler;
            if (static_cast<size_t>(i) < text.size())
                c = text[static_cast<size_t>(i)];
            else if (static_cast<size_t>(i) == text.size() && terminate)
                c = 0;
            bytes.push_back(static_cast<uint8_t>(c));
            bytes.push_back(static_cast<uint8_t>(c >> 8));
        }
        return *this;
    }
    Bytes& raw(std::initializer_list<uint8_t> data) {
        bytes.insert(bytes.end(), data);
        return *this;
    }
    std::vector<uint8_t> bytes;
};

Bytes index_record(Bytes b, const std::u16string& folder, int32_t id, int32_t w, int32_t h) {
    return b.name(folder).i32(id).i32(w).i32(h);
}

// Header words after the name: time low, high, width, height, size, format, depth, W1-W4,
// thumbnail width, height, data size.
Bytes entry(Bytes b, const std::u16string& name, std::vector<int32_t> words,
            std::initializer_list<uint8_t> data) {
    b.name(name);
    for (int32_t w : words) b.i32(w);
    return b.raw(data);
}

const std::vector<int32_t> kWords = {0x11223344, 0x01D5ABCD, 640, 480, 123456, 3,   24,
                                     1,          1,          0,   0,   144,    108, 4};

CacheEntryHeader sample_header(const std::u16string& name) {
    CacheEntryHeader h;
    h.name = name;
    h.load_info = FileLoadInfo{{0x11223344u, 0x01D5ABCDu}, 640, 480, 123456, 3, 24, 1, 1, 0, 0};
    h.thumbnail_width = 144;
    h.thumbnail_height = 108;
    return h;
}

std::vector<uint8_t> sample_data_file() {
    std::vector<uint8_t> out(kCacheFileHeaderBytes);
    build_cache_file_header(2, out.data());
    const uint8_t jpeg1[] = {0xFF, 0xD8, 0xFF, 0xD9};
    const uint8_t jpeg2[] = {0xFF, 0xD8, 0x00, 0x01, 0xFF, 0xD9};
    EXPECT_EQ(append_cache_entry(sample_header(u"a.jpg"), jpeg1, sizeof jpeg1, &out), CacheRecordError::none);
    CacheEntryHeader second = sample_header(u"\u5199\u771f.png");
    second.load_info.format = 2;
    second.thumbnail_width = 1;
    EXPECT_EQ(append_cache_entry(second, jpeg2, sizeof jpeg2, &out), CacheRecordError::none);
    return out;
}

std::vector<CacheIndexRecord> sample_records() {
    return {{u"C:\\pics", 10000000, 144, 108},
            {u"C:\\Pics", 10000002, 160, 120},
            {u"D:\\x\\y", 10000001, 96, 72}};
}

TEST(ThumbnailCacheRecordsTest, IndexLayoutAndRoundTrip) {
    Bytes expected;
    expected.raw({0x00, 0x00, 0xC9, 0x00}).u32(3);
    expected = index_record(expected, u"C:\\pics", 10000000, 144, 108);
    expected = index_record(expected, u"C:\\Pics", 10000002, 160, 120);
    expected = index_record(expected, u"D:\\x\\y", 10000001, 96, 72);
    ASSERT_EQ(expected.bytes.size(), 8u + 3 * 532u);

    std::vector<uint8_t> built;
    ASSERT_EQ(build_cache_index(sample_records(), &built), CacheRecordError::none);
    EXPECT_EQ(built, expected.bytes);

    std::vector<CacheIndexRecord> back;
    ASSERT_EQ(parse_cache_index(built.data(), built.size(), &back), CacheRecordError::none);
    ASSERT_EQ(back.size(), 3u);
    for (size_t i = 0; i < back.size(); ++i) {
        EXPECT_EQ(back[i].folder, sample_records()[i].folder);
        EXPECT_EQ(back[i].id, sample_records()[i].id);
        EXPECT_EQ(back[i].box_width, sample_records()[i].box_width);
        EXPECT_EQ(back[i].box_height, sample_records()[i].box_height);
    }

    // An empty index; characters after a terminator carry no meaning; bytes after the last
    // record are left alone.
    Bytes loose;
    loose.u32(kCacheMagic).u32(1).name(u"E:\\", u'q').i32(10000005).i32(0).i32(0).raw({1, 2, 3});
    ASSERT_EQ(parse_cache_index(loose.bytes.data(), loose.bytes.size(), &back), CacheRecordError::none);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].folder, u"E:\\");
    const uint8_t empty[] = {0x00, 0x00, 0xC9, 0x00, 0, 0, 0, 0};
    ASSERT_EQ(parse_cache_index(empty, sizeof empty, &back), CacheRecordError::none);
    EXPECT_TRUE(back.empty());
}

TEST(ThumbnailCacheRecordsTest, DataFileLayoutAndRoundTrip) {
    Bytes expected;
    expected.raw({0x00, 0x00, 0xC9, 0x00}).u32(2);
    expected = entry(expected, u"a.jpg", kWords, {0xFF, 0xD8, 0xFF, 0xD9});
    std::vector<int32_t> words = kWords;
    words[5] = 2;
    words[11] = 1;
    words[13] = 6;
    expected = entry(expected, u"\u5199\u771f.png", words, {0xFF, 0xD8, 0x00, 0x01, 0xFF, 0xD9});
    const std::vector<uint8_t> built = sample_data_file();
    ASSERT_EQ(built, expected.bytes);
    // The load-info words sit at 520 to 567 of a header, the data size at 572.
    EXPECT_EQ(built[8 + 520], 0x44);
    EXPECT_EQ(built[8 + 528], 640 & 0xFF);
    EXPECT_EQ(built[8 + 548], 1);
    EXPECT_EQ(built[8 + 572], 4);

    std::vector<CacheEntry> entries;
    ASSERT_EQ(parse_cache_data_file(built.data(), built.size(), &entries), CacheRecordError::none);
    ASSERT_EQ(entries.size(), 2u);
    const CacheEntryHeader& a = entries[0].header;
    EXPECT_EQ(a.name, u"a.jpg");
    EXPECT_EQ(a.load_info.last_write.low, 0x11223344u);
    EXPECT_EQ(a.load_info.last_write.high, 0x01D5ABCDu);
    EXPECT_EQ(a.load_info.width, 640);
    EXPECT_EQ(a.load_info.height, 480);
    EXPECT_EQ(a.load_info.file_size, 123456);
    EXPECT_EQ(a.load_info.format, 3);
    EXPECT_EQ(a.load_info.bit_depth, 24);
    EXPECT_EQ(a.load_info.comment_count, 1);
    EXPECT_EQ(a.load_info.text_count, 1);
    EXPECT_EQ(a.thumbnail_width, 144);
    EXPECT_EQ(a.thumbnail_height, 108);
    EXPECT_EQ(a.data_size, 4);
    EXPECT_EQ(entries[0].data, built.data() + 8 + 576);
    EXPECT_EQ(entries[1].header.name, u"\u5199\u771f.png");
    EXPECT_EQ(entries[1].header.data_size, 6);
    EXPECT_EQ(entries[1].data, built.data() + 8 + 576 + 4 + 576);
    EXPECT_EQ(entries[1].data[3], 0x01);

    // A file whose thumbnails were all left out, and one with an empty JPEG.
    std::vector<uint8_t> none(kCacheFileHeaderBytes);
    build_cache_file_header(0, none.data());
    ASSERT_EQ(parse_cache_data_file(none.data(), none.size(), &entries), CacheRecordError::none);
    EXPECT_TRUE(entries.empty());
    Bytes zero;
    zero.u32(kCacheMagic).u32(1);
    words[13] = 0;
    zero = entry(zero, u"z.gif", words, {});
    ASSERT_EQ(parse_cache_data_file(zero.bytes.data(), zero.bytes.size(), &entries), CacheRecordError::none);
    EXPECT_EQ(entries.size(), 1u);
}

TEST(ThumbnailCacheRecordsTest, EveryPrefixFails) {
    std::vector<uint8_t> index;
    ASSERT_EQ(build_cache_index(sample_records(), &index), CacheRecordError::none);
    std::vector<CacheIndexRecord> records;
    for (size_t n = 0; n < index.size(); ++n) {
        // A copy of exactly n bytes, so the sanitizer sees any read past the prefix.
        const std::vector<uint8_t> prefix(index.begin(), index.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_NE(parse_cache_index(prefix.data(), prefix.size(), &records), CacheRecordError::none) << n;
    }
    const std::vector<uint8_t> data = sample_data_file();
    std::vector<CacheEntry> entries;
    for (size_t n = 0; n < data.size(); ++n) {
        const std::vector<uint8_t> prefix(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_NE(parse_cache_data_file(prefix.data(), prefix.size(), &entries), CacheRecordError::none) << n;
    }
}

TEST(ThumbnailCacheRecordsTest, RefusedIndexes) {
    auto one = [](const std::u16string& folder, int32_t id, int32_t w, int32_t h) {
        Bytes b;
        b.u32(kCacheMagic).u32(1);
        return index_record(b, folder, id, w, h).bytes;
    };
    Bytes two;
    two.u32(kCacheMagic).u32(2);
    two = index_record(two, u"C:\\a", 10000001, 1, 1);
    two = index_record(two, u"C:\\b", 10000001, 1, 1);
    Bytes unterminated;
    unterminated.u32(kCacheMagic)
        .u32(1)
        .name(std::u16string(260, u'x'), 0, false)
        .i32(10000000)
        .i32(1)
        .i32(1);
    Bytes big_count;
    big_count.u32(kCacheMagic).u32(1000001);
    Bytes short_count;
    short_count.u32(kCacheMagic).u32(2);
    short_count = index_record(short_count, u"C:\\a", 10000000, 1, 1);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        CacheRecordError error;
    } cases[] = {
        {"magic", Bytes().u32(0x00C90001).u32(0).bytes, CacheRecordError::bad_magic},
        {"magic byte order", Bytes().raw({0x00, 0xC9, 0x00, 0x00}).u32(0).bytes, CacheRecordError::bad_magic},
        {"negative count", Bytes().u32(kCacheMagic).i32(-1).bytes, CacheRecordError::bad_count},
        {"count above the limit", big_count.bytes, CacheRecordError::bad_count},
        {"more records than bytes", short_count.bytes, CacheRecordError::truncated},
        {"unterminated folder", unterminated.bytes, CacheRecordError::bad_name},
        {"empty folder", one(u"", 10000000, 1, 1), CacheRecordError::bad_name},
        {"id below the first", one(u"C:\\a", 9999999, 1, 1), CacheRecordError::bad_id},
        {"negative id", one(u"C:\\a", -10000000, 1, 1), CacheRecordError::bad_id},
        {"id used twice", two.bytes, CacheRecordError::bad_id},
        {"negative box width", one(u"C:\\a", 10000000, -1, 1), CacheRecordError::bad_size},
        {"negative box height", one(u"C:\\a", 10000000, 1, INT32_MIN), CacheRecordError::bad_size},
    };
    for (const Case& c : cases) {
        std::vector<CacheIndexRecord> records(1);
        EXPECT_EQ(parse_cache_index(c.bytes.data(), c.bytes.size(), &records), c.error) << c.what;
        EXPECT_TRUE(records.empty()) << c.what;
    }
}

TEST(ThumbnailCacheRecordsTest, RefusedDataFiles) {
    auto with = [](int word, int32_t value, std::initializer_list<uint8_t> data = {1, 2, 3, 4}) {
        std::vector<int32_t> words = kWords;
        words[static_cast<size_t>(word)] = value;
        Bytes b;
        b.u32(kCacheMagic).u32(1);
        return entry(b, u"a.jpg", words, data).bytes;
    };
    Bytes unterminated;
    unterminated.u32(kCacheMagic).u32(1).name(std::u16string(260, u'y'), 0, false);
    for (int32_t w : kWords) unterminated.i32(w);
    unterminated.raw({1, 2, 3, 4});
    Bytes empty_name;
    empty_name.u32(kCacheMagic).u32(1);
    empty_name = entry(empty_name, u"", kWords, {1, 2, 3, 4});
    Bytes more;
    more.u32(kCacheMagic).u32(2);
    more = entry(more, u"a.jpg", kWords, {1, 2, 3, 4});
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        CacheRecordError error;
    } cases[] = {
        {"magic", Bytes().u32(0).u32(0).bytes, CacheRecordError::bad_magic},
        {"negative count", Bytes().u32(kCacheMagic).i32(-1).bytes, CacheRecordError::bad_count},
        {"huge count", Bytes().u32(kCacheMagic).i32(INT32_MAX).bytes, CacheRecordError::bad_count},
        {"more thumbnails than headers", more.bytes, CacheRecordError::bad_count},
        {"unterminated name", unterminated.bytes, CacheRecordError::bad_name},
        {"empty name", empty_name.bytes, CacheRecordError::bad_name},
        {"negative data size", with(13, -4), CacheRecordError::bad_size},
        {"data past the end", with(13, 5), CacheRecordError::truncated},
        {"largest data size", with(13, INT32_MAX), CacheRecordError::truncated},
        {"negative width", with(2, -640), CacheRecordError::bad_size},
        {"negative height", with(3, -1), CacheRecordError::bad_size},
        {"negative file size", with(4, INT32_MIN), CacheRecordError::bad_size},
        {"format out of range", with(5, 7), CacheRecordError::bad_size},
        {"negative format", with(5, -1), CacheRecordError::bad_size},
        {"negative thumbnail width", with(11, -144), CacheRecordError::bad_size},
        {"negative thumbnail height", with(12, -108), CacheRecordError::bad_size},
    };
    for (const Case& c : cases) {
        std::vector<CacheEntry> entries(1);
        EXPECT_EQ(parse_cache_data_file(c.bytes.data(), c.bytes.size(), &entries), c.error) << c.what;
    }
    // Values that are only passed on are kept as found.
    const std::vector<uint8_t> odd = with(6, -1);
    std::vector<CacheEntry> entries;
    ASSERT_EQ(parse_cache_data_file(odd.data(), odd.size(), &entries), CacheRecordError::none);
    EXPECT_EQ(entries[0].header.load_info.bit_depth, -1);
}

TEST(ThumbnailCacheRecordsTest, WritersRefuseWhatReadersWould) {
    std::vector<uint8_t> out;
    struct Case {
        std::u16string name;
        CacheRecordError error;
    } names[] = {
        {u"", CacheRecordError::bad_name},
        {std::u16string(259, u'n'), CacheRecordError::none},
        {std::u16string(260, u'n'), CacheRecordError::name_too_long},
        {std::u16string(u"a\0b", 3), CacheRecordError::name_too_long},
    };
    for (const Case& c : names) {
        EXPECT_EQ(build_cache_index({{c.name, kFirstCacheId, 1, 1}}, &out), c.error) << c.name.size();
        out.clear();
        EXPECT_EQ(append_cache_entry(sample_header(c.name), nullptr, 0, &out), c.error) << c.name.size();
        EXPECT_EQ(out.empty(), c.error != CacheRecordError::none);
    }
    EXPECT_EQ(build_cache_index({{u"a", 10000000, 1, 1}, {u"b", 10000000, 1, 1}}, &out),
              CacheRecordError::bad_id);
    EXPECT_EQ(build_cache_index({{u"a", 9999999, 1, 1}}, &out), CacheRecordError::bad_id);
    EXPECT_EQ(build_cache_index({{u"a", 10000000, -1, 1}}, &out), CacheRecordError::bad_size);
    CacheEntryHeader negative = sample_header(u"a.jpg");
    negative.thumbnail_height = -1;
    out.clear();
    EXPECT_EQ(append_cache_entry(negative, nullptr, 0, &out), CacheRecordError::bad_size);
    EXPECT_TRUE(out.empty());

    // The longest name reads back whole.
    std::vector<uint8_t> index;
    ASSERT_EQ(build_cache_index({{std::u16string(259, u'n'), kFirstCacheId, 1, 1}}, &index),
              CacheRecordError::none);
    std::vector<CacheIndexRecord> back;
    ASSERT_EQ(parse_cache_index(index.data(), index.size(), &back), CacheRecordError::none);
    EXPECT_EQ(back[0].folder.size(), 259u);
}

TEST(ThumbnailCacheRecordsTest, IdChoice) {
    struct Case {
        std::vector<int32_t> ids;
        int32_t next;
    } cases[] = {
        {{}, 10000000},
        {{10000000, 10000002}, 10000001},
        {{10000001}, 10000000},
        {{10000003, 10000001, 10000000, 10000002}, 10000004},
        {{INT32_MAX, 10000000}, 10000001},
        {{10000000, 20000000, 10000001}, 10000002},
    };
    for (const Case& c : cases) {
        std::vector<CacheIndexRecord> records;
        for (int32_t id : c.ids)
            records.push_back(
                {u"f" + std::u16string(1, static_cast<char16_t>(u'a' + records.size())), id, 0, 0});
        EXPECT_EQ(smallest_unused_cache_id(records), c.next) << c.ids.size();
    }
    EXPECT_EQ(cache_data_file_name(10000000), u"10000000.dat");
    EXPECT_EQ(cache_data_file_name(10000123), u"10000123.dat");
}

TEST(ThumbnailCacheRecordsTest, Registering) {
    std::vector<CacheIndexRecord> records;
    EXPECT_EQ(register_cache_record(&records, u"C:\\pics", 144, 108), 0);
    EXPECT_EQ(records[0].id, 10000000);
    // Folders that differ only in letter case get records of their own.
    EXPECT_EQ(register_cache_record(&records, u"C:\\PICS", 144, 108), 1);
    EXPECT_EQ(records[1].id, 10000001);
    EXPECT_EQ(find_cache_index_record(records, u"C:\\PICS"), 1);
    EXPECT_EQ(find_cache_index_record(records, u"C:\\Pics"), -1);
    // Registering again brings the box up to date and keeps the id.
    EXPECT_EQ(register_cache_record(&records, u"C:\\pics", 200, 150), 0);
    EXPECT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].id, 10000000);
    EXPECT_EQ(records[0].box_width, 200);
    EXPECT_EQ(records[0].box_height, 150);
    // After a compaction dropped the first record, its id is free again.
    records.erase(records.begin());
    EXPECT_EQ(register_cache_record(&records, u"D:\\new", 1, 1), 1);
    EXPECT_EQ(records[1].id, 10000000);

    // A full index takes no new folder, since one record more would make it unreadable, but
    // still updates the folders it holds.
    std::vector<CacheIndexRecord> full(static_cast<size_t>(kMaxCacheIndexRecords));
    for (size_t i = 0; i < full.size(); ++i) full[i].id = kFirstCacheId + static_cast<int32_t>(i);
    full[5].folder = u"C:\\held";
    EXPECT_EQ(register_cache_record(&full, u"C:\\another", 1, 1), -1);
    EXPECT_EQ(full.size(), static_cast<size_t>(kMaxCacheIndexRecords));
    EXPECT_EQ(register_cache_record(&full, u"C:\\held", 7, 8), 5);
    EXPECT_EQ(full[5].box_width, 7);
}

TEST(ThumbnailCacheRecordsTest, BoxChange) {
    const CacheIndexRecord record{u"C:\\p", kFirstCacheId, 144, 108};
    struct Case {
        int32_t width, height;
        bool larger, smaller;
    } cases[] = {
        {144, 108, false, false}, {100, 108, true, false}, {144, 200, false, true},
        {200, 200, false, true},  {100, 200, true, true},  {0, 0, true, false},
    };
    for (const Case& c : cases) {
        const CacheBoxChange change = compare_cache_box(record, c.width, c.height);
        EXPECT_EQ(change.larger, c.larger) << c.width << "x" << c.height;
        EXPECT_EQ(change.smaller, c.smaller) << c.width << "x" << c.height;
    }
}

TEST(ThumbnailCacheRecordsTest, CompactionKeepsExistingFoldersInOrder) {
    const std::set<std::u16string> existing = {u"C:\\pics", u"D:\\x\\y"};
    const CacheCompaction result = compact_cache_records(
        sample_records(), [&](const std::u16string& folder) { return existing.count(folder) != 0; });
    ASSERT_EQ(result.kept.size(), 2u);
    EXPECT_EQ(result.kept[0].folder, u"C:\\pics");
    EXPECT_EQ(result.kept[1].folder, u"D:\\x\\y");
    EXPECT_EQ(result.kept[1].id, 10000001);
    EXPECT_EQ(result.removed_ids, std::vector<int32_t>{10000002});
    std::vector<uint8_t> before, after;
    ASSERT_EQ(build_cache_index(sample_records(), &before), CacheRecordError::none);
    ASSERT_EQ(build_cache_index(result.kept, &after), CacheRecordError::none);
    EXPECT_EQ(after.size(), before.size() - 532);
    EXPECT_EQ(after[4], 2);
}

}  // namespace
