#include "shell/core/settings_table.h"

#include <gtest/gtest.h>

#include <climits>

#include "tests/shell/settings_file_builder.h"
#include "tests/shell/unique_scratch.h"
#include "tests/support/test_support.h"

namespace {

// A tool's settings as a later room would keep them: plain fields, an array, a nested record.
struct Panel {
    int32_t method = -100;
    int32_t size = -100;
    int32_t contiguous = -100;
    int32_t colour = -100;
    int32_t mode = -100;
    int32_t strengths[3] = {-100, -100, -100};
    struct {
        int32_t right = -100;
    } offset;
    std::u16string face;
    std::u16string caption;
    std::u16string comment;
    std::vector<std::u16string> recent;
};

constexpr auto kStrength = [](auto& s, int i) -> decltype(auto) { return (s.strengths[i]); };

constexpr SettingsSlot<Panel> kPanelSlots[] = {
    {296, &Panel::method, 0, INT32_MIN, 2, SlotRule::in_range},  // a value above 2 gives 0
    {298, &Panel::size, 24, 3, 128},                             // clamped to 3 ... 128
    {300, &Panel::contiguous, 1, SlotRule::flag},
    {305, &Panel::colour, 0xFFA060, SlotRule::colour},
    {320, &Panel::mode, 2},
    {322, {kStrength, 0}, 20, 0, 255},
    {323, {kStrength, 1}, 50, 0, 255},
    {324, {kStrength, 2}, 100, 0, 255},
    {379, [](auto& s) -> decltype(auto) { return (s.offset.right); }, 2, 1, 99},
    {369, &Panel::face, u"MS UI Gothic", SlotRule::text_unless_read},
    {370, &Panel::caption, u"Output"},
    {420, &Panel::comment, nullptr, SlotRule::long_text},
    {430, &Panel::recent, 4},
};

// How a case stores its slot.
enum class Stored { absent, integer, text, outside };

struct NumberCase {
    const char* what;
    int slot;
    Stored stored;
    int32_t value;
    int32_t Panel::*field;
    int32_t expected;
};

const NumberCase kNumberCases[] = {
    {"absent", 298, Stored::absent, 0, &Panel::size, 24},
    {"in range", 298, Stored::integer, 50, &Panel::size, 50},
    {"lowest", 298, Stored::integer, 3, &Panel::size, 3},
    {"highest", 298, Stored::integer, 128, &Panel::size, 128},
    {"below", 298, Stored::integer, 2, &Panel::size, 3},
    {"far below", 298, Stored::integer, INT32_MIN, &Panel::size, 3},
    {"above", 298, Stored::integer, 129, &Panel::size, 128},
    {"far above", 298, Stored::integer, INT32_MAX, &Panel::size, 128},
    {"a string", 298, Stored::text, 0, &Panel::size, 24},
    {"bytes outside the file", 298, Stored::outside, 0, &Panel::size, 24},
    {"in range, unclamped below", 296, Stored::integer, -5, &Panel::method, -5},
    {"above the range", 296, Stored::integer, 3, &Panel::method, 0},
    {"a string", 296, Stored::text, 0, &Panel::method, 0},
    {"flag, other bits", 300, Stored::integer, 6, &Panel::contiguous, 0},
    {"flag, bit 0", 300, Stored::integer, -1, &Panel::contiguous, 1},
    {"flag absent", 300, Stored::absent, 0, &Panel::contiguous, 1},
    {"colour, top byte", 305, Stored::integer, static_cast<int32_t>(0xAB123456), &Panel::colour, 0x123456},
    {"plain value", 320, Stored::integer, -77, &Panel::mode, -77},
    {"plain value as a string", 320, Stored::text, 0, &Panel::mode, 2},
};

std::u16string write_file(SettingsFileBuilder& b, const std::string& name) {
    const std::u16string path = unique_scratch_path(name);
    EXPECT_TRUE(write_bytes(path, b.bytes()));
    return path;
}

void store(SettingsFileBuilder& b, int slot, Stored how, int32_t value) {
    switch (how) {
        case Stored::absent: break;
        case Stored::integer: b.integer(slot, value); break;
        case Stored::text: b.text(slot, u"12"); break;
        case Stored::outside: b.entry(slot, 1 << 20, 4); break;
    }
}

TEST(SettingsTableTest, IntegerSlotsFromAFileOnDisk) {
    for (const NumberCase& c : kNumberCases) {
        SettingsFileBuilder b;
        store(b, c.slot, c.stored, c.value);
        Panel p;
        EXPECT_TRUE(load_settings_file(write_file(b, "numbers.ini"), kPanelSlots, &p));
        EXPECT_EQ(p.*(c.field), c.expected) << "slot " << c.slot << ": " << c.what;
    }
}

TEST(SettingsTableTest, ArrayAndNestedFieldsLoadAndClampEachOnItsOwn) {
    SettingsFileBuilder b;
    b.integer(322, -4).integer(324, 256).integer(379, 0);
    Panel p;
    ASSERT_TRUE(load_settings_file(write_file(b, "fields.ini"), kPanelSlots, &p));
    EXPECT_EQ(p.strengths[0], 0);
    EXPECT_EQ(p.strengths[1], 50);
    EXPECT_EQ(p.strengths[2], 255);
    EXPECT_EQ(p.offset.right, 1);
}

TEST(SettingsTableTest, StringSlotsFromAFileOnDisk) {
    const std::u16string longest(259, u'x');
    const std::u16string too_long(260, u'y');
    const std::u16string longest_comment(10000, u'c');
    const struct {
        const char* what;
        int slot;
        std::u16string stored;  // empty: absent
        std::u16string Panel::*field;
        std::u16string expected;
    } cases[] = {
        {"absent, with a default", 370, u"", &Panel::caption, u"Output"},
        {"stored", 370, u"mine", &Panel::caption, u"mine"},
        {"259 characters", 370, longest, &Panel::caption, longest},
        {"260 characters", 370, too_long, &Panel::caption, u"Output"},
        {"absent from a readable file", 369, u"", &Panel::face, u""},
        {"stored face", 369, u"Serif", &Panel::face, u"Serif"},
        {"over length face", 369, too_long, &Panel::face, u""},
        {"long text absent", 420, u"", &Panel::comment, u""},
        {"long text of 10,000", 420, longest_comment, &Panel::comment, longest_comment},
        {"long text of 10,001", 420, longest_comment + u"c", &Panel::comment, u""},
    };
    for (const auto& c : cases) {
        SettingsFileBuilder b;
        if (!c.stored.empty()) b.text(c.slot, c.stored);
        Panel p;
        EXPECT_TRUE(load_settings_file(write_file(b, "texts.ini"), kPanelSlots, &p));
        EXPECT_EQ(p.*(c.field), c.expected) << "slot " << c.slot << ": " << c.what;
    }

    // Wrong kinds and damaged entries read as absent.
    SettingsFileBuilder b;
    b.integer(370, 5).entry(369, 1 << 20, 8).entry(420, 4004, -2);
    Panel p;
    ASSERT_TRUE(load_settings_file(write_file(b, "damaged-texts.ini"), kPanelSlots, &p));
    EXPECT_EQ(p.caption, u"Output");
    EXPECT_EQ(p.face, u"");
    EXPECT_EQ(p.comment, u"");
}

TEST(SettingsTableTest, TextListStopsAtTheFirstEmptySlot) {
    SettingsFileBuilder b;
    b.text(430, u"a").text(431, u"b").text(433, u"after-gap").text(434, u"beyond");
    Panel p;
    ASSERT_TRUE(load_settings_file(write_file(b, "list.ini"), kPanelSlots, &p));
    EXPECT_EQ(p.recent, (std::vector<std::u16string>{u"a", u"b"}));
}

TEST(SettingsTableTest, WithoutAFileEveryRowTakesItsDefault) {
    Panel p;
    EXPECT_TRUE(load_settings_file(unique_scratch_path("never-written.ini"), kPanelSlots, &p));
    EXPECT_EQ(p.method, 0);
    EXPECT_EQ(p.size, 24);
    EXPECT_EQ(p.contiguous, 1);
    EXPECT_EQ(p.colour, 0xFFA060);
    EXPECT_EQ(p.strengths[2], 100);
    EXPECT_EQ(p.offset.right, 2);
    EXPECT_EQ(p.face, u"MS UI Gothic");
    EXPECT_EQ(p.caption, u"Output");
    EXPECT_TRUE(p.recent.empty());

    // A foreign file is no settings file either.
    SettingsFileBuilder foreign;
    foreign.bytes()[0] = 'M';
    Panel q;
    EXPECT_TRUE(load_settings_file(write_file(foreign, "foreign.ini"), kPanelSlots, &q));
    EXPECT_EQ(q.face, u"MS UI Gothic");
}

struct FailingReads : SettingsFileOps {
    SettingsFileStatus read_file(const std::u16string&, std::vector<uint8_t>* bytes, uint32_t) override {
        bytes->clear();
        return SettingsFileStatus::failed;
    }
    bool write_new_file(const std::u16string&, const uint8_t*, size_t) override { return false; }
    bool replace_file(const std::u16string&, const std::u16string&) override { return false; }
    void delete_file(const std::u16string&) override {}
    void pause_ms(uint32_t) override {}
};

TEST(SettingsTableTest, AFileThatCannotBeReadGivesDefaultsAndIsReportedAndNotWritten) {
    SettingsFileBuilder b;
    b.integer(298, 77);
    const std::u16string path = write_file(b, "unreadable.ini");
    FailingReads failing;
    SettingsFileOps* previous = set_settings_file_ops(&failing);
    Panel p;
    const bool read = load_settings_file(path, kPanelSlots, &p);
    p.size = 99;
    const bool written = save_settings_file(path, kPanelSlots, p);
    set_settings_file_ops(previous);
    EXPECT_FALSE(read);
    EXPECT_EQ(p.method, 0);
    EXPECT_EQ(p.face, u"MS UI Gothic");
    EXPECT_FALSE(written);
    Panel again;
    ASSERT_TRUE(load_settings_file(path, kPanelSlots, &again));
    EXPECT_EQ(again.size, 77);
}

TEST(SettingsTableTest, SavingWritesEveryRowAndKeepsTheOtherSlots) {
    SettingsFileBuilder b;
    b.integer(5, 1234).text(139, u"C:\\plugins").text(430, u"old1").text(431, u"old2").text(432, u"old3");
    const std::u16string path = write_file(b, "save.ini");
    Panel p;
    ASSERT_TRUE(load_settings_file(path, kPanelSlots, &p));
    p.method = 1;
    p.size = 100;
    p.contiguous = 0;
    p.colour = 0x010203;
    p.mode = 7;
    p.strengths[0] = 11;
    p.strengths[1] = 12;
    p.strengths[2] = 13;
    p.offset.right = 98;
    p.face = u"Gothic";
    p.caption = u"caption";
    p.comment = std::u16string(10000, u'z');
    p.recent = {u"new1"};
    ASSERT_TRUE(save_settings_file(path, kPanelSlots, p));

    Panel back;
    ASSERT_TRUE(load_settings_file(path, kPanelSlots, &back));
    EXPECT_EQ(back.method, 1);
    EXPECT_EQ(back.size, 100);
    EXPECT_EQ(back.contiguous, 0);
    EXPECT_EQ(back.colour, 0x010203);
    EXPECT_EQ(back.mode, 7);
    EXPECT_EQ(back.strengths[0], 11);
    EXPECT_EQ(back.strengths[1], 12);
    EXPECT_EQ(back.strengths[2], 13);
    EXPECT_EQ(back.offset.right, 98);
    EXPECT_EQ(back.face, u"Gothic");
    EXPECT_EQ(back.caption, u"caption");
    EXPECT_EQ(back.comment, p.comment);
    EXPECT_EQ(back.recent, p.recent);

    SettingsReader r = settings_open_read(path);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(settings_int(r, 5, 0), 1234);
    EXPECT_EQ(settings_string(r, 139), u"C:\\plugins");
    // Each row in its own slot; the list's unused slots are emptied, not left with old names.
    EXPECT_EQ(settings_int(r, 322, 0), 11);
    EXPECT_EQ(settings_int(r, 324, 0), 13);
    EXPECT_EQ(settings_int(r, 379, 0), 98);
    EXPECT_EQ(settings_string(r, 430), u"new1");
    for (int slot = 431; slot < 434; ++slot) EXPECT_EQ(settings_entry(r, slot).offset, 0) << slot;
    settings_close_read(r);
}

}  // namespace
