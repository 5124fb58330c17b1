#include "viewer/core/viewer_rules.h"

#include <gtest/gtest.h>

#include "tests/shell/settings_file_builder.h"

namespace {

SettingsReader parse(SettingsFileBuilder& b) {
    return settings_parse(b.bytes().data(), b.bytes().size());
}

std::vector<uint8_t> key_bytes(const std::vector<KeyEntry>& entries) {
    std::vector<uint8_t> out(entries.size() * kKeyEntryBytes);
    encode_key_entries(entries.data(), static_cast<int>(entries.size()), out.data());
    return out;
}

TEST(ViewerSettings, DefaultsWhenTheFileHasNothing) {
    SettingsFileBuilder b;
    const ViewerSettings s = read_viewer_settings(parse(b));
    EXPECT_TRUE(s.png_gamma);
    EXPECT_EQ(s.display_gamma, 2200);
    EXPECT_EQ(s.transparent_background, 0xFFFFFFu);
    EXPECT_TRUE(s.halftone);
    EXPECT_TRUE(s.keep_zoom_window);
    EXPECT_FALSE(s.keep_zoom_full_screen);
    EXPECT_TRUE(s.fit_larger_window);
    EXPECT_FALSE(s.fit_smaller_window);
    EXPECT_TRUE(s.double_click_closes);
    EXPECT_EQ(s.background_brush, 2);
    EXPECT_TRUE(s.plugin_folder.empty());
    const ViewerSettings missing = read_viewer_settings(SettingsReader{});
    EXPECT_EQ(missing.background_brush, 2);
    EXPECT_EQ(missing.display_gamma, 2200);
}

TEST(ViewerSettings, StoredValuesAreRepairedAsRead) {
    struct Case {
        int slot;
        int32_t value;
        int32_t (*field)(const ViewerSettings&);
        int32_t expected;
    };
    const Case cases[] = {
        {67, 7, [](const ViewerSettings& s) { return s.background_brush; }, 3},
        {67, -1, [](const ViewerSettings& s) { return s.background_brush; }, 3},
        {67, 4, [](const ViewerSettings& s) { return s.background_brush; }, 4},
        {29, 0, [](const ViewerSettings& s) { return s.display_gamma; }, 1},
        {29, -5, [](const ViewerSettings& s) { return s.display_gamma; }, 1},
        {29, 1800, [](const ViewerSettings& s) { return s.display_gamma; }, 1800},
        {48, 3, [](const ViewerSettings& s) { return int32_t{s.halftone}; }, 0},
        {52, 2, [](const ViewerSettings& s) { return int32_t{s.keep_zoom_window}; }, 0},  // lowest bit only
        {56, 3, [](const ViewerSettings& s) { return int32_t{s.fit_smaller_window}; }, 1},
        {49, 1, [](const ViewerSettings& s) { return s.wheel_mode_window; }, 1},
        {33, 1, [](const ViewerSettings& s) { return int32_t{s.delete_without_asking}; }, 1},
    };
    for (const Case& c : cases) {
        SettingsFileBuilder b;
        b.integer(c.slot, c.value);
        EXPECT_EQ(c.field(read_viewer_settings(parse(b))), c.expected)
            << "slot " << c.slot << " = " << c.value;
    }
    SettingsFileBuilder b;
    b.text(139, u"C:\\plug");
    EXPECT_EQ(read_viewer_settings(parse(b)).plugin_folder, u"C:\\plug");
}

TEST(ViewerKeys, DefaultsSitAtTheImageWindowsPositions) {
    KeyEntry viewer[kViewerKeyCount];
    KeyEntry image_windows[kViewKeyCount];
    fill_default_viewer_keys(viewer);
    fill_default_view_keys(image_windows);
    int bound = 0;
    for (int i = 0; i < kViewerKeyCount; ++i) {
        if (viewer[i].cmd == 0) {
            EXPECT_EQ(viewer[i].fVirt, 0) << i;
            EXPECT_EQ(viewer[i].key, 0) << i;
            continue;
        }
        ++bound;
        // The same command at the same place, so one stored table serves both programs.
        EXPECT_EQ(viewer[i].cmd, image_windows[i].cmd) << i;
        EXPECT_TRUE(viewer[i].fVirt & kFVirtKey) << i;
    }
    EXPECT_EQ(bound, 20);
    EXPECT_EQ(viewer[1].cmd, kViewerFirstFile);
    EXPECT_EQ(viewer[1].key, 0x25);
    EXPECT_EQ(viewer[15].fVirt, kFVirtKey | kFControl);
    EXPECT_EQ(viewer[18].cmd, kViewerFit);
    EXPECT_EQ(viewer[18].key, 0);
    EXPECT_EQ(viewer[47].fVirt, kFVirtKey | kFShift);
    EXPECT_EQ(viewer[47].cmd, kViewerScrollDown);
}

TEST(ViewerKeys, StoredTableIsTakenWholeAndMadeSafe) {
    KeyEntry table[kViewerKeyCount];

    // A full table written by the key customisation: taken as it is, bad values repaired.
    std::vector<KeyEntry> full(kViewerKeyCount);
    fill_default_view_keys(full.data());
    full[3] = KeyEntry{0x20, 0x123, kViewerNextFile};
    full[5] = KeyEntry{kFVirtKey | kFShift, 0x41, 8020};  // a command the viewer lacks stays bound
    SettingsFileBuilder b1;
    b1.data(kViewKeySlot, key_bytes(full));
    load_viewer_keys(parse(b1), table);
    EXPECT_EQ(table[3].fVirt, kFVirtKey);
    EXPECT_EQ(table[3].key, 0);
    EXPECT_EQ(table[3].cmd, kViewerNextFile);
    EXPECT_EQ(table[5].cmd, 8020);
    EXPECT_EQ(table[5].key, 0x41);
    EXPECT_EQ(table[26].cmd, kViewerZoomIn);

    // A shorter blob fills only its first entries.
    SettingsFileBuilder b2;
    b2.data(kViewKeySlot,
            key_bytes({KeyEntry{kFVirtKey, 0x70, kViewerFullScreen}, KeyEntry{kFVirtKey, 0x25, 8010}}));
    load_viewer_keys(parse(b2), table);
    EXPECT_EQ(table[0].cmd, kViewerFullScreen);
    EXPECT_EQ(table[1].key, 0x25);
    for (int i = 2; i < kViewerKeyCount; ++i) EXPECT_EQ(table[i].cmd, 0) << i;

    // Too long, absent, or an integer slot: the defaults.
    KeyEntry defaults[kViewerKeyCount];
    fill_default_viewer_keys(defaults);
    SettingsFileBuilder too_long, integer, none;
    too_long.data(kViewKeySlot, std::vector<uint8_t>(kViewerKeyBytes + 6, 0));
    integer.integer(kViewKeySlot, 5);
    for (SettingsFileBuilder* b : {&too_long, &integer, &none}) {
        load_viewer_keys(parse(*b), table);
        for (int i = 0; i < kViewerKeyCount; ++i) {
            EXPECT_EQ(table[i].cmd, defaults[i].cmd) << i;
            EXPECT_EQ(table[i].key, defaults[i].key) << i;
        }
    }
}

TEST(ViewerSteps, StepsStopAtBothEnds) {
    struct Case {
        int32_t command, current, count, expected;
    };
    const Case cases[] = {
        {kViewerFirstFile, 0, 5, -1},     {kViewerFirstFile, 3, 5, 0},     {kViewerLastFile, 4, 5, -1},
        {kViewerLastFile, 0, 5, 4},       {kViewerPreviousFile, 0, 5, -1}, {kViewerPreviousFile, 3, 5, 2},
        {kViewerPreviousFile, -1, 5, -1}, {kViewerNextFile, 4, 5, -1},     {kViewerNextFile, 2, 5, 3},
        {kViewerNextFile, 0, 1, -1},      {kViewerNextFile, -1, 5, 0},     {kViewerFirstFile, -1, 0, -1},
        {kViewerLastFile, -1, 0, -1},     {kViewerDelete, 1, 5, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(viewer_step_index(c.command, c.current, c.count), c.expected)
            << c.command << " at " << c.current << " of " << c.count;
}

TEST(ViewerSteps, AfterADeleteTheSameIndexOrTheFirstOrNothing) {
    EXPECT_EQ(viewer_index_after_delete(2, 5), 2);
    EXPECT_EQ(viewer_index_after_delete(4, 4), 0);   // the last entry went: back to the first
    EXPECT_EQ(viewer_index_after_delete(0, 0), -1);  // the only file went: the empty view
    EXPECT_EQ(viewer_index_after_delete(-1, 3), 0);  // nothing was selected
}

TEST(ViewerCaption, InformationTextAndZoom) {
    const std::u16string info = viewer_info_text(u"photo.bmp", 800, 600, 24, 1440054);
    EXPECT_EQ(info, u"photo.bmp  ( 800x600  24bit  1406.3KB )");
    EXPECT_EQ(viewer_caption(true, info, 5000), info + u"  50%");
    EXPECT_EQ(viewer_caption(true, info, 12345), info + u"  123%");
    EXPECT_EQ(viewer_caption(false, info, 10000), u"Qelvo");
    EXPECT_EQ(viewer_info_text(u"a", 1, 1, 8, 1023), u"a  ( 1x1  8bit  0.9KB )");
    EXPECT_EQ(viewer_info_text(u"a", 1, 1, 8, 0xFFFFFFFFu), u"a  ( 1x1  8bit  4194303.9KB )");
}

TEST(ViewerAnimation, FramesAdvanceAndALoopCountStopsOnTheFirstFrame) {
    struct Case {
        int32_t current, count, loops;
        int32_t frame, loops_after;
        bool stop;
    };
    const Case cases[] = {
        {0, 3, 0, 1, 0, false},  // within the frames
        {2, 3, 0, 0, 0, false},  // endless: back to the first
        {2, 3, 2, 0, 1, false},  // one more round
        {2, 3, 1, 0, 0, true},   // the last round ends on the first frame
        {1, 2, 1, 0, 0, true},  {0, 2, 1, 1, 1, false},
    };
    for (const Case& c : cases) {
        const ViewerFrameStep step = viewer_next_frame(c.current, c.count, c.loops);
        EXPECT_EQ(step.frame, c.frame) << c.current << "/" << c.count << " loops " << c.loops;
        EXPECT_EQ(step.loops_left, c.loops_after) << c.current << "/" << c.count << " loops " << c.loops;
        EXPECT_EQ(step.stop, c.stop) << c.current << "/" << c.count << " loops " << c.loops;
    }
}

TEST(ViewerBar, MovesShowTheBarAtTheTopAndHideItOnTheNextMove) {
    using A = ViewerMoveAction;
    struct Case {
        const char* what;
        bool active, bar_shown, cursor_shown;
        int32_t x, y, client_height;
        A expected;
    };
    // The cursor, when hidden, was hidden at (100, 100).
    const Case cases[] = {
        {"entering: top row", true, false, true, 5, 0, 300, A::kShowBar},
        {"entering: last revealing row", true, false, true, 5, 9, 300, A::kShowBar},
        {"below the revealing rows", true, false, true, 5, 10, 300, A::kNothing},
        {"a client that cannot hold the bar", true, false, true, 5, 0, 48, A::kNothing},
        {"the lowest client that can", true, false, true, 5, 0, 49, A::kShowBar},
        {"leaving: any move that reaches the view", true, true, true, 5, 200, 300, A::kHideBar},
        {"leaving wins over revealing", true, true, true, 5, 0, 300, A::kHideBar},
        {"an inactive process changes nothing", false, false, true, 5, 0, 300, A::kNothing},
        {"inactive with the bar shown", false, true, false, 5, 200, 300, A::kNothing},
        {"a hidden cursor at the top still shows the bar", true, false, false, 100, 0, 300, A::kShowBar},
        {"hidden cursor: the still band", true, false, false, 116, 84, 300, A::kNothing},
        {"hidden cursor: just past it across", true, false, false, 117, 100, 300, A::kShowCursor},
        {"hidden cursor: just past it down", true, false, false, 100, 117, 300, A::kShowCursor},
        {"hidden cursor: just past it up", true, false, false, 100, 83, 300, A::kShowCursor},
        {"hidden cursor: diagonal inside both limits", true, false, false, 84, 116, 300, A::kNothing},
    };
    for (const Case& c : cases) {
        ViewerMoveState s;
        s.active = c.active;
        s.bar_shown = c.bar_shown;
        s.cursor_shown = c.cursor_shown;
        s.x = c.x;
        s.y = c.y;
        s.client_height = c.client_height;
        s.hidden_x = 100;
        s.hidden_y = 100;
        EXPECT_EQ(viewer_move_action(s), c.expected) << c.what;
    }
}

TEST(ViewerCaption, ButtonTooltipsNameTheirKey) {
    KeyEntry keys[kViewerKeyCount];
    fill_default_viewer_keys(keys);
    EXPECT_EQ(viewer_button_tooltip(u"拡大表示", keys[26].fVirt, keys[26].key), u"拡大表示 (PageUp)");
    EXPECT_EQ(viewer_button_tooltip(u"左回転", keys[15].fVirt, keys[15].key), u"左回転 (Ctrl+←)");
    EXPECT_EQ(viewer_button_tooltip(u"画面に合わせて表示", keys[18].fVirt, keys[18].key),
              u"画面に合わせて表示");
    EXPECT_EQ(viewer_button_tooltip(u"最小化", 0, 0), u"最小化");
    EXPECT_EQ(viewer_button_tooltip(u"x", kFVirtKey | kFControl | kFShift, 'Z'), u"x (Ctrl+Shift+Z)");
}

TEST(ViewerCaption, TurnedImageSizeIsAnUncompressedBmp) {
    // 1000 x 600 at 24 bits turned: 600 x 1000.
    EXPECT_EQ(turned_image_size(600, 1000, 24), 1800054u);
    EXPECT_EQ(viewer_info_text(u"t.jpg", 600, 1000, 24, turned_image_size(600, 1000, 24)),
              u"t.jpg  ( 600x1000  24bit  1757.8KB )");
    EXPECT_EQ(turned_image_size(1000, 600, 24), 1800054u);
    EXPECT_EQ(turned_image_size(3, 2, 8), 4u * 2 + 54);  // rows padded to 4 bytes
    EXPECT_EQ(turned_image_size(5, 1, 24), 16u + 54);
    EXPECT_EQ(turned_image_size(25000, 25000, 24), 1875000054u);
}

TEST(ViewerListing, ExtensionLengthKeepsShortNameMatchesOut) {
    struct Case {
        const char16_t* name;
        size_t length;
        bool expected;
    };
    const Case cases[] = {
        {u"a.JPG", 4, true},  {u"b.jpeg", 4, false},  // "*.jpe" finds b.jpeg through its short name
        {u"b.jpeg", 5, true}, {u"c.jpe", 4, true},   {u"d.tiff", 5, true},  {u"d.tiff", 4, false},
        {u"e", 4, false},     {u"x.y.png", 4, true}, {u"x.png ", 4, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(viewer_extension_length_matches(c.name, c.length), c.expected) << c.length;
    EXPECT_EQ(std::u16string(kViewerExtensions[0]), u".bmp");
    EXPECT_EQ(std::u16string(kViewerExtensions[7]), u".gif");
}

TEST(ViewerSizing, EdgesShrinkButNeverGrowPastTheLargestSize) {
    ViewerSizing s;
    s.largest_width = 500;
    s.largest_height = 400;
    s.frame_width = 16;
    s.frame_height = 39;
    s.min_window_width = 136;
    s.image_width = 800;
    s.image_height = 600;

    ViewerRect r{100, 100, 700, 450};
    EXPECT_EQ(viewer_sizing(kSizeRight, s, &r), 1);
    EXPECT_EQ(r.right, 600);
    r = ViewerRect{0, 100, 500, 450};
    EXPECT_EQ(viewer_sizing(kSizeLeft, s, &r), 1);
    EXPECT_EQ(r.left, 0);  // already within: unchanged
    r = ViewerRect{0, 0, 400, 450};
    EXPECT_EQ(viewer_sizing(kSizeTop, s, &r), 1);
    EXPECT_EQ(r.top, 50);
    r = ViewerRect{0, 0, 400, 300};
    EXPECT_EQ(viewer_sizing(kSizeBottom, s, &r), 1);
    EXPECT_EQ(r.bottom, 300);
}

TEST(ViewerSizing, CornersKeepTheImageProportions) {
    ViewerSizing s;
    s.largest_width = 500;
    s.largest_height = 400;
    s.frame_width = 16;
    s.frame_height = 39;
    s.min_window_width = 136;
    s.image_width = 800;
    s.image_height = 600;
    ViewerRect r{100, 100, 300, 439};  // client height 300 wants a client width of 400
    EXPECT_EQ(viewer_sizing(kSizeBottomRight, s, &r), 2);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.right, 516);
    r = ViewerRect{100, 100, 900, 439};
    EXPECT_EQ(viewer_sizing(kSizeTopLeft, s, &r), 2);
    EXPECT_EQ(r.right, 900);
    EXPECT_EQ(r.left, 484);
    r = ViewerRect{100, 100, 300, 139};  // client height 0: the window keeps the system minimum
    EXPECT_EQ(viewer_sizing(kSizeBottomLeft, s, &r), 2);
    EXPECT_EQ(r.left, 300 - 136);
    r = ViewerRect{0, 0, 10, 10};
    EXPECT_EQ(viewer_sizing(9, s, &r), 0);
}

TEST(ViewerPlacement, TheImageCentreStaysAndTheWindowStaysInTheWorkArea) {
    ViewerPlacementInput in;
    in.display_width = 400;
    in.display_height = 300;
    in.centre_x = 960;
    in.centre_y = 500;
    in.frame_left = 8;
    in.frame_top = 31;
    in.frame_width = 16;
    in.frame_height = 39;
    in.min_window_width = 136;
    in.work_area = ViewerRect{0, 0, 1920, 1040};
    ViewerRect r = viewer_window_placement(in);
    EXPECT_EQ(r.left, 960 - 200 - 8);
    EXPECT_EQ(r.top, 500 - 150 - 31);
    EXPECT_EQ(r.right - r.left, 416);
    EXPECT_EQ(r.bottom - r.top, 339);

    // Narrower than the system minimum: the window is that wide, moved left by half the difference.
    in.display_width = 20;
    r = viewer_window_placement(in);
    EXPECT_EQ(r.right - r.left, 136);
    EXPECT_EQ(r.left, 960 - 10 - 8 - (136 - 36) / 2);

    // Larger than the work area: capped; past the right or bottom edge: moved back inside.
    in.display_width = 3000;
    in.display_height = 2000;
    r = viewer_window_placement(in);
    EXPECT_EQ(r.right - r.left, 1920);
    EXPECT_EQ(r.bottom - r.top, 1040);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    in.display_width = 400;
    in.display_height = 300;
    in.centre_x = 1900;
    in.centre_y = 1030;
    r = viewer_window_placement(in);
    EXPECT_EQ(r.right, 1920);
    EXPECT_EQ(r.bottom, 1040);
    // Work areas that do not start at 0 (a second monitor, a task bar at the top).
    in.work_area = ViewerRect{1920, 40, 3840, 1080};
    in.centre_x = 1930;
    in.centre_y = 50;
    r = viewer_window_placement(in);
    EXPECT_EQ(r.left, 1920);
    EXPECT_EQ(r.top, 40);
}

TEST(ViewerPlacement, StartWindowIsCentredOnTheWorkArea) {
    const ViewerRect r = viewer_start_placement(400, 300, 8, 31, 16, 39, ViewerRect{0, 0, 1920, 1040});
    EXPECT_EQ(r.left + 8, (1920 - 400) / 2);
    EXPECT_EQ(r.top + 31, (1040 - 300) / 2);
    EXPECT_EQ(r.right - r.left, 416);
    const ViewerRect small = viewer_start_placement(400, 300, 8, 31, 16, 39, ViewerRect{100, 0, 400, 200});
    EXPECT_EQ(small.right - small.left, 300);
    EXPECT_EQ(small.bottom - small.top, 200);
    EXPECT_EQ(small.left, 100);
    EXPECT_EQ(small.top, 0);
}

}  // namespace
