#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/jpeg/jpeg.h"
#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes segment(uint8_t marker, const Bytes& body) {
    Bytes s = {0xFF, marker, static_cast<uint8_t>((body.size() + 2) >> 8),
               static_cast<uint8_t>(body.size() + 2)};
    s.insert(s.end(), body.begin(), body.end());
    return s;
}

Bytes text_bytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// SOI, the given segments, a scan header and EOI: enough for the marker walks.
Bytes file_of(const std::vector<Bytes>& segments) {
    Bytes f = {0xFF, 0xD8};
    for (const Bytes& s : segments) f.insert(f.end(), s.begin(), s.end());
    const Bytes tail = {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00, 0x12, 0x34, 0xFF, 0xD9};
    f.insert(f.end(), tail.begin(), tail.end());
    return f;
}

const Bytes kJfif = segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
const Bytes kDqt = segment(0xDB, Bytes(65, 1));

struct Read {
    std::string text;
    int32_t error;
};

Read read_comment(const Bytes& file, uint32_t capacity = kJpegMaxCommentBytes) {
    const std::u16string path = scratch_path("comment.jpg");
    EXPECT_TRUE(write_bytes(path, file));
    CodecContext context;
    init_codec_context(&context, 0);
    std::vector<char> out(capacity + 1, '#');
    jpeg_read_comment(path, &context, out.data(), capacity);
    close_codec_files(&context);
    EXPECT_EQ(out[capacity], '#');  // nothing past the buffer
    return Read{std::string(out.data()), context.error};
}

struct ReadCase {
    const char* name;
    Bytes file;
    std::string text;
    int32_t error;
};

TEST(JpegComment, ReadCases) {
    const ReadCase cases[] = {
        {"lf becomes crlf", file_of({kJfif, segment(0xFE, text_bytes("a\nb\r\nc"))}), "a\r\nb\r\nc", 0},
        {"leading lf", file_of({segment(0xFE, text_bytes("\nx"))}), "\r\nx", 0},
        {"escape dropped",
         file_of({segment(0xFE, text_bytes("a\x1b"
                                           "b"))}),
         "ab", 0},
        {"empty segment", file_of({segment(0xFE, {})}), "", 0},
        {"first comment only", file_of({segment(0xFE, text_bytes("one")), segment(0xFE, text_bytes("two"))}),
         "one", 0},
        {"scan before comment", {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xFE, 0x00, 0x03, 'x'}, "", 0},
        {"end before comment", {0xFF, 0xD8, 0xFF, 0xD9}, "", 0},
        {"fill bytes before marker",
         {0xFF, 0xD8, 0xFF, 0xFF, 0xFF, 0xFE, 0x00, 0x03, 'f', 0xFF, 0xD9},
         "f",
         0},
        {"zero length passed over",
         {0xFF, 0xD8, 0xFF, 0xFE, 0x00, 0x00, 0xFF, 0xFE, 0x00, 0x04, 'o', 'k', 0xFF, 0xD9},
         "ok",
         0},
        {"length one", {0xFF, 0xD8, 0xFF, 0xFE, 0x00, 0x01, 0xFF, 0xD9}, "", kCodecReadFailed},
        {"past the data", {0xFF, 0xD8, 0xFF, 0xFE, 0x00, 0x09, 'a', 'b'}, "", kCodecReadFailed},
        {"no length bytes", {0xFF, 0xD8, 0xFF, 0xFE, 0x00}, "", kCodecReadFailed},
        {"bad segment before", {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x40, 0x00}, "", kCodecReadFailed},
        {"no marker at all", {0xFF, 0xD8, 0x00, 0x01, 0x02}, "", kCodecReadFailed},
    };
    for (const ReadCase& c : cases) {
        const Read r = read_comment(c.file);
        EXPECT_EQ(r.text, c.text) << c.name;
        EXPECT_EQ(r.error, c.error) << c.name;
    }
}

