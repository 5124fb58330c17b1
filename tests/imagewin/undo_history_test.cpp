#include "imagewin/core/undo_history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

// Step files in memory, with failures to order. Handles are small numbers; each remembers its
// file and position.
class MemoryUndoFiles : public UndoFileOps {
public:
    std::map<std::u16string, std::vector<uint8_t>> files;
    bool fail_create_temp = false;
    bool fail_open_write = false;
    int writes_before_failure = -1;  // -1: never fails
    int64_t read_limit = -1;         // bytes a handle delivers before reads come back short
    int temp_number = 0;

    bool create_temp_file(std::u16string* path) override {
        if (fail_create_temp) return false;
        *path = u"T:\\tmp" + to_u16(++temp_number) + u".tmp";
        files[*path].clear();
        return true;
    }

    OsHandle open_write(const std::u16string& path) override {
        if (fail_open_write) return kClosedFile;
        files[path].clear();
        return open(path);
    }

    bool write(OsHandle file, const void* data, uint32_t size) override {
        if (writes_before_failure == 0) return false;
        if (writes_before_failure > 0) --writes_before_failure;
        std::vector<uint8_t>& bytes = files[open_[file].path];
        const uint8_t* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
        return true;
    }

    OsHandle open_read(const std::u16string& path) override {
        return files.count(path) ? open(path) : kClosedFile;
    }

    bool size(OsHandle file, uint64_t* size) override {
        *size = files[open_[file].path].size();
        return true;
    }

    bool read(OsHandle file, void* buffer, uint32_t size, uint32_t* got) override {
        Open& o = open_[file];
        const std::vector<uint8_t>& bytes = files[o.path];
        uint64_t available = bytes.size() - o.position;
        if (read_limit >= 0)
            available = std::min<uint64_t>(available, read_limit - std::min<int64_t>(read_limit, o.position));
        *got = static_cast<uint32_t>(std::min<uint64_t>(size, available));
        std::copy(bytes.begin() + o.position, bytes.begin() + o.position + *got,
                  static_cast<uint8_t*>(buffer));
        o.position += *got;
        return true;
    }

    void close(OsHandle file) override { open_.erase(file); }

    void delete_file(const std::u16string& path) override { files.erase(path); }

    size_t open_handles() const { return open_.size(); }

    void disarm() {
        fail_create_temp = false;
        fail_open_write = false;
        writes_before_failure = -1;
        read_limit = -1;
    }

private:
    struct Open {
        std::u16string path;
        int64_t position = 0;
    };

    static std::u16string to_u16(int n) {
        const std::string s = std::to_string(n);
        return std::u16string(s.begin(), s.end());
    }

    OsHandle open(const std::u16string& path) {
        const OsHandle h = ++last_handle_;
        open_[h] = Open{path, 0};
        return h;
    }

    std::map<OsHandle, Open> open_;
    OsHandle last_handle_ = 100;
};

// A small image whose every byte tells it apart from the images of other seeds.
struct TestImage {
    StepHeader header;
    RgbQuad palette[256] = {};
    std::vector<uint8_t> rows;

    TestImage(int32_t width, int32_t height, int32_t bit_count, int seed) {
        header = StepHeader{width, height, bit_count};
        for (int i = 0; i < 256; ++i) {
            palette[i] = RgbQuad{static_cast<uint8_t>(i + seed), static_cast<uint8_t>(i * 3),
                                 static_cast<uint8_t>(255 - i), 0};
        }
        rows.resize(static_cast<size_t>(step_stride_bytes(header) * height));
        for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<uint8_t>(i * 7 + seed);
    }

    StepImage view() const { return StepImage{header, palette, rows.data()}; }
};

// Rows read back land here, one buffer per read.
struct RowsSink {
    std::vector<std::unique_ptr<std::vector<uint8_t>>> buffers;
    int calls = 0;
    bool refuse = false;

    StepRowsAllocator allocator() {
        return [this](const StepHeader& h, const RgbQuad*) -> uint8_t* {
            ++calls;
            if (refuse) return nullptr;
            buffers.push_back(std::make_unique<std::vector<uint8_t>>(step_stride_bytes(h) * h.height));
            return buffers.back()->data();
        };
    }
};

