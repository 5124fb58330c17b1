#include "codecs/mapped_input.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "codecs/file_io.h"
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

}  // namespace
