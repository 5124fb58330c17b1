#include "codecs/codec_context.h"

#include <gtest/gtest.h>

#include "codecs/file_io.h"
#include "loading/codec_set.h"
#include "tests/support/test_support.h"

namespace {

TEST(CodecErrors, TextsCoverCodes1To24Only) {
    EXPECT_EQ(codec_error_text(0), nullptr);
    EXPECT_EQ(codec_error_text(25), nullptr);
    EXPECT_EQ(codec_error_text(-1), nullptr);
    // Every text, each at its own code: a shifted or swapped entry fails here.
    const char16_t* const texts[24] = {
        u"メモリを確保できません。",
        u"未対応の形式です。",
        u"コメントを編集できません。",
        u"ファイルから読み取りに失敗しました。",
        u"ファイル作成に失敗しました。",
        u"ファイル情報が不適切です。",
        u"画像の保存に失敗しました。",
        u"PNG形式を識別できません。",
        u"ファイル情報が不適切です。(CRC)",
        u"ファイル情報が不適切です。(Length/Chunk)",
        u"ファイル情報が不適切です。(Length/IHDR)",
        u"ファイル情報が不適切です。(Chunk Type/IHDR)",
        u"ファイル情報が不適切です。(Width,Height/IHDR)",
        u"ファイル情報が不適切です。(Color type/IHDR)",
        u"ファイル情報が不適切です。(Bit depth/IHDR)",
        u"ファイル情報が不適切です。(Compression method/IHDR)",
        u"ファイル情報が不適切です。(Filter method/IHDR)",
        u"ファイル情報が不適切です。(Interlace method/IHDR)",
        u"ファイル情報が不適切です。(Length/PLTE)",
        u"ファイル情報が不適切です。(Order/Chunk)",
        u"ファイル情報が不適切です。(Critical chunks)",
        u"ファイル情報が不適切です。(Length/IDAT)",
        u"画像の表示に失敗しました。(zlib)",
        u"ファイルへの保存に失敗しました。(zlib)",
    };
    for (int32_t code = 1; code <= 24; ++code) {
        ASSERT_NE(codec_error_text(code), nullptr) << code;
        EXPECT_EQ(std::u16string(codec_error_text(code)), std::u16string(texts[code - 1])) << "code " << code;
    }
}

TEST(CodecContext, InitClearsPerUseFieldsOnlyForContextsOfOneJob) {
    CodecContext c;
    c.error = 5;
    c.in_memory = 1;
    init_codec_context(&c, 1);
    EXPECT_EQ(c.error, 5) << "a shared context keeps its per-use fields";
    EXPECT_EQ(c.in_memory, 1);
    init_codec_context(&c, 0);
    EXPECT_EQ(c.error, 0);
    EXPECT_EQ(c.in_memory, 0);
    EXPECT_FALSE(c.output_file.is_open());
    EXPECT_FALSE(c.input.has(1));
    EXPECT_EQ(c.conversion.dither_mode, 0);
}

// Each use starts from the per-use record's defaults, whatever the previous use left: an
// error, a cursor, an open output file, a failed write.
TEST(CodecContext, ResetStartsEveryPerUseFieldOver) {
    const std::u16string path = scratch_path("reset_output.bin");
    const uint8_t bytes[3] = {1, 2, 3};
    CodecContext c;
    init_codec_context(&c, 1);
    c.error = kCodecBadData;
    c.input = ByteCursor(bytes, sizeof bytes);
    ASSERT_TRUE(c.output_file.create(path));
    c.output_failed = true;
    c.in_memory = 1;
    c.loaded.file_size = 9;
    reset_codec_handles(&c);
    EXPECT_EQ(c.error, kCodecOk);
    EXPECT_FALSE(c.input.has(1));
    EXPECT_FALSE(c.output_file.is_open());
    EXPECT_FALSE(c.output_failed);
    EXPECT_TRUE(write_output(&c, bytes, 0)) << "no failure is carried into the next use";
    EXPECT_EQ(c.in_memory, 1) << "the mode and the image are not per-use fields";
    EXPECT_EQ(c.loaded.file_size, 9u);
    EXPECT_TRUE(file_delete(path)) << "the output file was closed";
}

TEST(CodecContext, MapReadAndCloseAreBoundedAndIdempotent) {
    const std::u16string path = scratch_path("map.bin");
    ASSERT_TRUE(write_bytes(path, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}));
    CodecContext c;
    init_codec_context(&c, 0);
    {
        const MappedRead file(path, &c);
        ASSERT_EQ(file.size(), 7u);
        EXPECT_EQ(c.loaded.file_size, 7u);
        EXPECT_NE(c.loaded.last_write_time.high, 0u);
        EXPECT_EQ(read_le16(&c), 0x0201);
        EXPECT_EQ(read_be16(&c), 0x0304);
        EXPECT_EQ(c.error, 0);
        EXPECT_EQ(read_be32(&c), 0u) << "only three bytes were left";
        EXPECT_EQ(c.error, kCodecBadData);
        EXPECT_EQ(read_u8(&c), 0) << "the cursor stays failed";
    }
    EXPECT_FALSE(c.input.has(1)) << "the cursor goes with the mapping";
    close_codec_files(&c);
    close_codec_files(&c);  // a second close has nothing left to close
    EXPECT_TRUE(file_delete(path)) << "the mapping and the file were closed";
}