void put_le32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The step file as the record layout describes it, field by field.
std::vector<uint8_t> expected_file(const TestImage& image, int32_t width) {
    std::vector<uint8_t> out;
    put_le32(out, static_cast<uint32_t>(width));
    put_le32(out, static_cast<uint32_t>(image.header.height));
    put_le32(out, static_cast<uint32_t>(image.header.bit_count));
    if (image.header.bit_count != 24) {
        for (const RgbQuad& q : image.palette) {
            out.push_back(q.blue);
            out.push_back(q.green);
            out.push_back(q.red);
            out.push_back(0);
        }
    }
    out.insert(out.end(), image.rows.begin(), image.rows.end());
    return out;
}

struct RoundTripCase {
    int32_t width;
    int32_t bit_count;
    int32_t stride;
};

// Strides from the rule (width x bytes per pixel + 3) rounded down to a multiple of 4.
const RoundTripCase kRoundTrips[] = {
    {1, 8, 4}, {3, 8, 4}, {5, 8, 8}, {1, 24, 4}, {3, 24, 12}, {5, 24, 16},
};

TEST(StepFileTest, RoundTripsThroughTheTemporaryFolderFieldByField) {
    for (const RoundTripCase& c : kRoundTrips) {
        SCOPED_TRACE(testing::Message() << c.width << " x 3 at " << c.bit_count << " bits");
        TestImage image(c.width, 3, c.bit_count, c.width);
        ASSERT_EQ(step_stride_bytes(image.header), c.stride);
        UndoFileOps& ops = portable_undo_file_ops();
        std::u16string path;
        ASSERT_TRUE(ops.create_temp_file(&path));
        ASSERT_TRUE(write_step_file(ops, path, image.view()));

        std::vector<uint8_t> bytes;
        ASSERT_TRUE(read_bytes(path, &bytes));
        EXPECT_EQ(bytes, expected_file(image, c.width));
        EXPECT_EQ(static_cast<int64_t>(bytes.size()), step_file_bytes(image.header));

        RowsSink sink;
        StepFile back;
        ASSERT_TRUE(read_step_file(ops, path, sink.allocator(), &back));
        EXPECT_EQ(back.header.width, c.width);
        EXPECT_EQ(back.header.height, 3);
        EXPECT_EQ(back.header.bit_count, c.bit_count);
        ASSERT_EQ(sink.buffers.size(), 1u);
        EXPECT_EQ(*sink.buffers[0], image.rows);
        for (int i = 0; i < 256; ++i) {
            const RgbQuad want = c.bit_count == 24 ? RgbQuad{0, 0, 0, 0} : image.palette[i];
            EXPECT_EQ(back.palette[i].blue, want.blue);
            EXPECT_EQ(back.palette[i].green, want.green);
            EXPECT_EQ(back.palette[i].red, want.red);
            EXPECT_EQ(back.palette[i].reserved, 0);
        }
        ops.delete_file(path);
    }
}

TEST(StepFileTest, TemporaryNamesAreNewFilesEachTime) {
    UndoFileOps& ops = portable_undo_file_ops();
    std::u16string a, b;
    ASSERT_TRUE(ops.create_temp_file(&a));
    ASSERT_TRUE(ops.create_temp_file(&b));
    EXPECT_NE(a, b);
    std::vector<uint8_t> bytes{1};
    EXPECT_TRUE(read_bytes(a, &bytes));
    EXPECT_TRUE(bytes.empty());
    ops.delete_file(a);
    ops.delete_file(b);
    EXPECT_FALSE(read_bytes(a, &bytes));
}

struct CorruptCase {
    const char* name;
    void (*damage)(std::vector<uint8_t>& file);
};

