#include <gtest/gtest.h>

#include "tests/codecs/png_fixtures.h"

namespace {

PngFile image_start() {
    return std::move(PngFile().ihdr(1, 1, 8, 0));
}

Bytes finish(PngFile f) {
    return f.idat({0, 9}).end().bytes;
}

struct TextContext {
    PngContext c;
    TextContext() {
        init_codec_context(&c, 0);
        png_build_crc_table(&c);
    }
    ~TextContext() { close_codec_files(&c); }
};

std::string read_comment(const Bytes& file, int32_t* error = nullptr) {
    const std::u16string path = scratch_path("comment.png");
    write_bytes(path, file);
    TextContext t;
    std::vector<char> text(kPngCommentBytes, 'z');
    png_read_comment(&t.c, path, text.data());
    if (error) *error = t.c.error;
    return text.data();
}

TEST(PngText, CommentReadsWithCrLfLineEnds) {
    struct Case {
        const char* name;
        std::string stored;
        std::string want;
    } cases[] = {
        {"lf", "a\nb", "a\r\nb"},
        {"crlf_stays", "a\r\nb", "a\r\nb"},
        {"leading_lf", "\nb", "\r\nb"},
        {"esc_dropped",
         "a\x1b"
         "b",
         "ab"},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        PngFile f = image_start();
        f.text("Title", "no").text("Comment", c.stored);
        EXPECT_EQ(read_comment(finish(f)), c.want) << c.name;
    }
}

TEST(PngText, LongCommentStopsBeforeWhatDoesNotFit) {
    std::string stored(9998, 'x');
    stored += "\n";
    PngFile f = image_start();
    f.text("Comment", stored);
    EXPECT_EQ(read_comment(finish(f)), std::string(9998, 'x'));
    PngFile g = image_start();
    g.text("Comment", std::string(20000, 'y'));
    EXPECT_EQ(read_comment(finish(g)).size(), 9999u);
}

TEST(PngText, KeywordSearchStaysInsideTheChunk) {
    // "Comment" with no terminator: the 0 bytes of the next chunk's length must not be taken
    // for it.
    PngFile f = image_start();
    f.chunk("tEXt", {'C', 'o', 'm', 'm', 'e', 'n', 't'});
    const Bytes file = finish(f);
    int32_t error = -1;
    EXPECT_EQ(read_comment(file, &error), "");
    EXPECT_EQ(error, 0);
    // A short chunk that ends the mapping right after its CRC.
    Bytes cut = PngFile().ihdr(1, 1, 8, 0).chunk("tEXt", {'C', 'o'}).bytes;
    EXPECT_EQ(read_comment(cut, &error), "");
    EXPECT_EQ(error, kCodecReadFailed);
}

TEST(PngText, DamagedOrMissingChunksAndCutFiles) {
    PngFile bad = image_start();
    bad.chunk("tEXt", {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'x'}, true);
    int32_t error = -1;
    EXPECT_EQ(read_comment(finish(bad), &error), "");
    EXPECT_EQ(error, 0);
    Bytes cut = image_start().idat({0, 9}).text("Comment", "hello").end().bytes;
    cut.resize(cut.size() - 20);
    EXPECT_EQ(read_comment(cut, &error), "");
    EXPECT_EQ(error, kCodecReadFailed);
}

struct Rewrite {
    bool ok;
    int32_t mode;
    bool created;
    Bytes out;
};

Rewrite rewrite(const Bytes& file, const char* text, int32_t mode) {
    static int serial = 0;
    const std::u16string source = scratch_path("src" + std::to_string(++serial) + ".png");
    const std::u16string output = scratch_path("out" + std::to_string(serial) + ".png");
    write_bytes(source, file);
    TextContext t;
    Rewrite r;
    r.mode = mode;
    r.ok = png_write_comment(source, &t.c, output, text, &r.mode);
    close_codec_files(&t.c);
    r.created = read_bytes(output, &r.out);
    return r;
}

TEST(PngText, WriteReplacesInsertsAndRemovesOnlyTheFirstComment) {
    PngFile two = image_start();
    two.text("Comment", "first").text("Comment", "second");
    const Bytes file = finish(two);

    const Rewrite replaced = rewrite(file, "new\r\ntext", 1);
    ASSERT_TRUE(replaced.ok);
    EXPECT_EQ(replaced.mode, 0);
    EXPECT_EQ(read_comment(replaced.out), "new\r\ntext");
    Decoded d;
    decode_bytes(&d, replaced.out);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.context.state.comment_chunks, 2);
    EXPECT_EQ(d.index(0, 0), 9);

