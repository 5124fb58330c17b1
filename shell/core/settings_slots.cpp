#include "shell/core/settings_slots.h"

#include <iterator>

namespace {

using MainSlot = SettingsSlot<MainSettings>;
using ViewSlot = SettingsSlot<SingleViewSettings>;
using BatchSlot = SettingsSlot<ConversionSettings>;

constexpr int32_t kBoxMin = 32;
constexpr int32_t kBoxMax = 800;
constexpr int32_t kPreviewMin = 100;
constexpr int kFolderSlot = 196;
constexpr int kPresetWidthSlot = 398;
constexpr int kPresetHeightSlot = 406;
constexpr int kHistorySlot = 164;

std::vector<MainSlot> build_main_slots() {
    using S = MainSettings;
    constexpr SlotRule flag = SlotRule::flag;
    constexpr auto column = [](auto& s, int i) -> decltype(auto) { return (s.info_column_width[i]); };
    constexpr auto caption = [](auto& s, int i) -> decltype(auto) { return (s.caption_lines[i]); };
    constexpr auto rename_value = [](auto& s, int i) -> decltype(auto) { return (s.rename_values[i]); };
    constexpr auto rename_flag = [](auto& s, int i) -> decltype(auto) { return (s.rename_flags[i]); };
    constexpr auto rename_text = [](auto& s, int i) -> decltype(auto) { return (s.rename_texts[i]); };
    constexpr auto tool_path = [](auto& s, int i) -> decltype(auto) { return (s.tool_path[i]); };
    constexpr auto tool_name = [](auto& s, int i) -> decltype(auto) { return (s.tool_name[i]); };
    constexpr auto tool_params = [](auto& s, int i) -> decltype(auto) { return (s.tool_params[i]); };
    constexpr auto preset_width = [](auto& s, int i) -> decltype(auto) { return (s.presets[i].width); };
    constexpr auto preset_height = [](auto& s, int i) -> decltype(auto) { return (s.presets[i].height); };
    constexpr auto help = [](auto& s, int i) -> decltype(auto) { return (s.help_at_start[i]); };
    std::vector<MainSlot> t = {
        {0, &S::maximised, 0, flag},
        // The default place centres the default size on the work area, whatever size is stored.
        {1, [](auto& s) -> decltype(auto) { return (s.window.left); }, 0, SlotRule::computed},
        {2, [](auto& s) -> decltype(auto) { return (s.window.top); }, 0, SlotRule::computed},
        {3, [](auto& s) -> decltype(auto) { return (s.window.width); }, 800},
        {4, [](auto& s) -> decltype(auto) { return (s.window.height); }, 600},
        {6, &S::tree_width, 170},
        {7, &S::tree_auto_show, 0, flag},
        {8, &S::info_list_shown, 1, flag},
        {9, {column, 0}, 58, SlotRule::low16},
        {10, {column, 1}, 108, SlotRule::low16},
        {5, &S::hidden_mask, 2},
        {385, &S::viewer_limit, 5},
        {139, &S::main_text},
    };
    for (int i = 0; i < kToolCount; ++i) {
        t.push_back({140 + i, {tool_path, i}});
        t.push_back({148 + i, {tool_name, i}});
        t.push_back({156 + i, {tool_params, i}});
    }
    t.push_back({kFolderSlot, &S::folders, kFolderSlots});
    // A preset is empty unless both of its slots are set: see load_main_settings.
    for (int i = 0; i < kSizePresetCount; ++i) {
        t.push_back({kPresetWidthSlot + i, {preset_width, i}, 0, SlotRule::computed});
        t.push_back({kPresetHeightSlot + i, {preset_height, i}, 0, SlotRule::computed});
    }
    const MainSlot rest[] = {
        {11, &S::thumb_width, 144, kBoxMin, kBoxMax},
        {12, &S::thumb_height, 108, kBoxMin, kBoxMax},
        {13, &S::marked_colour, 0x80FFFF, SlotRule::colour},
        {14, &S::action_image_double, 1},
        {15, &S::action_info_double, 3},
        // Only three layouts exist; anything else would show no view at all.
        {16, &S::view_layout, 0, 0, 2, SlotRule::in_range},
        {17, &S::preview_enabled, 1, flag},
        {18, &S::captions_shown, 1, flag},
        {19, {caption, 0}, 1, flag},
        {20, {caption, 1}, 1, flag},
        {21, {caption, 2}, 0, flag},
        {22, {caption, 3}, 0, flag},
        {23, &S::cache_enabled, 1, flag},
        {24, &S::expand_desktop, 1, flag},
        {25, &S::optimise_cache, 1, flag},
        // The largest square client of the screen, and the upper limit too.
        {26, &S::preview_max, 0, SlotRule::computed},
        {27, &S::options_page, 0, 0, 5, SlotRule::in_range},
        {28, &S::png_gamma_on, 1, flag},
        {29, &S::display_gamma, 2200},
        {30, &S::transparency_on, 1, flag},
        {31, &S::background_info_on, 1, flag},
        {32, &S::background_colour, 0xFFFFFF, SlotRule::colour},
        {33, &S::delete_silently, 0, flag},
        {34, &S::thumb_print_option, 6},
        {35, &S::rename_option, 0, flag},
        {36, {rename_value, 0}, 2},
        {37, {rename_value, 1}, 0},
        {38, {rename_flag, 0}, 0, flag},
        {39, {rename_flag, 1}, 0, flag},
        {40, {rename_text, 0}},
        {41, {rename_text, 1}},
    };
    t.insert(t.end(), std::begin(rest), std::end(rest));
    for (int i = 0; i < kHelpFlagCount; ++i) t.push_back({42 + i, {help, i}, 1, flag});
    t.push_back({382, &S::action_image_both, 2});
    t.push_back({383, &S::action_info_both, 2});
    return t;
}

std::vector<ViewSlot> build_single_view_slots() {
    using S = SingleViewSettings;
    constexpr SlotRule flag = SlotRule::flag;
    constexpr SlotRule in_range = SlotRule::in_range;
    constexpr auto wheel = [](auto& s, int i) -> decltype(auto) { return (s.wheel_action[i]); };
    constexpr auto keep_zoom = [](auto& s, int i) -> decltype(auto) { return (s.keep_zoom[i]); };
    constexpr auto fit_large = [](auto& s, int i) -> decltype(auto) { return (s.fit_large[i]); };
    constexpr auto enlarge_small = [](auto& s, int i) -> decltype(auto) { return (s.enlarge_small[i]); };
    return {
        {48, &S::stretch_mode, 4, SlotRule::quality},
        {49, {wheel, 0}, 0},
        {50, {wheel, 1}, 0},
        {51, {wheel, 2}, 0},
        {52, {keep_zoom, 0}, 1, flag},
        {53, {keep_zoom, 1}, 0, flag},
        {54, {keep_zoom, 2}, 0, flag},
        {55, {fit_large, 0}, 1, flag},
        {56, {enlarge_small, 0}, 0, flag},
        {57, {fit_large, 1}, 1, flag},
        {58, {enlarge_small, 1}, 0, flag},
        {59, {fit_large, 2}, 1, flag},
        {60, {enlarge_small, 2}, 0, flag},
        {61, &S::drag_zooms_view, 1, flag},
        {62, &S::drag_zooms_edit, 1, flag},
        {63, &S::double_click_closes_view, 1, flag},
        {64, &S::double_click_closes_edit, 1, flag},
        {384, &S::both_buttons_edit, 1, flag},
        {65, &S::slide_repeat, 0, flag},
        {66, &S::slide_interval, 1, 1, 60, in_range},
        {67, &S::view_background, 3, 0, 4, in_range},
        {68, &S::edit_background, 1, 0, 4, in_range},
        {69, &S::wheel_reversed, 0, flag},
        {70, &S::edit_scroll_bars, 1, flag},
        {71, &S::edit_maximised, 0, flag},
        // Centred on the main window for the loaded width and height.
        {72, [](auto& s) -> decltype(auto) { return (s.edit_window.left); }, 0, SlotRule::computed},
        {73, [](auto& s) -> decltype(auto) { return (s.edit_window.top); }, 0, SlotRule::computed},
        {74, [](auto& s) -> decltype(auto) { return (s.edit_window.width); }, 800},
        {75, [](auto& s) -> decltype(auto) { return (s.edit_window.height); }, 600},
        {76, &S::edit_layout, 2},
        {77, [](auto& s) -> decltype(auto) { return (s.save.save_format); }, 2, 0, 5, in_range},
        {78, [](auto& s) -> decltype(auto) { return (s.save.target_bits); }, 24, SlotRule::bits},
        {79, [](auto& s) -> decltype(auto) { return (s.save.greyscale); }, 0, flag},
        {80, [](auto& s) -> decltype(auto) { return (s.save.dither_mode); }, 0, 0, 3, in_range},
        {81, [](auto& s) -> decltype(auto) { return (s.save.interlace); }, 0, flag},
        {82, [](auto& s) -> decltype(auto) { return (s.save.png_compression); }, 9, 0, 9, in_range},
        {83, [](auto& s) -> decltype(auto) { return (s.save.write_gamma); }, 0, flag},
        {84, [](auto& s) -> decltype(auto) { return (s.save.gamma); }, 2200},
        {85, [](auto& s) -> decltype(auto) { return (s.save.transparent_colour); }, 0xFFFFFF,
         SlotRule::colour},
        {86, [](auto& s) -> decltype(auto) { return (s.save.png_filter); }, 0, 0, 5, in_range},
        {87, [](auto& s) -> decltype(auto) { return (s.save.jpeg_quality); }, 75, 1, 100, in_range},
        {88, [](auto& s) -> decltype(auto) { return (s.save.jpeg_sampling); }, 0, 0, 2, in_range},
        {89, [](auto& s) -> decltype(auto) { return (s.save.progressive); }, 0, flag},
        {90, [](auto& s) -> decltype(auto) { return (s.save.jpeg_markers); }, 2, 0, 2, in_range},
        {91, [](auto& s) -> decltype(auto) { return (s.save.jpeg_trim); }, 1, flag},
        {92, [](auto& s) -> decltype(auto) { return (s.save.jpeg_size_limit_on); }, 0, flag},
        {93, [](auto& s) -> decltype(auto) { return (s.save.jpeg_size_limit_kb); }, 100},
    };
}

std::vector<BatchSlot> build_conversion_slots() {
    using S = ConversionSettings;
    struct Default {
        int slot;
        int32_t value;
    };
    static const Default kDefaults[] = {{94, 2},    {95, 9},  {96, 75}, {99, 100}, {100, 2},
                                        {102, 100}, {106, 2}, {115, 1}, {136, 1}};
    constexpr auto value = [](auto& s, int i) -> decltype(auto) { return (s.values[i]); };
    std::vector<BatchSlot> t;
    for (int slot = kBatchFirstSlot; slot <= kBatchLastSlot; ++slot) {
        switch (slot) {
            case 110: t.push_back({slot, &S::prefix}); continue;
            case 111: t.push_back({slot, &S::suffix}); continue;
            case 113: t.push_back({slot, &S::subfolder, u"Output"}); continue;
            case 120: t.push_back({slot, &S::comment, nullptr, SlotRule::long_text}); continue;
            default: break;
        }
        int32_t fallback = 0;
        for (const Default& d : kDefaults)
            if (d.slot == slot) fallback = d.value;
        const int index = slot - kBatchFirstSlot;
        // The output format: six formats exist.
        if (slot == 94)
            t.push_back({slot, {value, index}, fallback, 0, 5, SlotRule::in_range});
        else
            t.push_back({slot, {value, index}, fallback});
    }
    t.push_back({kHistorySlot, &S::history, kBatchHistoryCount});
    return t;
}

int32_t clamp(int32_t v, int32_t low, int32_t high) {
    return v < low ? low : v > high ? high : v;
}

}  // namespace

