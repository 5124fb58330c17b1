#include "shell/core/settings_store.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/shell/settings_file_builder.h"
#include "tests/shell/unique_scratch.h"
#include "tests/support/test_support.h"

namespace {

SettingsReader parse(const std::vector<uint8_t>& bytes) {
    return settings_parse(bytes.data(), bytes.size());
}

std::vector<uint8_t> text_bytes(size_t byte_count, uint8_t fill = 'a') {
    std::vector<uint8_t> b(byte_count);
    for (size_t i = 0; i < byte_count; ++i) b[i] = (i % 2) ? 0 : fill;
    return b;
}

struct HostileCase {
    const char* name;
    std::vector<uint8_t> (*make)();
};

std::vector<uint8_t> with_entry(int32_t offset, int32_t size) {
    SettingsFileBuilder b;
    b.entry(5, offset, size).entry(6, offset, size).entry(120, offset, size).entry(137, offset, size);
    b.bytes().resize(4100, 'x');
    return b.bytes();
}

const HostileCase kHostile[] = {
    {"empty", [] { return std::vector<uint8_t>(); }},
    {"three bytes of magic",
     [] {
         return std::vector<uint8_t>{0xF4, 0x01, 0x64};
     }},
    {"wrong magic",
     [] {
         SettingsFileBuilder b;
         b.integer(5, 7);
         b.bytes()[3] = 1;
         return b.bytes();
     }},
    {"truncated directory",
     [] {
         SettingsFileBuilder b;
         b.integer(5, 7);
         b.bytes().resize(1000);
         return b.bytes();
     }},
    {"directory one byte short",
     [] {
         SettingsFileBuilder b;
         b.integer(5, 7);
         b.bytes().resize(4003);
         return b.bytes();
     }},
    {"data past the end", [] { return with_entry(4004, 500); }},
    {"negative size", [] { return with_entry(4004, -2); }},
    {"huge size", [] { return with_entry(4004, 0x7FFFFFFF); }},
    {"negative offset", [] { return with_entry(-4000, 10); }},
    {"offset and size overflow", [] { return with_entry(0x7FFFFFF0, 0x7FFFFFF0); }},
    {"offset inside the directory", [] { return with_entry(2, 40); }},
};

class SettingsHostileTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(SettingsHostileTest, LookupsGiveDefaultsOrStayInsideTheFile) {
    const std::vector<uint8_t> bytes = GetParam().make();
    SettingsReader r = parse(bytes);
    char16_t text[kSettingsStringChars];
    std::u16string long_text(kSettingsLongStringChars, u'?');
    uint8_t blob[360];
    for (int slot : {-1, 0, 5, 6, 120, 137, 499, 500, 100000}) {
        (void)settings_int(r, slot, 42);
        settings_read_string(r, slot, text);
        (void)settings_read_blob(r, slot, blob, sizeof blob);
    }
    settings_read_long_string(r, &long_text[0]);
    if (!r.ok) {
        EXPECT_EQ(settings_int(r, 5, 42), 42);
        EXPECT_EQ(settings_string(r, 6), u"");
        EXPECT_FALSE(settings_read_blob(r, 137, blob, sizeof blob));
    }
    // Entries pointing outside the file must not read at all.
    if (bytes.size() == 4100) {
        EXPECT_EQ(settings_int(r, 5, 42), 42);
        const bool inside =
            settings_entry(r, 6).offset > 1 && settings_entry(r, 6).size >= 0 &&
            static_cast<uint64_t>(settings_entry(r, 6).offset) + settings_entry(r, 6).size <= 4100;
        if (!inside) {
            EXPECT_EQ(settings_string(r, 6), u"");
            EXPECT_FALSE(settings_read_blob(r, 137, blob, sizeof blob));
            settings_read_long_string(r, &long_text[0]);
            EXPECT_EQ(long_text[0], u'\0');
        }
    }
    // A writer over the same bytes carries over only what it can prove is inside the file.
    SettingsWriter w = settings_begin_write(bytes.data(), bytes.size());
    settings_write_int(w, 300, 1);
    const std::vector<uint8_t> image = settings_build_image(w);
    SettingsReader back = parse(image);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(settings_int(back, 300, 0), 1);
    for (int s = 0; s < kSettingsSlotCount; ++s) {
        const SettingsEntry e = settings_entry(back, s);
        if (e.offset > 1) {
            EXPECT_GE(e.offset, 4004);
            EXPECT_LE(static_cast<uint64_t>(e.offset) + e.size, image.size());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsHostileTest, ::testing::ValuesIn(kHostile),
                         [](const ::testing::TestParamInfo<HostileCase>& p) {
                             std::string n = p.param.name;
                             for (char& c : n)
                                 if (c == ' ') c = '_';
                             return n;
                         });

TEST(SettingsReaderTest, EveryPrefixOfAValidFileReadsWholeValuesOrDefaults) {
    SettingsFileBuilder b;
    b.integer(3, 640).text(196, u"C:\\写真").data(137, {9, 0, 'A', 0, 0x60, 0x1B}).integer(499, -1);
    const std::vector<uint8_t> whole = b.bytes();
    for (size_t n = 0; n <= whole.size(); ++n) {
        const SettingsReader r = settings_parse(whole.data(), n);
        const bool directory = n >= 4004;
        EXPECT_EQ(r.ok, directory) << n;
        EXPECT_EQ(settings_int(r, 3, 0), directory ? 640 : 0) << n;
        EXPECT_EQ(settings_int(r, 499, 0), directory ? -1 : 0) << n;
        const std::u16string text = settings_string(r, 196);
        EXPECT_TRUE(text.empty() || text == u"C:\\写真") << n;
        EXPECT_EQ(text.empty(), n < 4004 + 10) << n;
        uint8_t blob[6] = {};
        EXPECT_EQ(settings_read_blob(r, 137, blob, sizeof blob), n == whole.size()) << n;
    }
}

TEST(SettingsReaderTest, IntegersOnlyFromIntegerEntries) {
    SettingsFileBuilder b;
    b.integer(0, -5).integer(499, 0x7FFFFFFF).text(3, u"ab");
    SettingsReader r = parse(b.bytes());
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(settings_int(r, 0, 9), -5);
    EXPECT_EQ(settings_int(r, 499, 9), 0x7FFFFFFF);
    EXPECT_EQ(settings_int(r, 3, 9), 9);  // a data slot is not an integer
    EXPECT_EQ(settings_int(r, 1, 9), 9);  // absent
}

TEST(SettingsReaderTest, StringBounds) {
    struct Case {
        size_t bytes;
        size_t expected_units;
    } cases[] = {{2, 1}, {3, 1}, {518, 259}, {519, 259}, {520, 0}, {600, 0}};
    for (const Case& c : cases) {
        SettingsFileBuilder b;
        b.data(7, text_bytes(c.bytes));
        SettingsReader r = parse(b.bytes());
        EXPECT_EQ(settings_string(r, 7).size(), c.expected_units) << c.bytes;
    }
    SettingsFileBuilder b;
    b.text(7, u"フォルダ");
    EXPECT_EQ(settings_string(parse(b.bytes()), 7), u"フォルダ");
}

TEST(SettingsReaderTest, LongStringBoundsAndOnlySlot120) {
    struct Case {
        size_t bytes;
        size_t expected_units;
    } cases[] = {{20000, 10000}, {20001, 10000}, {20002, 0}};
    for (const Case& c : cases) {
        SettingsFileBuilder b;
        b.data(120, text_bytes(c.bytes, 'z'));
        SettingsReader r = parse(b.bytes());
        std::u16string buffer(kSettingsLongStringChars, u'?');
        settings_read_long_string(r, &buffer[0]);
        EXPECT_EQ(std::u16string(buffer.c_str()).size(), c.expected_units) << c.bytes;
        // The ordinary reader keeps its own bound for the same slot.
        EXPECT_EQ(settings_string(r, 120), u"");
    }
}

TEST(SettingsReaderTest, BlobCapacity) {
    SettingsFileBuilder b;
    b.data(137, {1, 2, 3, 4, 5, 6});
    SettingsReader r = parse(b.bytes());
    uint8_t buf[8];
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_FALSE(settings_read_blob(r, 137, buf, 5));
    EXPECT_EQ(buf[0], 0xEE);
    EXPECT_TRUE(settings_read_blob(r, 137, buf, 6));
    EXPECT_TRUE(settings_read_blob(r, 137, buf, 8));
    EXPECT_EQ(buf[5], 6);
    EXPECT_EQ(buf[6], 0xEE);  // the rest of a larger buffer is left alone
    EXPECT_FALSE(settings_read_blob(r, 138, buf, 8));
}

TEST(SettingsWriterTest, NewFileHasMagicZeroDirectoryAndWrittenSlots) {
    SettingsWriter w = settings_begin_write(nullptr, 0);
    ASSERT_TRUE(w.ok);
    settings_write_string(w, 10, u"abc");
    settings_write_int(w, 2, -7);
    settings_write_string(w, 11, u"");
    const std::vector<uint8_t> image = settings_build_image(w);
    ASSERT_EQ(image.size(), 4004u + 6u);
    EXPECT_EQ(le32_at(image, 0), 0x006401F4u);
    EXPECT_EQ(le32_at(image, 4 + 8 * 10), 4004u);
    EXPECT_EQ(le32_at(image, 8 + 8 * 10), 6u);
    EXPECT_EQ(le32_at(image, 4 + 8 * 2), 1u);
    EXPECT_EQ(le32_at(image, 8 + 8 * 2), static_cast<uint32_t>(-7));
    EXPECT_EQ(le32_at(image, 4 + 8 * 11), 0u);
    EXPECT_EQ(image[4004], 'a');
    EXPECT_EQ(image[4005], 0);
}

TEST(SettingsWriterTest, UntouchedDataSlotsAreReappendedInSlotOrder) {
    SettingsFileBuilder b;
    b.text(200, u"late").text(3, u"early").integer(50, 123).text(40, u"gone");
    SettingsWriter w = settings_begin_write(b.bytes().data(), b.bytes().size());
    settings_write_int(w, 300, 1);
    settings_write_int(w, 301, 2);
    settings_write_string(w, 40, u"");
    const std::vector<uint8_t> image = settings_build_image(w);
    SettingsReader r = parse(image);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(settings_entry(r, 3).offset, 4004);
    EXPECT_EQ(settings_entry(r, 200).offset, 4004 + 10);
    EXPECT_EQ(settings_string(r, 3), u"early");
    EXPECT_EQ(settings_string(r, 200), u"late");
    EXPECT_EQ(settings_int(r, 50, 0), 123);
    EXPECT_EQ(settings_int(r, 300, 0), 1);
    EXPECT_EQ(settings_entry(r, 40).offset, 0);  // the old text is not brought back
    EXPECT_EQ(image.size(), 4004u + 10u + 8u);
}

TEST(SettingsWriterTest, RewrittenSlotsComeFirstAndOldBytesAreNotDuplicated) {
    SettingsFileBuilder b;
    b.text(1, u"old1").text(2, u"old2");
    SettingsWriter w = settings_begin_write(b.bytes().data(), b.bytes().size());
    settings_write_string(w, 2, u"new");
    const std::vector<uint8_t> image = settings_build_image(w);
    SettingsReader r = parse(image);
    EXPECT_EQ(settings_entry(r, 2).offset, 4004);
    EXPECT_EQ(settings_string(r, 2), u"new");
    EXPECT_EQ(settings_string(r, 1), u"old1");
    EXPECT_EQ(image.size(), 4004u + 6u + 8u);
}

TEST(SettingsWriterTest, ForeignOrShortFileStartsEmpty) {
    SettingsFileBuilder b;
    b.integer(9, 9).text(10, u"x");
    std::vector<uint8_t> foreign = b.bytes();
    foreign[0] = 'M';
    std::vector<uint8_t> short_dir = b.bytes();
    short_dir.resize(2000);
    for (const std::vector<uint8_t>* old : {&foreign, &short_dir}) {
        SettingsWriter w = settings_begin_write(old->data(), old->size());
        ASSERT_TRUE(w.ok);
        settings_write_int(w, 1, 1);
        SettingsReader r = parse(settings_build_image(w));
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(settings_int(r, 9, -1), -1);
        EXPECT_EQ(settings_entry(r, 10).offset, 0);
        EXPECT_EQ(settings_int(r, 1, 0), 1);
    }
}

// File operations that can be told to fail, over the real files of the scratch folder.
class FaultyOps : public SettingsFileOps {
public:
    bool fail_write = false;
    bool short_write = false;
    bool fail_replace = false;
    int busy_reads = 0;
    int reads = 0;
    int pauses = 0;

    SettingsFileStatus read_file(const std::u16string& path, std::vector<uint8_t>* bytes,
                                 uint32_t limit) override {
        ++reads;
        if (busy_reads > 0) {
            --busy_reads;
            return SettingsFileStatus::busy;
        }
        return portable_settings_file_ops().read_file(path, bytes, limit);
    }
    bool write_new_file(const std::u16string& path, const uint8_t* data, size_t size) override {
        if (fail_write) return false;
        // A disk that silently keeps only part of the file.
        if (short_write) return portable_settings_file_ops().write_new_file(path, data, size / 2);
        return portable_settings_file_ops().write_new_file(path, data, size);
    }
    bool replace_file(const std::u16string& source, const std::u16string& target) override {
        return !fail_replace && portable_settings_file_ops().replace_file(source, target);
    }
    void delete_file(const std::u16string& path) override { portable_settings_file_ops().delete_file(path); }
    void pause_ms(uint32_t) override { ++pauses; }
};

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override { previous_ = set_settings_file_ops(&ops_); }
    void TearDown() override { set_settings_file_ops(previous_); }

    FaultyOps ops_;
    SettingsFileOps* previous_ = nullptr;
};

TEST_F(SettingsFileTest, MissingFileReadsAsDefaultsAndIsCreatedByTheWriter) {
    const std::u16string path = unique_scratch_path("new.ini");
    SettingsReader r = settings_open_read(path);
    EXPECT_EQ(r.status, SettingsFileStatus::missing);
    EXPECT_FALSE(r.ok);
    SettingsWriter w = settings_open_write(path);
    ASSERT_TRUE(w.ok);
    settings_write_int(w, 4, 600);
    settings_write_string(w, 196, u"C:\\画像");
    ASSERT_TRUE(settings_close_write(w));
    SettingsReader back = settings_open_read(path);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(settings_int(back, 4, 0), 600);
    EXPECT_EQ(settings_string(back, 196), u"C:\\画像");
    std::vector<uint8_t> leftover;
    EXPECT_FALSE(read_bytes(path + u".tmp", &leftover));
}

TEST_F(SettingsFileTest, FailedWriteLeavesThePreviousFileAndReportsFailure) {
    SettingsFileBuilder b;
    b.integer(4, 480).text(196, u"keep");
    struct Fault {
        const char* name;
        bool FaultyOps::*flag;
    } faults[] = {{"write", &FaultyOps::fail_write},
                  {"short write", &FaultyOps::short_write},
                  {"replace", &FaultyOps::fail_replace}};
    for (const Fault& f : faults) {
        const std::u16string path = unique_scratch_path("keep.ini");
        ASSERT_TRUE(write_bytes(path, b.bytes()));
        ops_.*(f.flag) = true;
        SettingsWriter w = settings_open_write(path);
        ASSERT_TRUE(w.ok) << f.name;
        settings_write_int(w, 4, 999);
        EXPECT_FALSE(settings_close_write(w)) << f.name;
        ops_.*(f.flag) = false;
        std::vector<uint8_t> now;
        ASSERT_TRUE(read_bytes(path, &now));
        EXPECT_EQ(now, b.bytes()) << f.name;
        std::vector<uint8_t> leftover;
        EXPECT_FALSE(read_bytes(path + u".tmp", &leftover)) << f.name;
    }
}

TEST_F(SettingsFileTest, BusyFileIsRetriedThenReportedBusy) {
    SettingsFileBuilder b;
    b.integer(3, 1234);
    const std::u16string path = unique_scratch_path("busy.ini");
    ASSERT_TRUE(write_bytes(path, b.bytes()));
    ops_.busy_reads = 2;
    SettingsReader r = settings_open_read(path);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(settings_int(r, 3, 0), 1234);
    EXPECT_EQ(ops_.pauses, 2);

    ops_.busy_reads = 1000;
    SettingsReader busy = settings_open_read(path);
    EXPECT_EQ(busy.status, SettingsFileStatus::busy);
    EXPECT_FALSE(busy.ok);

    // A writer that cannot read the old file writes nothing at all.
    SettingsWriter w = settings_open_write(path);
    EXPECT_FALSE(w.ok);
    settings_write_int(w, 3, 1);
    EXPECT_FALSE(settings_close_write(w));
    ops_.busy_reads = 0;
    std::vector<uint8_t> now;
    ASSERT_TRUE(read_bytes(path, &now));
    EXPECT_EQ(now, b.bytes());
}

}  // namespace