TEST(CodecContext, LittleAndBigEndianWords) {
    const std::u16string path = scratch_path("words.bin");
    ASSERT_TRUE(write_bytes(path, {0x78, 0x56, 0x34, 0x12, 0x12, 0x34, 0x56, 0x78}));
    CodecContext c;
    init_codec_context(&c, 0);
    const MappedRead file(path, &c);
    ASSERT_EQ(file.size(), 8u);
    EXPECT_EQ(read_le32(&c), 0x12345678u);
    EXPECT_EQ(read_be32(&c), 0x12345678u);
    EXPECT_EQ(c.error, 0);
    EXPECT_EQ(swap16(0x1234), 0x3412);
    EXPECT_EQ(swap32(0x12345678u), 0x78563412u);
    close_codec_files(&c);
}

TEST(CodecContext, MissingOrEmptyFileFailsWithReadError) {
    for (bool create : {false, true}) {
        const std::u16string path = scratch_path(create ? "empty.bin" : "missing.bin");
        if (create) {
            ASSERT_TRUE(write_bytes(path, {}));
        }
        CodecContext c;
        init_codec_context(&c, 0);
        {
            const MappedRead file(path, &c);
            EXPECT_EQ(file.size(), 0u);
            EXPECT_EQ(c.error, kCodecReadFailed);
            EXPECT_FALSE(c.input.has(1)) << "the cursor is untouched";
        }
        if (create) {
            EXPECT_TRUE(file_delete(path)) << "what was opened is closed";
        }
    }
}

TEST(CodecContext, EveryContextClosesWhatItMapped) {
    for (uint8_t shared : {0, 1}) {
        CodecContext c;
        init_codec_context(&c, shared);
        const std::u16string path = scratch_path("shared.bin");
        ASSERT_TRUE(write_bytes(path, {1, 2, 3}));
        {
            const MappedRead file(path, &c);
            ASSERT_EQ(file.size(), 3u);
        }
        EXPECT_FALSE(c.input.has(1)) << int(shared);
        close_codec_files_if_owned(&c);
        EXPECT_TRUE(file_delete(path)) << int(shared);
    }
}

TEST(CodecContext, FailedWriteIsRecordedNotSuccess) {
    CodecContext c;
    init_codec_context(&c, 0);
    EXPECT_FALSE(write_be32(&c, 1)) << "no output file";
    EXPECT_TRUE(c.output_failed);
    EXPECT_EQ(c.error, kCodecSaveFailed);

    CodecContext ok;
    init_codec_context(&ok, 0);
    const std::u16string path = scratch_path("out.bin");
    (void)ok.output_file.create(path);
    ASSERT_TRUE(ok.output_file.is_open());
    EXPECT_TRUE(write_be32(&ok, 0x89504E47u));
    EXPECT_TRUE(write_output(&ok, "abc", 3));
    close_codec_files(&ok);
    EXPECT_FALSE(ok.output_file.is_open());
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(read_bytes(path, &bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x89, 'P', 'N', 'G', 'a', 'b', 'c'}));
}