TEST(JpegComment, LongBodyAndSmallBuffer) {
    const Read r = read_comment(file_of({segment(0xFE, Bytes(12000, 'z'))}));
    EXPECT_EQ(r.text, std::string(9999, 'z'));
    // CR insertion never splits a line break at the buffer's end.
    const Read small = read_comment(file_of({segment(0xFE, text_bytes("abc\ndef"))}), 5);
    EXPECT_EQ(small.text, "abc");
    const Read fits = read_comment(file_of({segment(0xFE, text_bytes("ab\ncd"))}), 5);
    EXPECT_EQ(fits.text, "ab\r\n");
}

TEST(JpegComment, MissingFileIsReadError) {
    CodecContext context;
    init_codec_context(&context, 0);
    char out[16] = "stale";
    jpeg_read_comment(scratch_path("missing.jpg"), &context, out, sizeof out);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(context.error, kCodecReadFailed);
    close_codec_files(&context);
}

struct Write {
    bool ok;
    int32_t mode;
    int32_t error;
    bool made;
    Bytes output;
};

Write write_comment(const Bytes& source, const char* text, int32_t mode) {
    const std::u16string in = scratch_path("source.jpg");
    const std::u16string out = scratch_path("written.jpg");
    EXPECT_TRUE(write_bytes(in, source));
    CodecContext context;
    init_codec_context(&context, 0);
    Write w;
    w.mode = mode;
    w.ok = jpeg_write_comment(in, &context, out, text, &w.mode);
    w.error = context.error;
    close_codec_files(&context);
    w.made = read_bytes(out, &w.output);
    return w;
}

TEST(JpegComment, AddReplaceRemoveRoundTrip) {
    const Bytes original = file_of({kJfif, kDqt});
    const Write added = write_comment(original, "x", 1);
    ASSERT_TRUE(added.ok);
    EXPECT_EQ(added.mode, 1);
    Bytes expected = file_of({kJfif, {0xFF, 0xFE, 0x00, 0x03, 'x'}, kDqt});
    EXPECT_EQ(added.output, expected);

    const Write replaced = write_comment(added.output, "yz", 1);
    ASSERT_TRUE(replaced.ok);
    EXPECT_EQ(replaced.mode, 0);
    EXPECT_EQ(replaced.output, file_of({kJfif, {0xFF, 0xFE, 0x00, 0x04, 'y', 'z'}, kDqt}));

    const Write removed = write_comment(replaced.output, nullptr, 0);
    ASSERT_TRUE(removed.ok);
    EXPECT_EQ(removed.mode, -1);
    EXPECT_EQ(removed.output, original);
}

TEST(JpegComment, PlacementAndRefusals) {
    const Bytes app1 = segment(0xE1, text_bytes("Exif"));
    // After the last APP0/APP1 before the first COM.
    const Write after_app1 = write_comment(file_of({kJfif, app1, kDqt}), "c", 1);
    ASSERT_TRUE(after_app1.ok);
    EXPECT_EQ(after_app1.output, file_of({kJfif, app1, {0xFF, 0xFE, 0x00, 0x03, 'c'}, kDqt}));

    // Stored without the CRs the reader adds.
    const Write crlf = write_comment(file_of({kJfif}), "a\r\nb", 1);
    ASSERT_TRUE(crlf.ok);
    EXPECT_EQ(crlf.output, file_of({kJfif, {0xFF, 0xFE, 0x00, 0x05, 'a', '\n', 'b'}}));

    // Nothing to remove: true, and no file is made.
    const Write none = write_comment(file_of({kJfif, kDqt}), nullptr, 0);
    EXPECT_TRUE(none.ok);
    EXPECT_EQ(none.mode, 0);
    EXPECT_FALSE(none.made);

    // Without APP0, APP1 or COM before the scan there is no place for a comment.
    const Write nowhere = write_comment(file_of({kDqt}), "x", 1);
    EXPECT_FALSE(nowhere.ok);
    EXPECT_EQ(nowhere.error, kCodecCreateFailed);

    // A bad COM length fails the walk, reported as the output not being made.
    const Write bad = write_comment({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x02, 0xFF, 0xFE, 0x00, 0x01}, "x", 1);
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.error, kCodecCreateFailed);
}