void set_field(std::vector<uint8_t>& file, size_t offset, int32_t value) {
    for (int i = 0; i < 4; ++i)
        file[offset + i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
}

// Damage done to a valid 8-bit 5 x 3 step file.
const CorruptCase kCorrupt[] = {
    {"empty", [](std::vector<uint8_t>& f) { f.clear(); }},
    {"header cut", [](std::vector<uint8_t>& f) { f.resize(11); }},
    {"palette cut", [](std::vector<uint8_t>& f) { f.resize(12 + 1023); }},
    {"last row byte missing", [](std::vector<uint8_t>& f) { f.pop_back(); }},
    {"a byte too many", [](std::vector<uint8_t>& f) { f.push_back(0); }},
    {"1 bit", [](std::vector<uint8_t>& f) { set_field(f, 8, 1); }},
    {"16 bits", [](std::vector<uint8_t>& f) { set_field(f, 8, 16); }},
    {"32 bits", [](std::vector<uint8_t>& f) { set_field(f, 8, 32); }},
    {"24 bits claimed by an 8-bit file", [](std::vector<uint8_t>& f) { set_field(f, 8, 24); }},
    {"width 0", [](std::vector<uint8_t>& f) { set_field(f, 0, 0); }},
    {"width -5", [](std::vector<uint8_t>& f) { set_field(f, 0, -5); }},
    {"width 25,001", [](std::vector<uint8_t>& f) { set_field(f, 0, 25001); }},
    {"height 0", [](std::vector<uint8_t>& f) { set_field(f, 4, 0); }},
    {"height -3 (top-down)", [](std::vector<uint8_t>& f) { set_field(f, 4, -3); }},
    {"height 25,001", [](std::vector<uint8_t>& f) { set_field(f, 4, 25001); }},
    {"height larger than the rows", [](std::vector<uint8_t>& f) { set_field(f, 4, 4); }},
    {"width past the row padding", [](std::vector<uint8_t>& f) { set_field(f, 0, 9); }},
};

class StepFileReadTest : public testing::Test {
protected:
    void SetUp() override {
        TestImage image(5, 3, 8, 1);
        ASSERT_TRUE(write_step_file(files_, u"step", image.view()));
        valid_ = files_.files[u"step"];
    }

    bool read(const std::vector<uint8_t>& bytes, RowsSink* sink) {
        files_.files[u"step"] = bytes;
        StepFile out;
        const bool ok = read_step_file(files_, u"step", sink->allocator(), &out);
        EXPECT_EQ(files_.open_handles(), 0u);
        return ok;
    }

    MemoryUndoFiles files_;
    std::vector<uint8_t> valid_;
};

TEST_F(StepFileReadTest, DamagedFilesAreRefused) {
    for (const CorruptCase& c : kCorrupt) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = valid_;
        c.damage(bytes);
        RowsSink sink;
        EXPECT_FALSE(read(bytes, &sink));
    }
}

TEST_F(StepFileReadTest, EveryPrefixIsRefusedBeforeAnyRowsAreAsked) {
    for (size_t n = 0; n < valid_.size(); ++n) {
        RowsSink sink;
        ASSERT_FALSE(read(std::vector<uint8_t>(valid_.begin(), valid_.begin() + n), &sink)) << n;
        ASSERT_EQ(sink.calls, 0) << n;
    }
    RowsSink sink;
    EXPECT_TRUE(read(valid_, &sink));
}

TEST_F(StepFileReadTest, ShortReadsMissingFilesAndRefusedMemoryFail) {
    RowsSink sink;
    files_.read_limit = static_cast<int64_t>(valid_.size()) - 1;  // the size says whole, the read stops short
    EXPECT_FALSE(read(valid_, &sink));
    files_.read_limit = -1;

    sink.refuse = true;
    EXPECT_FALSE(read(valid_, &sink));

    RowsSink unused;
    StepFile out;
    EXPECT_FALSE(read_step_file(files_, u"no such step", unused.allocator(), &out));
}

TEST_F(StepFileReadTest, ImagesThatNoStepCanHoldAreNotWritten) {
    TestImage image(5, 3, 8, 1);
    StepImage bad = image.view();
    bad.header.bit_count = 32;
    EXPECT_FALSE(write_step_file(files_, u"other", bad));
    bad = image.view();
    bad.palette = nullptr;
    EXPECT_FALSE(write_step_file(files_, u"other", bad));
    bad = image.view();
    bad.header.width = 25001;
    EXPECT_FALSE(write_step_file(files_, u"other", bad));
    EXPECT_EQ(files_.files.count(u"other"), 0u);
}

// The history over files in memory; each pushed image is told apart by its width.
class UndoHistoryTest : public testing::Test {
protected:
    void SetUp() override { previous_ = set_undo_file_ops(&files_); }
    void TearDown() override {
        history_clear(history_, 0);
        set_undo_file_ops(previous_);
    }

    UndoResult push(int32_t width, const char16_t* name = u"step") {
        TestImage image(width, 2, 24, width);
        shown_ = image.header;
        return history_push_step(history_, image.view(), name);
    }

    UndoResult move(int32_t delta, UndoMove* out = nullptr) {
        UndoMove local;
        UndoMove* m = out ? out : &local;
        const UndoResult r = history_move(history_, delta, shown_, sink_.allocator(), m);
        if (r == UndoResult::ok) shown_ = m->image.header;
        return r;
    }

    MemoryUndoFiles files_;
    UndoFileOps* previous_ = nullptr;
    UndoHistory history_;
    RowsSink sink_;
    StepHeader shown_;
};