TEST(CodecContext, LoadedRowsInBothAllocationModes) {
    for (uint8_t in_memory : {0, 1}) {
        CodecContext c;
        init_codec_context(&c, 0);
        c.in_memory = in_memory;
        set_dib_info_header(&c, 3, 2, 24, 2835, 3780);
        EXPECT_EQ(c.loaded.info.size, 40u);
        EXPECT_EQ(c.loaded.info.planes, 1);
        EXPECT_EQ(c.loaded.info.x_pels_per_meter, 2835);
        EXPECT_EQ(c.loaded.info.y_pels_per_meter, 3780);
        ASSERT_TRUE(allocate_loaded_rows(&c, 24));
        EXPECT_EQ(c.loaded.bitmap != 0, in_memory == 0);
        for (int i = 0; i < 24; ++i) ASSERT_EQ(c.loaded.pixels[i], 0) << "rows start zeroed";
        c.loaded.pixels[23] = 1;
        free_loaded_image(&c.loaded);
        EXPECT_EQ(c.loaded.pixels, nullptr);
        EXPECT_EQ(c.loaded.bitmap, 0);
        EXPECT_FALSE(allocate_loaded_rows(&c, int64_t{1} << 40));
        EXPECT_EQ(c.error, kCodecNoMemory);
    }
}

TEST(CodecContextSet, CreatesEverythingAndTheSharedTables) {
    ASSERT_TRUE(create_codec_contexts());
    const CodecContextSet& s = g_codecs;
    ASSERT_NE(s.base, nullptr);
    ASSERT_NE(s.bmp_reader, nullptr);
    ASSERT_NE(s.png_reader, nullptr);
    ASSERT_NE(s.jpeg_reader, nullptr);
    ASSERT_NE(s.tiff_reader, nullptr);
    ASSERT_NE(s.gif_reader, nullptr);
    ASSERT_NE(s.plugin, nullptr);
    ASSERT_NE(s.jpeg_writer, nullptr);
    EXPECT_NE(s.memory_dc, 0);
    // Blend table edges: zero row and column, identity row and column, the rounded middle.
    const uint8_t* t = g_blend_table;
    for (int v = 0; v < 256; ++v) {
        EXPECT_EQ(t[v], 0);
        EXPECT_EQ(t[256 * v], 0);
        if (v > 0) {
            EXPECT_EQ(t[256 * 255 + v], v);
            EXPECT_EQ(t[256 * v + 255], v);
        }
    }
    EXPECT_EQ(t[256 * 255 + 255], 255);
    EXPECT_EQ(t[256 * 128 + 254], 127);
    EXPECT_EQ(t[256 * 127 + 254], 127);
    EXPECT_EQ(t[256 * 1 + 1], 0);
    EXPECT_EQ(t[256 * 254 + 254], 253);
    for (int a = 1; a < 255; ++a)
        for (int v = 1; v < 255; ++v) ASSERT_EQ(t[256 * a + v], t[256 * v + a]);
    ASSERT_NE(g_squares_centre, nullptr);
    EXPECT_EQ(g_squares_centre[0], 0);
    EXPECT_EQ(g_squares_centre[-255], 65025);
    EXPECT_EQ(g_squares_centre[255], 65025);
    EXPECT_EQ(g_squares_centre[-3], 9);
    destroy_codec_contexts();
    EXPECT_EQ(g_codecs.base, nullptr);
    EXPECT_EQ(g_codecs.jpeg_writer, nullptr);
    EXPECT_EQ(g_codecs.memory_dc, 0);
}

#ifndef _WIN32
// On Windows the failure shows a box; the Windows tests answer it through the box hook.
TEST(CodecContextSet, StartupStopsWhenTheMemoryDcCannotBeMade) {
    MemoryDcFactory old = set_memory_dc_factory([]() -> OsHandle { return 0; });
    EXPECT_FALSE(create_codec_contexts());
    EXPECT_NE(g_codecs.jpeg_writer, nullptr) << "what was made stays for the process exit";
    set_memory_dc_factory(old);
    destroy_codec_contexts();
}
#endif

}  // namespace