TEST(JpegComment, SegmentIsCutAtTenThousandBytes) {
    const std::string text(12000, 'k');
    const Write w = write_comment(file_of({kJfif}), text.c_str(), 1);
    ASSERT_TRUE(w.ok);
    const size_t com = 2 + kJfif.size();
    ASSERT_EQ(w.output[com + 1], 0xFE);
    EXPECT_EQ((w.output[com + 2] << 8) | w.output[com + 3], 10002);
}

TEST(JpegComment, FailedDestinationIsAFailure) {
    const std::u16string in = scratch_path("source.jpg");
    ASSERT_TRUE(write_bytes(in, file_of({kJfif})));
    CodecContext context;
    init_codec_context(&context, 0);
    int32_t mode = 1;
    EXPECT_FALSE(jpeg_write_comment(in, &context, scratch_path("no-folder/out.jpg"), "x", &mode));
    EXPECT_EQ(context.error, kCodecCreateFailed);
    close_codec_files(&context);
#ifndef _WIN32
    init_codec_context(&context, 0);
    EXPECT_FALSE(jpeg_write_comment(in, &context, u"/dev/full", "x", &mode));
    EXPECT_EQ(context.error, kCodecCreateFailed);
    close_codec_files(&context);
#endif
}

TEST(JpegComment, SkipSegmentChecksLengthAndEnd) {
    struct Case {
        Bytes data;
        bool ok;
        size_t end;
    };
    const Case cases[] = {
        {{0x00, 0x02}, true, 2},
        {{0x00, 0x04, 1, 2}, true, 4},
        {{0x00, 0x05, 1, 2}, false, 0},
        {{0x00, 0x01}, false, 0},
        {{0x00}, false, 0},
    };
    for (const Case& c : cases) {
        CodecContext context;
        init_codec_context(&context, 0);
        context.input = ByteCursor(c.data.data(), c.data.size());
        EXPECT_EQ(jpeg_skip_segment(&context), c.ok);
        if (c.ok) {
            EXPECT_EQ(context.input.offset(), c.end);
        }
        EXPECT_EQ(context.error, c.ok ? kCodecOk : kCodecReadFailed);
    }
}

}  // namespace

namespace {

TEST(JpegComment, EveryPrefixReadsTheTextOrFailsCleanly) {
    const Bytes file = file_of({kJfif, segment(0xFE, text_bytes("prefix\ntext")), kDqt});
    for (size_t n = 0; n < file.size(); ++n) {
        CodecContext context;
        init_codec_context(&context, 0);
        const Bytes prefix(file.begin(), file.begin() + static_cast<int64_t>(n));
        context.input = ByteCursor(prefix.data(), prefix.size());
        char out[32];
        jpeg_read_comment_at_cursor(&context, out, sizeof out);
        const std::string text(out);
        const size_t body_end = 2 + kJfif.size() + 4 + 11;
        if (n >= body_end) {
            EXPECT_EQ(text, "prefix\r\ntext") << n;
            EXPECT_EQ(context.error, kCodecOk) << n;
        } else {
            EXPECT_EQ(text, "") << n;
            EXPECT_EQ(context.error, kCodecReadFailed) << n;
        }
        uint32_t insert = 0;
        uint32_t resume = 0;
        init_codec_context(&context, 0);
        context.input = ByteCursor(prefix.data(), prefix.size());
        const bool placed = jpeg_find_comment_position(&context, &insert, &resume);
        EXPECT_EQ(placed, n >= body_end) << n;
    }
}

}  // namespace