enum class Op { push, failed_push, undo, redo, save };

struct SequenceCase {
    const char* name;
    std::vector<Op> ops;
    int32_t current_step;
    int32_t step_count;
    bool unsaved;
};

// Each sequence starts from a freshly loaded image, so an empty history reads as saved.
const SequenceCase kSequences[] = {
    {"loaded", {}, 0, 0, false},
    {"one edit", {Op::push, Op::push}, 1, 2, true},
    {"undo to the loaded image", {Op::push, Op::push, Op::undo}, 0, 2, false},
    {"saved", {Op::push, Op::push, Op::save}, 1, 2, false},
    {"save, undo", {Op::push, Op::push, Op::save, Op::undo}, 0, 2, true},
    {"save, undo, redo", {Op::push, Op::push, Op::save, Op::undo, Op::redo}, 1, 2, false},
    {"save, undo, new edit", {Op::push, Op::push, Op::push, Op::save, Op::undo, Op::push}, 2, 3, true},
    {"save, undo, new edit, undo, redo",
     {Op::push, Op::push, Op::push, Op::save, Op::undo, Op::push, Op::undo, Op::redo},
     2,
     3,
     true},
    {"failed first edit", {Op::failed_push, Op::failed_push}, 0, 0, true},
    {"first step kept, edit failed", {Op::push, Op::failed_push}, 0, 1, true},
    {"failed edit after a save", {Op::push, Op::push, Op::save, Op::failed_push}, 1, 2, true},
    {"failed edit after a save, undo, redo",
     {Op::push, Op::push, Op::save, Op::failed_push, Op::undo, Op::redo},
     1,
     2,
     false},
    {"failed first step, edit recorded", {Op::failed_push, Op::push}, 0, 1, true},
    {"save after a failed edit", {Op::push, Op::push, Op::failed_push, Op::save}, 1, 2, false},
    {"save after a failed edit, undo, redo",
     {Op::push, Op::push, Op::failed_push, Op::save, Op::undo, Op::redo},
     1,
     2,
     true},
};

TEST_F(UndoHistoryTest, SequencesReadSavedOnlyWhenTheImageIsTheFilesImage) {
    for (const SequenceCase& c : kSequences) {
        SCOPED_TRACE(c.name);
        history_clear(history_, 2);
        shown_ = StepHeader{100, 2, 24};
        int32_t width = 1;
        for (Op op : c.ops) {
            switch (op) {
                case Op::push: ASSERT_EQ(push(width++), UndoResult::ok); break;
                case Op::failed_push:
                    files_.fail_create_temp = true;
                    EXPECT_EQ(push(width++), UndoResult::save_failed);
                    files_.fail_create_temp = false;
                    break;
                case Op::undo: ASSERT_EQ(move(-1), UndoResult::ok); break;
                case Op::redo: ASSERT_EQ(move(+1), UndoResult::ok); break;
                case Op::save: history_mark_saved(history_); break;
            }
        }
        EXPECT_EQ(history_.current_step, c.current_step);
        EXPECT_EQ(history_.step_count(), c.step_count);
        EXPECT_EQ(history_unsaved(history_), c.unsaved);
        EXPECT_EQ(files_.files.size(), static_cast<size_t>(c.step_count));
    }
}

TEST_F(UndoHistoryTest, EveryFailedPushLeavesNoFileAndTheImageChanged) {
    struct Failure {
        const char* name;
        void (*arm)(MemoryUndoFiles& f);
    };
    const Failure failures[] = {
        {"no temporary name", [](MemoryUndoFiles& f) { f.fail_create_temp = true; }},
        {"file not opened", [](MemoryUndoFiles& f) { f.fail_open_write = true; }},
        {"header not written", [](MemoryUndoFiles& f) { f.writes_before_failure = 0; }},
        {"rows not written", [](MemoryUndoFiles& f) { f.writes_before_failure = 1; }},
    };
    for (const Failure& failure : failures) {
        SCOPED_TRACE(failure.name);
        history_clear(history_, 3);
        ASSERT_EQ(push(1, u"元の画像"), UndoResult::ok);
        ASSERT_EQ(push(2), UndoResult::ok);
        history_mark_saved(history_);
        failure.arm(files_);
        const UndoResult r = push(3);
        files_.disarm();
        EXPECT_EQ(r, UndoResult::save_failed);
        EXPECT_EQ(undo_error_box_code(r), 18);
        EXPECT_EQ(history_.step_count(), 2);
        EXPECT_EQ(history_.current_step, 1);
        EXPECT_EQ(files_.files.size(), 2u);
        EXPECT_EQ(files_.open_handles(), 0u);
        EXPECT_TRUE(history_unsaved(history_));
    }
}

