#include "shell/core/settings_slots.h"

namespace {

int32_t flag(const SettingsReader& r, int slot, int32_t fallback) {
    return settings_int(r, slot, fallback) & 1;
}

int32_t colour(const SettingsReader& r, int slot, int32_t fallback) {
    return settings_int(r, slot, fallback) & 0xFFFFFF;
}

int32_t clamp(int32_t v, int32_t low, int32_t high) {
    return v < low ? low : v > high ? high : v;
}

// A value outside [low, high] falls back to `fallback`.
int32_t ranged(const SettingsReader& r, int slot, int32_t fallback, int32_t low, int32_t high) {
    const int32_t v = settings_int(r, slot, fallback);
    return v < low || v > high ? fallback : v;
}

constexpr int32_t kBoxMin = 32;
constexpr int32_t kBoxMax = 800;
constexpr int32_t kPreviewMin = 100;

constexpr int kToolPathSlot = 140;
constexpr int kToolNameSlot = 148;
constexpr int kToolParamsSlot = 156;
constexpr int kFolderSlot = 196;
constexpr int kPresetWidthSlot = 398;
constexpr int kPresetHeightSlot = 406;
constexpr int kHistorySlot = 164;

}  // namespace

void load_main_settings(const SettingsReader& r, const MainSettingsEnvironment& env, MainSettings* out) {
    MainSettings& s = *out;
    s = MainSettings{};
    const ScreenRect& work = env.work_area;
    s.maximised = flag(r, 0, 0);
    s.window.width = settings_int(r, 3, 800);
    s.window.height = settings_int(r, 4, 600);
    // The default place centres the default size, whatever size was stored.
    s.window.left = settings_int(r, 1, work.left + ((work.right - work.left) / 2 - 400));
    s.window.top = settings_int(r, 2, work.top + ((work.bottom - work.top) / 2 - 300));
    s.hidden_mask = settings_int(r, 5, 2);
    s.tree_width = settings_int(r, 6, 170);
    s.tree_auto_show = flag(r, 7, 0);
    s.info_list_shown = flag(r, 8, 1);
    s.info_column_width[0] = settings_int(r, 9, 58) & 0xFFFF;
    s.info_column_width[1] = settings_int(r, 10, 108) & 0xFFFF;
    s.thumb_width = clamp(settings_int(r, 11, 144), kBoxMin, kBoxMax);
    s.thumb_height = clamp(settings_int(r, 12, 108), kBoxMin, kBoxMax);
    s.marked_colour = colour(r, 13, 0x80FFFF);
    s.action_image_double = settings_int(r, 14, 1);
    s.action_info_double = settings_int(r, 15, 3);
    // Only three layouts exist; anything else would show no view at all.
    s.view_layout = ranged(r, 16, 0, 0, 2);
    s.preview_enabled = flag(r, 17, 1);
    s.captions_shown = flag(r, 18, 1);
    static const int32_t kLineDefaults[4] = {1, 1, 0, 0};
    for (int i = 0; i < 4; ++i) s.caption_lines[i] = flag(r, 19 + i, kLineDefaults[i]);
    s.cache_enabled = flag(r, 23, 1);
    s.expand_desktop = flag(r, 24, 1);
    s.optimise_cache = flag(r, 25, 1);
    const int32_t largest = env.largest_square < kPreviewMin ? kPreviewMin : env.largest_square;
    s.preview_max = clamp(settings_int(r, 26, largest), kPreviewMin, largest);
    s.options_page = ranged(r, 27, 0, 0, 5);
    s.png_gamma_on = flag(r, 28, 1);
    s.display_gamma = settings_int(r, 29, 2200);
    s.transparency_on = flag(r, 30, 1);
    s.background_info_on = flag(r, 31, 1);
    s.background_colour = colour(r, 32, 0xFFFFFF);
    s.delete_silently = flag(r, 33, 0);
    s.thumb_print_option = settings_int(r, 34, 6);
    s.rename_option = flag(r, 35, 0);
    s.rename_values[0] = settings_int(r, 36, 2);
    s.rename_values[1] = settings_int(r, 37, 0);
    s.rename_flags[0] = flag(r, 38, 0);
    s.rename_flags[1] = flag(r, 39, 0);
    s.rename_texts[0] = settings_string(r, 40);
    s.rename_texts[1] = settings_string(r, 41);
    for (int i = 0; i < kHelpFlagCount; ++i) s.help_at_start[i] = flag(r, 42 + i, 1);
    s.main_text = settings_string(r, 139);
    for (int i = 0; i < kToolCount; ++i) {
        s.tool_path[i] = settings_string(r, kToolPathSlot + i);
        s.tool_name[i] = settings_string(r, kToolNameSlot + i);
        s.tool_params[i] = settings_string(r, kToolParamsSlot + i);
    }
    s.folders.clear();
    if (r.ok) {
        for (int i = 0; i < kFolderSlots; ++i) {
            std::u16string folder = settings_string(r, kFolderSlot + i);
            if (folder.empty()) break;
            if (!env.folder_exists || env.folder_exists(folder)) s.folders.push_back(std::move(folder));
        }
    } else if (!env.pictures_folder.empty()) {
        s.folders.push_back(env.pictures_folder);
    }
    s.action_image_both = settings_int(r, 382, 2);
    s.action_info_both = settings_int(r, 383, 2);
    s.viewer_limit = settings_int(r, 385, 5);
    for (int i = 0; i < kSizePresetCount; ++i) {
        const int32_t w = settings_int(r, kPresetWidthSlot + i, 0);
        const int32_t h = settings_int(r, kPresetHeightSlot + i, 0);
        if (w == 0 || h == 0) continue;
        s.presets[i] = SizePreset{clamp(w, kBoxMin, kBoxMax), clamp(h, kBoxMin, kBoxMax)};
    }
}