    const Rewrite removed = rewrite(file, "", 0);
    ASSERT_TRUE(removed.ok);
    EXPECT_EQ(removed.mode, -1);
    EXPECT_EQ(read_comment(removed.out), "second");
    EXPECT_EQ(removed.out.size(), file.size() - (12 + 8 + 5));

    PngFile damaged = image_start();
    damaged.chunk("tEXt", {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'x'}, true);
    const Bytes damaged_file = finish(damaged);
    const Rewrite inserted = rewrite(damaged_file, "hi", 1);
    ASSERT_TRUE(inserted.ok);
    EXPECT_EQ(inserted.mode, 1);
    EXPECT_EQ(read_comment(inserted.out), "hi");
    // The damaged chunk stays and the new one sits just before IEND.
    EXPECT_EQ(inserted.out.size(), damaged_file.size() + 12 + 10);
    EXPECT_EQ(std::memcmp(&inserted.out[inserted.out.size() - 12 - 22 + 4], "tEXt", 4), 0);

    const Rewrite nothing = rewrite(finish(image_start()), "", 0);
    EXPECT_TRUE(nothing.ok);
    EXPECT_FALSE(nothing.created);

    Bytes cut = file;
    cut.resize(40);
    const Rewrite failed = rewrite(cut, "x", 1);
    EXPECT_FALSE(failed.ok);
}

TEST(PngText, WriteFailsWithCodeFiveForBadSourcesAndSamePath) {
    const std::u16string path = scratch_path("same.png");
    write_bytes(path, finish(image_start()));
    TextContext t;
    int32_t mode = 1;
    EXPECT_FALSE(png_write_comment(path, &t.c, path, "x", &mode));
    EXPECT_EQ(t.c.error, kCodecCreateFailed);
    Bytes after;
    ASSERT_TRUE(read_bytes(path, &after));
    EXPECT_EQ(after, finish(image_start()));
    TextContext missing;
    EXPECT_FALSE(png_write_comment(scratch_path("none.png"), &missing.c, scratch_path("o.png"), "x", &mode));
    EXPECT_EQ(missing.c.error, kCodecCreateFailed);
}

struct Listed {
    bool ok;
    int32_t error;
    std::vector<std::pair<std::string, std::string>> entries;
};

Listed list(const Bytes& file) {
    const std::u16string path = scratch_path("list.png");
    write_bytes(path, file);
    TextContext t;
    Bytes buffer(kPngTextListBytes, 0);
    Listed l;
    l.ok = png_list_text_chunks(path, buffer.data(), &t.c);
    l.error = t.c.error;
    for (int i = 0; i < kPngTextEntries; ++i) {
        const char* k = reinterpret_cast<const char*>(buffer.data() + i * kPngKeywordSlot);
        const char* v = reinterpret_cast<const char*>(buffer.data() + kPngTextEntries * kPngKeywordSlot +
                                                      i * kPngTextSlot);
        if (*k) l.entries.emplace_back(k, v);
    }
    return l;
}