TEST_F(UndoHistoryTest, PushingDropsTheRedoStepsAndTheirFiles) {
    history_clear(history_, 2);
    for (int32_t w = 1; w <= 4; ++w) ASSERT_EQ(push(w), UndoResult::ok);
    const std::u16string dropped2 = history_.steps[2].path, dropped3 = history_.steps[3].path;
    ASSERT_EQ(move(-2), UndoResult::ok);
    ASSERT_EQ(push(9, u"new"), UndoResult::ok);
    ASSERT_EQ(history_.step_count(), 3);
    EXPECT_EQ(history_.current_step, 2);
    EXPECT_TRUE(std::u16string(history_.steps[2].name) == u"new");
    EXPECT_EQ(files_.files.count(dropped2) + files_.files.count(dropped3), 0u);
    EXPECT_EQ(move(+1), UndoResult::no_step);
    UndoMove m;
    ASSERT_EQ(move(-1, &m), UndoResult::ok);
    EXPECT_EQ(m.image.header.width, 2);
}

TEST_F(UndoHistoryTest, NothingHappensPastEitherEnd) {
    history_clear(history_, 2);
    EXPECT_EQ(move(-1), UndoResult::no_step);
    EXPECT_EQ(move(+1), UndoResult::no_step);
    ASSERT_EQ(push(1), UndoResult::ok);
    ASSERT_EQ(push(2), UndoResult::ok);
    EXPECT_EQ(move(+1), UndoResult::no_step);
    EXPECT_EQ(move(-2), UndoResult::no_step);
    EXPECT_EQ(move(INT32_MIN), UndoResult::no_step);
    EXPECT_EQ(move(INT32_MAX), UndoResult::no_step);
    EXPECT_EQ(undo_error_box_code(UndoResult::no_step), -1);
    EXPECT_EQ(sink_.calls, 0);
    EXPECT_EQ(history_.current_step, 1);
}

TEST_F(UndoHistoryTest, TheLimitDropsTheLoadedImagesStepWithItsNameAndItsSavedState) {
    std::vector<std::u16string> names;
    for (int i = 0; i <= kUndoStepLimit + 5; ++i) {
        const std::string s = "step " + std::to_string(i);
        names.emplace_back(s.begin(), s.end());
    }
    history_clear(history_, 3);  // the loaded JPEG is the saved image
    for (int i = 0; i <= kUndoStepLimit; ++i) ASSERT_EQ(push(i + 1, names[i].c_str()), UndoResult::ok);

    // The 1,001st push dropped step 0.
    ASSERT_EQ(history_.step_count(), kUndoStepLimit);
    EXPECT_EQ(history_.current_step, kUndoStepLimit - 1);
    EXPECT_EQ(files_.files.size(), static_cast<size_t>(kUndoStepLimit));
    for (int s = 0; s < kUndoStepLimit; ++s) ASSERT_TRUE(history_.steps[s].name == names[s + 1].c_str()) << s;
    EXPECT_TRUE(history_unsaved(history_));

    // Every step shows its own image; none of them is the file's image, and the new first
    // step does not make the lossless JPEG save available.
    UndoMove m;
    ASSERT_EQ(move(-(kUndoStepLimit - 1), &m), UndoResult::ok);
    EXPECT_EQ(m.image.header.width, 2);
    EXPECT_EQ(m.source_format, kUndoFormatBmp);
    for (int s = 1; s < kUndoStepLimit; ++s) {
        ASSERT_EQ(move(+1, &m), UndoResult::ok);
        ASSERT_EQ(m.image.header.width, s + 2);
        ASSERT_TRUE(history_unsaved(history_)) << s;
    }
}

TEST_F(UndoHistoryTest, TheSavedStepStaysSavedWhenTheLimitMovesItDown) {
    history_clear(history_, 2);
    for (int i = 0; i < kUndoStepLimit; ++i) ASSERT_EQ(push(i + 1), UndoResult::ok);
    ASSERT_EQ(move(-500), UndoResult::ok);
    history_mark_saved(history_);  // at step 499
    ASSERT_EQ(move(+500), UndoResult::ok);
    ASSERT_EQ(push(5000), UndoResult::ok);  // steps 1..999 move down a place
    EXPECT_EQ(history_.step_count(), kUndoStepLimit);
    UndoMove m;
    ASSERT_EQ(move(-501, &m), UndoResult::ok);
    EXPECT_EQ(history_.current_step, 498);
    EXPECT_EQ(m.image.header.width, 500);
    EXPECT_FALSE(history_unsaved(history_));
    ASSERT_EQ(move(+1), UndoResult::ok);
    EXPECT_TRUE(history_unsaved(history_));
}