void save_main_settings(SettingsWriter& w, const MainSettings& s) {
    settings_write_int(w, 0, s.maximised);
    settings_write_int(w, 1, s.window.left);
    settings_write_int(w, 2, s.window.top);
    settings_write_int(w, 3, s.window.width);
    settings_write_int(w, 4, s.window.height);
    settings_write_int(w, 6, s.tree_width);
    settings_write_int(w, 7, s.tree_auto_show);
    settings_write_int(w, 8, s.info_list_shown);
    settings_write_int(w, 9, s.info_column_width[0]);
    settings_write_int(w, 10, s.info_column_width[1]);
    settings_write_int(w, 5, s.hidden_mask);
    settings_write_int(w, 385, s.viewer_limit);
    settings_write_string(w, 139, s.main_text);
    for (int i = 0; i < kToolCount; ++i) {
        settings_write_string(w, kToolPathSlot + i, s.tool_path[i]);
        settings_write_string(w, kToolNameSlot + i, s.tool_name[i]);
        settings_write_string(w, kToolParamsSlot + i, s.tool_params[i]);
    }
    for (int i = 0; i < kFolderSlots; ++i) {
        const size_t n = static_cast<size_t>(i);
        settings_write_string(w, kFolderSlot + i, n < s.folders.size() ? s.folders[n] : std::u16string());
    }
    for (int i = 0; i < kSizePresetCount; ++i) {
        settings_write_int(w, kPresetWidthSlot + i, s.presets[i].width);
        settings_write_int(w, kPresetHeightSlot + i, s.presets[i].height);
    }
    const int32_t rest[] = {
        s.thumb_width,        s.thumb_height,      s.marked_colour,    s.action_image_double,
        s.action_info_double, s.view_layout,       s.preview_enabled,  s.captions_shown,
        s.caption_lines[0],   s.caption_lines[1],  s.caption_lines[2], s.caption_lines[3],
        s.cache_enabled,      s.expand_desktop,    s.optimise_cache,   s.preview_max,
        s.options_page,       s.png_gamma_on,      s.display_gamma,    s.transparency_on,
        s.background_info_on, s.background_colour, s.delete_silently,  s.thumb_print_option,
        s.rename_option,      s.rename_values[0],  s.rename_values[1], s.rename_flags[0],
        s.rename_flags[1]};
    int slot = 11;
    for (int32_t v : rest) settings_write_int(w, slot++, v);
    settings_write_string(w, 40, s.rename_texts[0]);
    settings_write_string(w, 41, s.rename_texts[1]);
    for (int i = 0; i < kHelpFlagCount; ++i) settings_write_int(w, 42 + i, s.help_at_start[i]);
    settings_write_int(w, 382, s.action_image_both);
    settings_write_int(w, 383, s.action_info_both);
}

