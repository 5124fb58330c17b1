#include "shell/core/settings_slots.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/shell/settings_file_builder.h"
#include "tests/shell/unique_scratch.h"
#include "tests/support/test_support.h"

namespace {

MainSettingsEnvironment environment() {
    MainSettingsEnvironment env;
    env.work_area = ScreenRect{0, 0, 1280, 994};
    env.largest_square = 900;
    env.folder_exists = [](const std::u16string& f) { return f.find(u"gone") == std::u16string::npos; };
    env.pictures_folder = u"C:\\Pictures";
    return env;
}

MainSettings load_main(SettingsFileBuilder& b) {
    SettingsReader r = settings_parse(b.bytes().data(), b.bytes().size());
    MainSettings s;
    load_main_settings(r, environment(), &s);
    return s;
}

SingleViewSettings load_view(SettingsFileBuilder& b) {
    SettingsReader r = settings_parse(b.bytes().data(), b.bytes().size());
    SingleViewSettings s;
    load_single_view_settings(r, WindowPlace{100, 50, 1000, 700}, &s);
    return s;
}

TEST(MainSettingsTest, DefaultsWithoutAFile) {
    SettingsReader none;
    MainSettings s;
    load_main_settings(none, environment(), &s);
    EXPECT_EQ(s.window.left, 640 - 400);
    EXPECT_EQ(s.window.top, 497 - 300);
    EXPECT_EQ(s.window.width, 800);
    EXPECT_EQ(s.window.height, 600);
    EXPECT_EQ(s.preview_max, 900);
    EXPECT_EQ(s.thumb_width, 144);
    EXPECT_EQ(s.marked_colour, 0x80FFFF);
    ASSERT_EQ(s.folders.size(), 1u);
    EXPECT_EQ(s.folders[0], u"C:\\Pictures");
    EXPECT_EQ(s.viewer_limit, 5);
    EXPECT_EQ(s.presets[0].width, 0);
}

TEST(MainSettingsTest, ClampedSlots) {
    struct Case {
        int slot;
        int32_t stored;
        int32_t MainSettings::*field;
        int32_t expected;
    } cases[] = {
        {11, 20, &MainSettings::thumb_width, 32},
        {11, 2000, &MainSettings::thumb_width, 800},
        {12, 2000, &MainSettings::thumb_height, 800},
        {12, 31, &MainSettings::thumb_height, 32},
        {12, 32, &MainSettings::thumb_height, 32},
        {11, 800, &MainSettings::thumb_width, 800},
        {26, 50, &MainSettings::preview_max, 100},
        {26, 5000, &MainSettings::preview_max, 900},
        {26, 400, &MainSettings::preview_max, 400},
        {27, 6, &MainSettings::options_page, 0},
        {27, 5, &MainSettings::options_page, 5},
        {27, -1, &MainSettings::options_page, 0},
        {0, 3, &MainSettings::maximised, 1},
        {7, 2, &MainSettings::tree_auto_show, 0},
        {13, 0x12345678, &MainSettings::marked_colour, 0x345678},
        {32, -1, &MainSettings::background_colour, 0xFFFFFF},
        {16, 2, &MainSettings::view_layout, 2},
        {16, 7, &MainSettings::view_layout, 0},
    };
    for (const Case& c : cases) {
        SettingsFileBuilder b;
        b.integer(c.slot, c.stored);
        EXPECT_EQ(load_main(b).*(c.field), c.expected) << "slot " << c.slot << " = " << c.stored;
    }
    SettingsFileBuilder b;
    b.integer(9, 0x10041).integer(10, -1);
    const MainSettings s = load_main(b);
    EXPECT_EQ(s.info_column_width[0], 0x41);
    EXPECT_EQ(s.info_column_width[1], 0xFFFF);
}

TEST(MainSettingsTest, FoldersSkipMissingAndStopAtTheFirstEmpty) {
    SettingsFileBuilder b;
    b.text(196, u"C:\\a").text(197, u"C:\\gone").text(198, u"C:\\c").text(200, u"C:\\after-gap");
    const MainSettings s = load_main(b);
    ASSERT_EQ(s.folders.size(), 2u);
    EXPECT_EQ(s.folders[0], u"C:\\a");
    EXPECT_EQ(s.folders[1], u"C:\\c");
}

TEST(MainSettingsTest, SizePresets) {
    SettingsFileBuilder b;
    b.integer(398, 20).integer(406, 2000).integer(399, 100).integer(400, 300).integer(408, 0);
    const MainSettings s = load_main(b);
    EXPECT_EQ(s.presets[0].width, 32);
    EXPECT_EQ(s.presets[0].height, 800);
    EXPECT_EQ(s.presets[1].width, 0);  // height missing: empty
    EXPECT_EQ(s.presets[2].width, 0);  // height 0: empty
    EXPECT_EQ(s.presets[2].height, 0);
}

TEST(MainSettingsTest, RoundTripThroughTheStore) {
    SettingsFileBuilder b;
    b.integer(11, 200)
        .integer(16, 1)
        .integer(385, 9)
        .text(140, u"C:\\tool.exe")
        .text(196, u"C:\\x")
        .integer(401, 64)
        .integer(409, 48)
        .integer(29, 1800)
        .text(41, u"rename");
    const MainSettings first = load_main(b);
    SettingsWriter w = settings_begin_write(nullptr, 0);
    save_main_settings(w, first);
    const std::vector<uint8_t> image = settings_build_image(w);
    SettingsReader r = settings_parse(image.data(), image.size());
    MainSettings second;
    load_main_settings(r, environment(), &second);
    EXPECT_EQ(second.thumb_width, 200);
    EXPECT_EQ(second.view_layout, 1);
    EXPECT_EQ(second.viewer_limit, 9);
    EXPECT_EQ(second.tool_path[0], u"C:\\tool.exe");
    EXPECT_EQ(second.folders, first.folders);
    EXPECT_EQ(second.presets[3].width, 64);
    EXPECT_EQ(second.presets[3].height, 48);
    EXPECT_EQ(second.display_gamma, 1800);
    EXPECT_EQ(second.rename_texts[1], u"rename");
    EXPECT_EQ(second.window.left, first.window.left);
    // Every integer of the group lands in its own slot.
    for (int slot = 0; slot <= 46; ++slot)
        if (slot != 40 && slot != 41) {
            EXPECT_EQ(settings_entry(r, slot).offset, 1) << slot;
        }
    EXPECT_EQ(settings_int(r, 12, 0), 108);
    EXPECT_EQ(settings_int(r, 26, 0), 900);
    EXPECT_EQ(settings_int(r, 39, -1), 0);
    EXPECT_EQ(settings_int(r, 46, 0), 1);
    EXPECT_EQ(settings_int(r, 383, 0), 2);
}

TEST(SingleViewSettingsTest, LimitsAndDefaults) {
    struct Case {
        int slot;
        int32_t stored;  // INT32_MIN: absent
        int32_t expected;
    } cases[] = {
        {48, INT32_MIN, 4}, {48, 4, 4},  {48, 0, 3},
        {48, 5, 3},         {66, 61, 1}, {66, 0, 1},
        {66, 60, 60},       {67, 5, 3},  {67, -1, 3},
        {67, 4, 4},         {68, 9, 1},  {77, 6, 2},
        {77, 5, 5},         {78, 9, 24}, {78, 8, 8},
        {78, 0, 24},        {80, 4, 0},  {82, 10, 9},
        {82, 0, 0},         {86, 6, 0},  {87, 0, 75},
        {87, 101, 75},      {87, 1, 1},  {88, 3, 0},
        {90, 3, 2},         {90, 1, 1},  {85, 0x7F000102, 0x000102},
    };
    for (const Case& c : cases) {
        SettingsFileBuilder b;
        if (c.stored != INT32_MIN) b.integer(c.slot, c.stored);
        const SingleViewSettings s = load_view(b);
        int32_t got = 0;
        switch (c.slot) {
            case 48: got = s.stretch_mode; break;
            case 66: got = s.slide_interval; break;
            case 67: got = s.view_background; break;
            case 68: got = s.edit_background; break;
            case 77: got = s.save.save_format; break;
            case 78: got = s.save.target_bits; break;
            case 80: got = s.save.dither_mode; break;
            case 82: got = s.save.png_compression; break;
            case 85: got = s.save.transparent_colour; break;
            case 86: got = s.save.png_filter; break;
            case 87: got = s.save.jpeg_quality; break;
            case 88: got = s.save.jpeg_sampling; break;
            case 90: got = s.save.jpeg_markers; break;
        }
        EXPECT_EQ(got, c.expected) << "slot " << c.slot << " = " << c.stored;
    }
    SettingsFileBuilder b;
    b.integer(74, 400);
    const SingleViewSettings s = load_view(b);
    EXPECT_EQ(s.edit_window.left, 100 + (1000 - 400) / 2);
    EXPECT_EQ(s.edit_window.top, 50 + (700 - 600) / 2);
}

TEST(SingleViewSettingsTest, RoundTrip) {
    SettingsFileBuilder b;
    b.integer(65, 1).integer(66, 30).integer(72, 11).integer(93, 250).integer(384, 0).integer(60, 1);
    const SingleViewSettings first = load_view(b);
    SettingsWriter w = settings_begin_write(nullptr, 0);
    save_single_view_settings(w, first);
    const std::vector<uint8_t> image = settings_build_image(w);
    SettingsReader r = settings_parse(image.data(), image.size());
    for (int slot = 48; slot <= 93; ++slot) EXPECT_EQ(settings_entry(r, slot).offset, 1) << slot;
    EXPECT_EQ(settings_int(r, 66, 0), 30);
    EXPECT_EQ(settings_int(r, 72, 0), 11);
    EXPECT_EQ(settings_int(r, 93, 0), 250);
    EXPECT_EQ(settings_int(r, 384, 1), 0);
    EXPECT_EQ(settings_int(r, 60, 0), 1);
    EXPECT_EQ(settings_int(r, 87, 0), 75);
}

TEST(ConversionSettingsTest, DefaultsLimitsAndRoundTrip) {
    SettingsFileBuilder b;
    b.integer(94, 6)
        .integer(96, 50)
        .text(110, u"pre")
        .text(164, u"C:\\out1")
        .text(165, u"C:\\out2")
        .text(167, u"C:\\after-gap");
    SettingsReader r = settings_parse(b.bytes().data(), b.bytes().size());
    ConversionSettings s;
    load_conversion_settings(r, &s);
    EXPECT_EQ(s.at(94), 2);
    EXPECT_EQ(s.at(96), 50);
    EXPECT_EQ(s.at(136), 1);
    EXPECT_EQ(s.at(115), 1);
    EXPECT_EQ(s.subfolder, u"Output");
    EXPECT_EQ(s.prefix, u"pre");
    ASSERT_EQ(s.history.size(), 2u);

    s.comment = std::u16string(10000, u'c');
    SettingsWriter w = settings_begin_write(nullptr, 0);
    save_conversion_settings(w, s);
    const std::vector<uint8_t> image = settings_build_image(w);
    SettingsReader back = settings_parse(image.data(), image.size());
    ConversionSettings t;
    load_conversion_settings(back, &t);
    EXPECT_EQ(t.comment.size(), 10000u);
    EXPECT_EQ(t.history, s.history);
    EXPECT_EQ(t.prefix, u"pre");
    for (int slot = kBatchFirstSlot; slot <= kBatchLastSlot; ++slot)
        if (is_conversion_int_slot(slot)) {
            EXPECT_EQ(t.at(slot), s.at(slot)) << slot;
        }
}

// Every slot each group owns, worked out from the slot lists by hand.
std::set<int> slot_range(int first, int last) {
    std::set<int> s;
    for (int i = first; i <= last; ++i) s.insert(i);
    return s;
}

template <typename S>
std::set<int> table_slots(const std::vector<SettingsSlot<S>>& table) {
    std::set<int> slots;
    for (const SettingsSlot<S>& e : table) {
        const int first = e.slot, count = e.count;
        for (int i = 0; i < count; ++i)
            EXPECT_TRUE(slots.insert(first + i).second) << "slot twice: " << first + i;
    }
    return slots;
}

TEST(SettingsSlotTableTest, EachGroupOwnsExactlyItsSlots) {
    std::set<int> main = slot_range(0, 46);
    for (int s : slot_range(139, 163)) main.insert(s);
    for (int s : slot_range(196, 295)) main.insert(s);
    for (int s : slot_range(398, 413)) main.insert(s);
    main.insert({382, 383, 385});
    EXPECT_EQ(table_slots(main_settings_slots()), main);
    std::set<int> view = slot_range(48, 93);
    view.insert(384);
    EXPECT_EQ(table_slots(single_view_settings_slots()), view);
    std::set<int> batch = slot_range(94, 136);
    for (int s : slot_range(164, 195)) batch.insert(s);
    EXPECT_EQ(table_slots(conversion_settings_slots()), batch);
}

// A stored value that passes the slot's rule and differs from its default.
int32_t value_other_than_default(SlotRule rule, int32_t fallback, int32_t low, int32_t high) {
    switch (rule) {
        case SlotRule::flag: return fallback ^ 1;
        case SlotRule::colour: return (fallback ^ 0x010203) & 0xFFFFFF;
        case SlotRule::low16: return (fallback + 7) & 0xFFFF;
        case SlotRule::clamp:
        case SlotRule::in_range: return low != fallback ? low : high;
        case SlotRule::bits: return fallback == 24 ? 8 : 24;
        case SlotRule::quality: return 3;
        default: return fallback + 12345;
    }
}

// Each integer slot on its own: it lands in its own field and nowhere else, and the exit pass
// writes it back to the same slot.
template <typename S, typename Load, typename Save>
void check_each_integer_slot(const std::vector<SettingsSlot<S>>& table, Load load, Save save) {
    SettingsFileBuilder empty;
    const S defaults = load(empty);
    for (const SettingsSlot<S>& e : table) {
        if (!e.number || e.rule == SlotRule::computed) continue;
        const int32_t v = value_other_than_default(e.rule, e.fallback, e.low, e.high);
        SettingsFileBuilder b;
        b.integer(e.slot, v);
        S loaded = load(b);
        EXPECT_EQ(e.number(loaded), v) << "slot " << e.slot;
        for (const SettingsSlot<S>& f : table) {
            // Computed defaults may follow other slots (the edit window is centred for its size).
            if (!f.number || f.slot == e.slot || f.rule == SlotRule::computed) continue;
            S d = defaults;
            EXPECT_EQ(f.number(loaded), f.number(d)) << e.slot << " touched " << f.slot;
        }
        SettingsWriter w = settings_begin_write(nullptr, 0);
        save(w, loaded);
        const std::vector<uint8_t> image = settings_build_image(w);
        EXPECT_EQ(settings_int(settings_parse(image.data(), image.size()), e.slot, v + 1), v) << e.slot;
    }
}

TEST(SettingsSlotTableTest, EveryIntegerSlotLoadsIntoItsOwnFieldAndIsWrittenBack) {
    check_each_integer_slot(
        main_settings_slots(), [](SettingsFileBuilder& b) { return load_main(b); },
        [](SettingsWriter& w, const MainSettings& s) { save_main_settings(w, s); });
    check_each_integer_slot(
        single_view_settings_slots(), [](SettingsFileBuilder& b) { return load_view(b); },
        [](SettingsWriter& w, const SingleViewSettings& s) { save_single_view_settings(w, s); });
    check_each_integer_slot(
        conversion_settings_slots(),
        [](SettingsFileBuilder& b) {
            SettingsReader r = settings_parse(b.bytes().data(), b.bytes().size());
            ConversionSettings s;
            load_conversion_settings(r, &s);
            return s;
        },
        [](SettingsWriter& w, const ConversionSettings& s) { save_conversion_settings(w, s); });
}

TEST(SettingsSlotTableTest, StringSlotsLandInTheirOwnFields) {
    SettingsFileBuilder b;
    for (const SettingsSlot<MainSettings>& e : main_settings_slots())
        if (e.text) b.text(e.slot, u"s" + std::u16string(1, static_cast<char16_t>(u'0' + e.slot % 40)));
    const MainSettings s = load_main(b);
    EXPECT_EQ(s.main_text, u"s" + std::u16string(1, static_cast<char16_t>(u'0' + 139 % 40)));
    for (int i = 0; i < kToolCount; ++i) {
        EXPECT_EQ(s.tool_path[i][1], u'0' + (140 + i) % 40) << i;
        EXPECT_EQ(s.tool_name[i][1], u'0' + (148 + i) % 40) << i;
        EXPECT_EQ(s.tool_params[i][1], u'0' + (156 + i) % 40) << i;
    }
    EXPECT_EQ(s.rename_texts[0][1], u'0');
    EXPECT_EQ(s.rename_texts[1][1], u'1');
}

// A damaged settings file on disk, read the way the program reads it: every value out of its
// range comes back clamped or as its default, and entries of the wrong kind or pointing outside
// the file read as absent.
TEST(SettingsGroupsFromDiskTest, DamagedFileValuesComeBackClampedOrDefaulted) {
    SettingsFileBuilder b;
    b.integer(0, 0xFE)
        .integer(3, 10000)
        .integer(4, 20)
        .text(6, u"170")
        .integer(11, 20)
        .integer(12, 2000)
        .integer(13, static_cast<int32_t>(0xFF00FF00))
        .integer(16, 9)
        .integer(26, 50000)
        .integer(27, 6)
        .integer(29, -5)
        .text(139, std::u16string(300, u'p'))
        .text(140, u"C:\\tool.exe")
        .integer(148, 3)
        .integer(398, 1)
        .integer(406, 9000)
        .integer(399, -40)
        .text(407, u"60");
    b.integer(48, 0)
        .integer(66, 61)
        .integer(67, -1)
        .integer(68, 5)
        .integer(77, 6)
        .integer(78, 9)
        .integer(80, -1)
        .integer(82, 10)
        .integer(85, static_cast<int32_t>(0xAB123456))
        .integer(86, 6)
        .integer(87, 0)
        .integer(88, 3)
        .integer(90, 3)
        .text(92, u"1")
        .integer(384, 2);
    b.integer(94, 6)
        .text(95, u"9")
        .integer(113, 4)
        .text(120, std::u16string(10001, u'c'))
        .text(164, u"C:\\out")
        .entry(165, 1 << 20, 8)
        .text(166, u"C:\\after-damage");
    // The first folder's bytes lie past the end of the file.
    b.entry(196, 4000000, 10).text(197, u"C:\\second");
    const std::u16string path = unique_scratch_path("damaged.ini");
    ASSERT_TRUE(write_bytes(path, b.bytes()));
    SettingsReader r = settings_open_read(path);
    ASSERT_TRUE(r.ok);

    MainSettings m;
    load_main_settings(r, environment(), &m);
    EXPECT_EQ(m.maximised, 0);
    EXPECT_EQ(m.window.width, 10000);  // the main window shrinks it to the work area
    EXPECT_EQ(m.window.height, 20);
    EXPECT_EQ(m.tree_width, 170);
    EXPECT_EQ(m.thumb_width, 32);
    EXPECT_EQ(m.thumb_height, 800);
    EXPECT_EQ(m.marked_colour, 0x00FF00);
    EXPECT_EQ(m.view_layout, 0);
    EXPECT_EQ(m.preview_max, 900);
    EXPECT_EQ(m.options_page, 0);
    EXPECT_EQ(m.display_gamma, -5);
    EXPECT_EQ(m.main_text, u"");
    EXPECT_EQ(m.tool_path[0], u"C:\\tool.exe");
    EXPECT_EQ(m.tool_name[0], u"");
    EXPECT_TRUE(m.folders.empty());  // a readable file: no pictures folder in place of it
    EXPECT_EQ(m.presets[0].width, 32);
    EXPECT_EQ(m.presets[0].height, 800);
    EXPECT_EQ(m.presets[1].width, 0);  // the height is a string: an empty preset
    EXPECT_EQ(m.presets[1].height, 0);

    SingleViewSettings v;
    load_single_view_settings(r, WindowPlace{100, 50, 1000, 700}, &v);
    EXPECT_EQ(v.stretch_mode, 3);
    EXPECT_EQ(v.slide_interval, 1);
    EXPECT_EQ(v.view_background, 3);
    EXPECT_EQ(v.edit_background, 1);
    EXPECT_EQ(v.save.save_format, 2);
    EXPECT_EQ(v.save.target_bits, 24);
    EXPECT_EQ(v.save.dither_mode, 0);
    EXPECT_EQ(v.save.png_compression, 9);
    EXPECT_EQ(v.save.transparent_colour, 0x123456);
    EXPECT_EQ(v.save.png_filter, 0);
    EXPECT_EQ(v.save.jpeg_quality, 75);
    EXPECT_EQ(v.save.jpeg_sampling, 0);
    EXPECT_EQ(v.save.jpeg_markers, 2);
    EXPECT_EQ(v.save.jpeg_size_limit_on, 0);
    EXPECT_EQ(v.both_buttons_edit, 0);

    ConversionSettings c;
    load_conversion_settings(r, &c);
    EXPECT_EQ(c.at(94), 2);
    EXPECT_EQ(c.at(95), 9);
    EXPECT_EQ(c.subfolder, u"Output");
    EXPECT_EQ(c.comment, u"");
    EXPECT_EQ(c.history, std::vector<std::u16string>{u"C:\\out"});
    settings_close_read(r);
}

}  // namespace
