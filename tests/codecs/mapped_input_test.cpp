#include "codecs/mapped_input.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "codecs/codec_context.h"
#include "codecs/file_io.h"
#include "codecs/output_file.h"
#include "tests/support/test_support.h"

namespace {

TEST(MappedInput, MapsTheWholeFileAndMovesOwnershipOnce) {
    const std::vector<uint8_t> bytes = {1, 2, 3, 4, 5};
    const std::u16string path = scratch_path("mapped_input_whole.bin");
    ASSERT_TRUE(write_bytes(path, bytes));

    MappedInput first;
    EXPECT_FALSE(first.mapped());
    EXPECT_EQ(first.file(), kClosedFile);
    ASSERT_TRUE(first.open(path));
    ASSERT_TRUE(first.mapped());
    ASSERT_EQ(first.size(), bytes.size());
    EXPECT_EQ(std::vector<uint8_t>(first.data(), first.data() + first.size()), bytes);

    const uint8_t* view = first.data();
    MappedInput second(std::move(first));
    EXPECT_FALSE(first.mapped());
    EXPECT_EQ(first.file(), kClosedFile);
    EXPECT_EQ(first.size(), 0u);
    EXPECT_EQ(second.data(), view);

    MappedInput third;
    third = std::move(second);
    EXPECT_EQ(third.data(), view);
    EXPECT_FALSE(second.mapped());

    third.close();
    EXPECT_FALSE(third.mapped());
    EXPECT_EQ(third.file(), kClosedFile);
    third.close();  // closing an empty owner does nothing
    // Nothing holds the file any more: it can be removed.
    EXPECT_TRUE(file_delete(path));
}

TEST(MappedInput, AdoptsAFileOpenedAndAlreadyReadFrom) {
    const std::vector<uint8_t> bytes = {9, 8, 7, 6};
    const std::u16string path = scratch_path("mapped_input_adopt.bin");
    ASSERT_TRUE(write_bytes(path, bytes));
    const OsHandle file = file_open_read(path);
    ASSERT_NE(file, kClosedFile);
    uint8_t first[2] = {};
    uint32_t got = 0;
    ASSERT_TRUE(file_read(file, first, 2, &got));  // the read position does not matter

    MappedInput input;
    ASSERT_TRUE(input.adopt(file));
    EXPECT_EQ(input.file(), file);
    EXPECT_EQ(std::vector<uint8_t>(input.data(), input.data() + input.size()), bytes);
    FileTime time = {};
    EXPECT_TRUE(input.last_write_time(&time));
    input.close();
    EXPECT_TRUE(file_delete(path));  // the owner closed the adopted file too

    EXPECT_FALSE(input.adopt(kClosedFile));
    EXPECT_EQ(input.file(), kClosedFile);
}

TEST(MappedInput, RefusesMissingAndEmptyFilesAndStaysEmpty) {
    MappedInput input;
    EXPECT_FALSE(input.open(scratch_path("mapped_input_missing/none.bin")));
    EXPECT_FALSE(input.mapped());
    EXPECT_EQ(input.file(), kClosedFile);

    const std::u16string empty = scratch_path("mapped_input_empty.bin");
    ASSERT_TRUE(write_bytes(empty, {}));
    EXPECT_FALSE(input.open(empty));
    EXPECT_FALSE(input.mapped());
    EXPECT_EQ(input.size(), 0u);
    input.close();
    EXPECT_EQ(input.file(), kClosedFile);
    EXPECT_TRUE(file_delete(empty));
}

TEST(MappedInput, OpeningAgainReleasesTheFirstFile) {
    const std::u16string a = scratch_path("mapped_input_a.bin");
    const std::u16string b = scratch_path("mapped_input_b.bin");
    ASSERT_TRUE(write_bytes(a, {7}));
    ASSERT_TRUE(write_bytes(b, {8, 9}));
    MappedInput input;
    ASSERT_TRUE(input.open(a));
    ASSERT_TRUE(input.open(b));
    ASSERT_EQ(input.size(), 2u);
    EXPECT_EQ(input.data()[1], 9);
    EXPECT_TRUE(file_delete(a));
    input.close();
    EXPECT_TRUE(file_delete(b));
}

// A reader over a mapping its caller keeps: the same cursor, size and time as mapping the
// path itself, and the context's release leaves the caller's mapping alone.
TEST(MappedInput, ACallersMappingServesAReaderLikeItsOwn) {
    const std::u16string path = scratch_path("mapped_input_shared.bin");
    ASSERT_TRUE(write_bytes(path, {0x34, 0x12, 0x78, 0x56}));
    MappedInput input;
    ASSERT_TRUE(input.open(path));
    FileTime time = {};
    ASSERT_TRUE(input.last_write_time(&time));

    CodecContext own;
    init_codec_context(&own, 0);
    const MappedRead own_file(path, &own);
    ASSERT_EQ(own_file.size(), 4u);
    CodecContext borrowed;
    init_codec_context(&borrowed, 0);
    ASSERT_EQ(use_mapped_input(input, &borrowed), 4u);
    EXPECT_EQ(borrowed.loaded.file_size, own.loaded.file_size);
    EXPECT_EQ(borrowed.loaded.last_write_time.low, own.loaded.last_write_time.low);
    EXPECT_EQ(borrowed.loaded.last_write_time.high, own.loaded.last_write_time.high);
    EXPECT_EQ(read_le16(&borrowed), 0x1234);
    EXPECT_EQ(read_le16(&borrowed), 0x5678);
    close_codec_files(&borrowed);
    close_codec_files(&own);
    EXPECT_TRUE(input.mapped());
    EXPECT_EQ(input.data()[0], 0x34);

    MappedInput closed;
    CodecContext none;
    init_codec_context(&none, 0);
    EXPECT_EQ(use_mapped_input(closed, &none), 0u);
    EXPECT_EQ(none.error, kCodecReadFailed);
}

TEST(OutputFile, ClosingKeepsTheFileAndDiscardingDeletesIt) {
    const std::u16string kept = scratch_path("output_file_kept.bin");
    const std::u16string dropped = scratch_path("output_file_dropped.bin");
    {
        OutputFile out;
        ASSERT_TRUE(out.create(kept));
        ASSERT_TRUE(file_write(out.get(), "ab", 2));
    }  // scope exit closes
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(read_bytes(kept, &bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{'a', 'b'}));

    OutputFile out;
    ASSERT_TRUE(out.create(dropped));
    ASSERT_TRUE(file_write(out.get(), "x", 1));
    OutputFile moved(std::move(out));
    EXPECT_FALSE(out.is_open());
    out.discard();  // an empty owner deletes nothing
    EXPECT_TRUE(moved.is_open());
    moved.discard();
    EXPECT_FALSE(moved.is_open());
    EXPECT_FALSE(read_bytes(dropped, &bytes));

    EXPECT_FALSE(out.create(scratch_path("no_such_folder/x.bin")));
    EXPECT_FALSE(out.is_open());
    EXPECT_TRUE(file_delete(kept));
}

}  // namespace