void load_single_view_settings(const SettingsReader& r, const WindowPlace& main_window,
                               SingleViewSettings* out) {
    SingleViewSettings& s = *out;
    s = SingleViewSettings{};
    const SettingsEntry stretch = settings_entry(r, 48);
    s.stretch_mode = stretch.offset == 1 && stretch.size != 4 ? 3 : 4;
    for (int i = 0; i < 3; ++i) s.wheel_action[i] = settings_int(r, 49 + i, 0);
    static const int32_t kKeepZoom[3] = {1, 0, 0};
    for (int i = 0; i < 3; ++i) s.keep_zoom[i] = flag(r, 52 + i, kKeepZoom[i]);
    for (int i = 0; i < 3; ++i) {
        s.fit_large[i] = flag(r, 55 + 2 * i, 1);
        s.enlarge_small[i] = flag(r, 56 + 2 * i, 0);
    }
    s.drag_zooms_view = flag(r, 61, 1);
    s.drag_zooms_edit = flag(r, 62, 1);
    s.double_click_closes_view = flag(r, 63, 1);
    s.double_click_closes_edit = flag(r, 64, 1);
    s.both_buttons_edit = flag(r, 384, 1);
    s.slide_repeat = flag(r, 65, 0);
    s.slide_interval = ranged(r, 66, 1, 1, 60);
    s.view_background = ranged(r, 67, 3, 0, 4);
    s.edit_background = ranged(r, 68, 1, 0, 4);
    s.wheel_reversed = flag(r, 69, 0);
    s.edit_scroll_bars = flag(r, 70, 1);
    s.edit_maximised = flag(r, 71, 0);
    s.edit_window.width = settings_int(r, 74, 800);
    s.edit_window.height = settings_int(r, 75, 600);
    s.edit_window.left =
        settings_int(r, 72, main_window.left + (main_window.width - s.edit_window.width) / 2);
    s.edit_window.top =
        settings_int(r, 73, main_window.top + (main_window.height - s.edit_window.height) / 2);
    s.edit_layout = settings_int(r, 76, 2);
    SaveSettings& v = s.save;
    v.save_format = ranged(r, 77, 2, 0, 5);
    const int32_t bits = settings_int(r, 78, 24);
    v.target_bits = (bits >= 1 && bits <= 8) || bits == 24 ? bits : 24;
    v.greyscale = flag(r, 79, 0);
    v.dither_mode = ranged(r, 80, 0, 0, 3);
    v.interlace = flag(r, 81, 0);
    v.png_compression = ranged(r, 82, 9, 0, 9);
    v.write_gamma = flag(r, 83, 0);
    v.gamma = settings_int(r, 84, 2200);
    v.transparent_colour = colour(r, 85, 0xFFFFFF);
    v.png_filter = ranged(r, 86, 0, 0, 5);
    v.jpeg_quality = ranged(r, 87, 75, 1, 100);
    v.jpeg_sampling = ranged(r, 88, 0, 0, 2);
    v.progressive = flag(r, 89, 0);
    v.jpeg_markers = ranged(r, 90, 2, 0, 2);
    v.jpeg_trim = flag(r, 91, 1);
    v.jpeg_size_limit_on = flag(r, 92, 0);
    v.jpeg_size_limit_kb = settings_int(r, 93, 100);
}