const std::vector<MainSlot>& main_settings_slots() {
    static const std::vector<MainSlot> table = build_main_slots();
    return table;
}

const std::vector<ViewSlot>& single_view_settings_slots() {
    static const std::vector<ViewSlot> table = build_single_view_slots();
    return table;
}

const std::vector<BatchSlot>& conversion_settings_slots() {
    static const std::vector<BatchSlot> table = build_conversion_slots();
    return table;
}

void load_main_settings(const SettingsReader& r, const MainSettingsEnvironment& env, MainSettings* out) {
    MainSettings& s = *out;
    s = MainSettings{};
    load_settings_slots(r, main_settings_slots(), out);
    const ScreenRect& work = env.work_area;
    s.window.left = settings_int(r, 1, work.left + ((work.right - work.left) / 2 - 400));
    s.window.top = settings_int(r, 2, work.top + ((work.bottom - work.top) / 2 - 300));
    const int32_t largest = env.largest_square < kPreviewMin ? kPreviewMin : env.largest_square;
    s.preview_max = clamp(settings_int(r, 26, largest), kPreviewMin, largest);
    // With a readable file the list is what it holds, up to the first empty slot, without the
    // folders that are gone; without one it is the user's pictures folder.
    if (r.ok) {
        std::vector<std::u16string> stored;
        stored.swap(s.folders);
        for (std::u16string& folder : stored)
            if (!env.folder_exists || env.folder_exists(folder)) s.folders.push_back(std::move(folder));
    } else if (!env.pictures_folder.empty()) {
        s.folders.push_back(env.pictures_folder);
    }
    for (int i = 0; i < kSizePresetCount; ++i) {
        const int32_t w = settings_int(r, kPresetWidthSlot + i, 0);
        const int32_t h = settings_int(r, kPresetHeightSlot + i, 0);
        if (w == 0 || h == 0) continue;
        s.presets[i] = SizePreset{clamp(w, kBoxMin, kBoxMax), clamp(h, kBoxMin, kBoxMax)};
    }
}