TEST_F(UndoHistoryTest, OnlyTheLoadedImagesStepGivesTheStartFormatBack) {
    history_clear(history_, 3);
    ASSERT_EQ(push(1, u"元の画像"), UndoResult::ok);
    ASSERT_EQ(push(2), UndoResult::ok);
    UndoMove m;
    ASSERT_EQ(move(-1, &m), UndoResult::ok);
    EXPECT_EQ(m.source_format, 3);
    ASSERT_EQ(move(+1, &m), UndoResult::ok);
    EXPECT_EQ(m.source_format, kUndoFormatBmp);

    // The first step failed, so step 0 holds the edited image, not the file's.
    history_clear(history_, 3);
    files_.fail_create_temp = true;
    EXPECT_EQ(push(1, u"元の画像"), UndoResult::save_failed);
    files_.fail_create_temp = false;
    ASSERT_EQ(push(2), UndoResult::ok);
    ASSERT_EQ(move(0, &m), UndoResult::ok);
    EXPECT_EQ(m.source_format, kUndoFormatBmp);
    EXPECT_TRUE(history_unsaved(history_));
}

TEST_F(UndoHistoryTest, SelectionSurvivesOnlyASameSizeSameDepthStep) {
    struct Case {
        StepHeader step;
        StepHeader shown;
        bool size_changed;
        bool keep_selection;
    };
    const Case cases[] = {
        {{4, 2, 24}, {4, 2, 24}, false, true}, {{4, 2, 24}, {4, 2, 8}, false, false},
        {{4, 2, 8}, {4, 2, 24}, false, false}, {{4, 2, 24}, {5, 2, 24}, true, false},
        {{4, 2, 24}, {4, 3, 24}, true, false},
    };
    for (const Case& c : cases) {
        history_clear(history_, 2);
        TestImage image(c.step.width, c.step.height, c.step.bit_count, 1);
        ASSERT_EQ(history_push_step(history_, image.view(), u"step"), UndoResult::ok);
        UndoMove m;
        ASSERT_EQ(history_move(history_, 0, c.shown, sink_.allocator(), &m), UndoResult::ok);
        EXPECT_EQ(m.size_changed, c.size_changed);
        EXPECT_EQ(m.keep_selection, c.keep_selection);
        EXPECT_EQ(m.source_bits, c.step.bit_count);
        const uint32_t palette = c.step.bit_count == 8 ? 1024 : 0;
        EXPECT_EQ(m.file_size,
                  static_cast<uint32_t>(step_stride_bytes(c.step) * c.step.height) + palette + 54);
    }
}

TEST_F(UndoHistoryTest, AStepThatCannotBeReadLeavesEverythingAsItWas) {
    history_clear(history_, 2);
    ASSERT_EQ(push(1), UndoResult::ok);
    ASSERT_EQ(push(2), UndoResult::ok);
    ASSERT_EQ(push(3), UndoResult::ok);
    history_mark_saved(history_);
    files_.files.erase(history_.steps[1].path);
    files_.files[history_.steps[0].path].pop_back();
    for (int32_t delta : {-1, -2}) {
        const UndoResult r = move(delta);
        EXPECT_EQ(r, UndoResult::run_failed);
        EXPECT_EQ(undo_error_box_code(r), 19);
        EXPECT_EQ(history_.current_step, 2);
        EXPECT_FALSE(history_unsaved(history_));
    }
    EXPECT_EQ(files_.open_handles(), 0u);
}

TEST_F(UndoHistoryTest, ClearingDeletesEveryFileAndCountsTheImageSaved) {
    history_clear(history_, 2);
    for (int32_t w = 1; w <= 3; ++w) ASSERT_EQ(push(w), UndoResult::ok);
    EXPECT_TRUE(history_unsaved(history_));
    history_clear(history_, 5);
    EXPECT_TRUE(files_.files.empty());
    EXPECT_EQ(history_.step_count(), 0);
    EXPECT_EQ(history_.current_step, 0);
    EXPECT_EQ(history_.start_format, 5);
    EXPECT_FALSE(history_unsaved(history_));
}

}  // namespace