void save_single_view_settings(SettingsWriter& w, const SingleViewSettings& s) {
    settings_write_int(w, 48, s.stretch_mode);
    for (int i = 0; i < 3; ++i) settings_write_int(w, 49 + i, s.wheel_action[i]);
    for (int i = 0; i < 3; ++i) settings_write_int(w, 52 + i, s.keep_zoom[i]);
    for (int i = 0; i < 3; ++i) {
        settings_write_int(w, 55 + 2 * i, s.fit_large[i]);
        settings_write_int(w, 56 + 2 * i, s.enlarge_small[i]);
    }
    settings_write_int(w, 61, s.drag_zooms_view);
    settings_write_int(w, 62, s.drag_zooms_edit);
    settings_write_int(w, 63, s.double_click_closes_view);
    settings_write_int(w, 64, s.double_click_closes_edit);
    settings_write_int(w, 384, s.both_buttons_edit);
    const SaveSettings& v = s.save;
    const int32_t rest[] = {
        s.slide_repeat,       s.slide_interval,    s.view_background,    s.edit_background,
        s.wheel_reversed,     s.edit_scroll_bars,  s.edit_maximised,     s.edit_window.left,
        s.edit_window.top,    s.edit_window.width, s.edit_window.height, s.edit_layout,
        v.save_format,        v.target_bits,       v.greyscale,          v.dither_mode,
        v.interlace,          v.png_compression,   v.write_gamma,        v.gamma,
        v.transparent_colour, v.png_filter,        v.jpeg_quality,       v.jpeg_sampling,
        v.progressive,        v.jpeg_markers,      v.jpeg_trim,          v.jpeg_size_limit_on,
        v.jpeg_size_limit_kb};
    int slot = 65;
    for (int32_t value : rest) settings_write_int(w, slot++, value);
}

bool is_conversion_int_slot(int slot) {
    return slot >= kBatchFirstSlot && slot <= kBatchLastSlot && slot != 110 && slot != 111 && slot != 113 &&
           slot != 120;
}

void default_conversion_settings(ConversionSettings* out) {
    *out = ConversionSettings{};
    ConversionSettings& s = *out;
    s.at(94) = 2;
    s.at(95) = 9;
    s.at(96) = 75;
    s.at(99) = 100;
    s.at(100) = 2;
    s.at(102) = 100;
    s.at(106) = 2;
    s.at(115) = 1;
    s.at(136) = 1;
}

void load_conversion_settings(const SettingsReader& r, ConversionSettings* out) {
    default_conversion_settings(out);
    ConversionSettings& s = *out;
    for (int slot = kBatchFirstSlot; slot <= kBatchLastSlot; ++slot)
        if (is_conversion_int_slot(slot)) s.at(slot) = settings_int(r, slot, s.at(slot));
    if (s.at(94) < 0 || s.at(94) > 5) s.at(94) = 2;
    s.prefix = settings_string(r, 110);
    s.suffix = settings_string(r, 111);
    s.subfolder = settings_string(r, 113);
    if (s.subfolder.empty()) s.subfolder = u"Output";
    std::u16string comment(kSettingsLongStringChars, u'\0');
    settings_read_long_string(r, &comment[0]);
    s.comment = comment.c_str();
    s.history.clear();
    for (int i = 0; i < kBatchHistoryCount; ++i) {
        std::u16string folder = settings_string(r, kHistorySlot + i);
        if (folder.empty()) break;
        s.history.push_back(std::move(folder));
    }
}

void save_conversion_settings(SettingsWriter& w, const ConversionSettings& s) {
    for (int slot = kBatchFirstSlot; slot <= kBatchLastSlot; ++slot) {
        switch (slot) {
            case 110: settings_write_string(w, slot, s.prefix); break;
            case 111: settings_write_string(w, slot, s.suffix); break;
            case 113: settings_write_string(w, slot, s.subfolder); break;
            case 120: settings_write_string(w, slot, s.comment); break;
            default: settings_write_int(w, slot, s.at(slot));
        }
    }
    for (int i = 0; i < kBatchHistoryCount; ++i) {
        const size_t n = static_cast<size_t>(i);
        settings_write_string(w, kHistorySlot + i, n < s.history.size() ? s.history[n] : std::u16string());
    }
}