void save_main_settings(SettingsWriter& w, const MainSettings& s) {
    save_settings_slots(w, main_settings_slots(), s);
}

void load_single_view_settings(const SettingsReader& r, const WindowPlace& main_window,
                               SingleViewSettings* out) {
    SingleViewSettings& s = *out;
    s = SingleViewSettings{};
    load_settings_slots(r, single_view_settings_slots(), out);
    s.edit_window.left =
        settings_int(r, 72, main_window.left + (main_window.width - s.edit_window.width) / 2);
    s.edit_window.top =
        settings_int(r, 73, main_window.top + (main_window.height - s.edit_window.height) / 2);
}

void save_single_view_settings(SettingsWriter& w, const SingleViewSettings& s) {
    save_settings_slots(w, single_view_settings_slots(), s);
}

bool is_conversion_int_slot(int slot) {
    for (const BatchSlot& e : conversion_settings_slots())
        if (e.slot == slot) return static_cast<bool>(e.number);
    return false;
}

void default_conversion_settings(ConversionSettings* out) {
    load_conversion_settings(SettingsReader{}, out);
}

void load_conversion_settings(const SettingsReader& r, ConversionSettings* out) {
    *out = ConversionSettings{};
    load_settings_slots(r, conversion_settings_slots(), out);
}

void save_conversion_settings(SettingsWriter& w, const ConversionSettings& s) {
    save_settings_slots(w, conversion_settings_slots(), s);
}