TEST(PngText, ListsKeywordAndTextPairs) {
    PngFile f = image_start();
    f.text(std::string(79, 'k'), "long keyword").text(std::string(80, 'K'), "too long");
    f.text("Empty", "")
        .text("Esc\x1bKey",
              "v\x1b"
              "w")
        .text("Big", std::string(3000, 'b'));
    const Listed l = list(finish(f));
    ASSERT_TRUE(l.ok);
    ASSERT_EQ(l.entries.size(), 4u);
    EXPECT_EQ(l.entries[0].first, std::string(79, 'k'));
    EXPECT_EQ(l.entries[1], (std::pair<std::string, std::string>("Empty", "")));
    EXPECT_EQ(l.entries[2], (std::pair<std::string, std::string>("EscKey", "vw")));
    EXPECT_EQ(l.entries[3].second, std::string(1024, 'b'));

    PngFile many = image_start();
    for (int i = 0; i < 17; ++i) many.text("K" + std::to_string(i), "v");
    const Listed sixteen = list(finish(many));
    ASSERT_TRUE(sixteen.ok);
    ASSERT_EQ(sixteen.entries.size(), 16u);
    EXPECT_EQ(sixteen.entries[15].first, "K15");

    const Listed none = list(finish(image_start()));
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.error, 0);

    Bytes cut = finish(image_start().text("A", "b"));
    cut.resize(cut.size() - 1);
    const Listed failed = list(cut);
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.error, kCodecReadFailed);
}

}  // namespace

namespace {

TEST(PngText, EveryPrefixFailsTheListAndNeverYieldsAPartialComment) {
    PngFile f = image_start();
    f.text("Title", "t").text("Comment", "whole comment");
    const Bytes full = finish(f);
    for (size_t n = 0; n < full.size(); ++n) {
        const Bytes prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        const Listed l = list(prefix);
        EXPECT_FALSE(l.ok) << n;
        EXPECT_EQ(l.error, kCodecReadFailed) << n;
        int32_t error = 0;
        const std::string comment = read_comment(prefix, &error);
        EXPECT_TRUE(comment.empty() ? error == kCodecReadFailed : comment == "whole comment") << n;
    }
}

#ifndef _WIN32
TEST(PngText, FailedCopyAfterTheCommentCarriesACode) {
    const std::u16string source = scratch_path("full_src.png");
    write_bytes(source, finish(image_start().text("Comment", "old")));
    TextContext t;
    int32_t mode = 1;
    EXPECT_FALSE(png_write_comment(source, &t.c, u"/dev/full", "new", &mode));
    EXPECT_NE(t.c.error, 0);
}
#endif

}  // namespace

namespace {

TEST(PngText, UnterminatedKeywordAtTheEndOfTheDataIsNotReadPast) {
    // The chunk ends the input exactly: a search past its data would leave the buffer, which
    // the sanitizers report.
    for (const Bytes& keyword : {Bytes{'C', 'o', 'm', 'm', 'e', 'n', 't'}, Bytes(79, 'k'), Bytes(200, 'k')}) {
        PngFile f = image_start();
        f.chunk("tEXt", keyword);
        const Bytes exact = f.bytes;
        PngContext c;
        init_codec_context(&c, 0);
        png_build_crc_table(&c);
        c.input = ByteCursor(exact.data(), exact.size());
        std::vector<char> text(kPngCommentBytes);
        png_read_comment_mapped(&c, text.data());
        EXPECT_EQ(text[0], 0);
        EXPECT_EQ(c.error, kCodecReadFailed);
        c.error = 0;
        c.input = ByteCursor(exact.data(), exact.size());
        Bytes buffer(kPngTextListBytes, 0);
        EXPECT_FALSE(png_list_text_chunks_mapped(buffer.data(), &c));
        EXPECT_EQ(buffer[0], 0);
        c.error = 0;
        png_reader_reset(&c);
        c.input = ByteCursor(exact.data(), exact.size());
        EXPECT_EQ(read_png_mapped(&c), nullptr);
        EXPECT_EQ(c.error, kCodecBadData);
        EXPECT_EQ(c.state.text_chunks, 0);
        png_free_buffers(&c);
    }
}

}  // namespace
