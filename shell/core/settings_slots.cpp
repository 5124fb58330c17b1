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

template <typename S>
SettingsSlot<S> number(int slot, int32_t* (*field)(S*, int), int32_t fallback,
                       SlotRule rule = SlotRule::value, int32_t low = 0, int32_t high = 0, int index = 0) {
    return SettingsSlot<S>{static_cast<int16_t>(slot), rule,   fallback, low, high, field, nullptr,
                           static_cast<int8_t>(index), nullptr};
}

template <typename S>
SettingsSlot<S> text(int slot, std::u16string* (*field)(S*, int), int index = 0,
                     SlotRule rule = SlotRule::text, const char16_t* fallback = nullptr) {
    return SettingsSlot<S>{static_cast<int16_t>(slot), rule,    0, 0, 0, nullptr, field,
                           static_cast<int8_t>(index), fallback};
}

template <typename S>
SettingsSlot<S> list(int slot, SlotRule rule) {
    return SettingsSlot<S>{static_cast<int16_t>(slot), rule, 0, 0, 0, nullptr, nullptr, 0, nullptr};
}

std::vector<MainSlot> build_main_slots() {
    using S = MainSettings;
    constexpr SlotRule flag = SlotRule::flag;
    std::vector<MainSlot> t = {
        number<S>(
            0, [](S* s, int) { return &s->maximised; }, 0, flag),
        // The default place centres the default size on the work area, whatever size is stored.
        number<S>(
            1, [](S* s, int) { return &s->window.left; }, 0, SlotRule::computed),
        number<S>(
            2, [](S* s, int) { return &s->window.top; }, 0, SlotRule::computed),
        number<S>(
            3, [](S* s, int) { return &s->window.width; }, 800),
        number<S>(
            4, [](S* s, int) { return &s->window.height; }, 600),
        number<S>(
            6, [](S* s, int) { return &s->tree_width; }, 170),
        number<S>(
            7, [](S* s, int) { return &s->tree_auto_show; }, 0, flag),
        number<S>(
            8, [](S* s, int) { return &s->info_list_shown; }, 1, flag),
        number<S>(
            9, [](S* s, int i) { return &s->info_column_width[i]; }, 58, SlotRule::low16, 0, 0, 0),
        number<S>(
            10, [](S* s, int i) { return &s->info_column_width[i]; }, 108, SlotRule::low16, 0, 0, 1),
        number<S>(
            5, [](S* s, int) { return &s->hidden_mask; }, 2),
        number<S>(
            385, [](S* s, int) { return &s->viewer_limit; }, 5),
        text<S>(139, [](S* s, int) { return &s->main_text; }),
    };
    for (int i = 0; i < kToolCount; ++i) {
        t.push_back(text<S>(
            140 + i, [](S* s, int n) { return &s->tool_path[n]; }, i));
        t.push_back(text<S>(
            148 + i, [](S* s, int n) { return &s->tool_name[n]; }, i));
        t.push_back(text<S>(
            156 + i, [](S* s, int n) { return &s->tool_params[n]; }, i));
    }
    t.push_back(list<S>(kFolderSlot, SlotRule::folder_list));
    t.push_back(list<S>(kPresetWidthSlot, SlotRule::size_presets));
    const MainSlot rest[] = {
        number<S>(
            11, [](S* s, int) { return &s->thumb_width; }, 144, SlotRule::clamp, kBoxMin, kBoxMax),
        number<S>(
            12, [](S* s, int) { return &s->thumb_height; }, 108, SlotRule::clamp, kBoxMin, kBoxMax),
        number<S>(
            13, [](S* s, int) { return &s->marked_colour; }, 0x80FFFF, SlotRule::colour),
        number<S>(
            14, [](S* s, int) { return &s->action_image_double; }, 1),
        number<S>(
            15, [](S* s, int) { return &s->action_info_double; }, 3),
        // Only three layouts exist; anything else would show no view at all.
        number<S>(
            16, [](S* s, int) { return &s->view_layout; }, 0, SlotRule::in_range, 0, 2),
        number<S>(
            17, [](S* s, int) { return &s->preview_enabled; }, 1, flag),
        number<S>(
            18, [](S* s, int) { return &s->captions_shown; }, 1, flag),
        number<S>(
            19, [](S* s, int i) { return &s->caption_lines[i]; }, 1, flag, 0, 0, 0),
        number<S>(
            20, [](S* s, int i) { return &s->caption_lines[i]; }, 1, flag, 0, 0, 1),
        number<S>(
            21, [](S* s, int i) { return &s->caption_lines[i]; }, 0, flag, 0, 0, 2),
        number<S>(
            22, [](S* s, int i) { return &s->caption_lines[i]; }, 0, flag, 0, 0, 3),
        number<S>(
            23, [](S* s, int) { return &s->cache_enabled; }, 1, flag),
        number<S>(
            24, [](S* s, int) { return &s->expand_desktop; }, 1, flag),
        number<S>(
            25, [](S* s, int) { return &s->optimise_cache; }, 1, flag),
        // The largest square client of the screen, and the upper limit too.
        number<S>(
            26, [](S* s, int) { return &s->preview_max; }, 0, SlotRule::computed),
        number<S>(
            27, [](S* s, int) { return &s->options_page; }, 0, SlotRule::in_range, 0, 5),
        number<S>(
            28, [](S* s, int) { return &s->png_gamma_on; }, 1, flag),
        number<S>(
            29, [](S* s, int) { return &s->display_gamma; }, 2200),
        number<S>(
            30, [](S* s, int) { return &s->transparency_on; }, 1, flag),
        number<S>(
            31, [](S* s, int) { return &s->background_info_on; }, 1, flag),
        number<S>(
            32, [](S* s, int) { return &s->background_colour; }, 0xFFFFFF, SlotRule::colour),
        number<S>(
            33, [](S* s, int) { return &s->delete_silently; }, 0, flag),
        number<S>(
            34, [](S* s, int) { return &s->thumb_print_option; }, 6),
        number<S>(
            35, [](S* s, int) { return &s->rename_option; }, 0, flag),
        number<S>(
            36, [](S* s, int i) { return &s->rename_values[i]; }, 2, SlotRule::value, 0, 0, 0),
        number<S>(
            37, [](S* s, int i) { return &s->rename_values[i]; }, 0, SlotRule::value, 0, 0, 1),
        number<S>(
            38, [](S* s, int i) { return &s->rename_flags[i]; }, 0, flag, 0, 0, 0),
        number<S>(
            39, [](S* s, int i) { return &s->rename_flags[i]; }, 0, flag, 0, 0, 1),
        text<S>(
            40, [](S* s, int i) { return &s->rename_texts[i]; }, 0),
        text<S>(
            41, [](S* s, int i) { return &s->rename_texts[i]; }, 1),
    };
    t.insert(t.end(), std::begin(rest), std::end(rest));
    for (int i = 0; i < kHelpFlagCount; ++i)
        t.push_back(number<S>(
            42 + i, [](S* s, int n) { return &s->help_at_start[n]; }, 1, flag, 0, 0, i));
    t.push_back(number<S>(
        382, [](S* s, int) { return &s->action_image_both; }, 2));
    t.push_back(number<S>(
        383, [](S* s, int) { return &s->action_info_both; }, 2));
    return t;
}

std::vector<ViewSlot> build_single_view_slots() {
    using S = SingleViewSettings;
    constexpr SlotRule flag = SlotRule::flag;
    std::vector<ViewSlot> t = {
        number<S>(
            48, [](S* s, int) { return &s->stretch_mode; }, 4, SlotRule::quality),
    };
    for (int i = 0; i < 3; ++i)
        t.push_back(number<S>(
            49 + i, [](S* s, int n) { return &s->wheel_action[n]; }, 0, SlotRule::value, 0, 0, i));
    const int32_t keep_zoom[3] = {1, 0, 0};
    for (int i = 0; i < 3; ++i)
        t.push_back(number<S>(
            52 + i, [](S* s, int n) { return &s->keep_zoom[n]; }, keep_zoom[i], flag, 0, 0, i));
    for (int i = 0; i < 3; ++i) {
        t.push_back(number<S>(
            55 + 2 * i, [](S* s, int n) { return &s->fit_large[n]; }, 1, flag, 0, 0, i));
        t.push_back(number<S>(
            56 + 2 * i, [](S* s, int n) { return &s->enlarge_small[n]; }, 0, flag, 0, 0, i));
    }
    const ViewSlot rest[] = {
        number<S>(
            61, [](S* s, int) { return &s->drag_zooms_view; }, 1, flag),
        number<S>(
            62, [](S* s, int) { return &s->drag_zooms_edit; }, 1, flag),
        number<S>(
            63, [](S* s, int) { return &s->double_click_closes_view; }, 1, flag),
        number<S>(
            64, [](S* s, int) { return &s->double_click_closes_edit; }, 1, flag),
        number<S>(
            384, [](S* s, int) { return &s->both_buttons_edit; }, 1, flag),
        number<S>(
            65, [](S* s, int) { return &s->slide_repeat; }, 0, flag),
        number<S>(
            66, [](S* s, int) { return &s->slide_interval; }, 1, SlotRule::in_range, 1, 60),
        number<S>(
            67, [](S* s, int) { return &s->view_background; }, 3, SlotRule::in_range, 0, 4),
        number<S>(
            68, [](S* s, int) { return &s->edit_background; }, 1, SlotRule::in_range, 0, 4),
        number<S>(
            69, [](S* s, int) { return &s->wheel_reversed; }, 0, flag),
        number<S>(
            70, [](S* s, int) { return &s->edit_scroll_bars; }, 1, flag),
        number<S>(
            71, [](S* s, int) { return &s->edit_maximised; }, 0, flag),
        // Centred on the main window for the loaded width and height.
        number<S>(
            72, [](S* s, int) { return &s->edit_window.left; }, 0, SlotRule::computed),
        number<S>(
            73, [](S* s, int) { return &s->edit_window.top; }, 0, SlotRule::computed),
        number<S>(
            74, [](S* s, int) { return &s->edit_window.width; }, 800),
        number<S>(
            75, [](S* s, int) { return &s->edit_window.height; }, 600),
        number<S>(
            76, [](S* s, int) { return &s->edit_layout; }, 2),
        number<S>(
            77, [](S* s, int) { return &s->save.save_format; }, 2, SlotRule::in_range, 0, 5),
        number<S>(
            78, [](S* s, int) { return &s->save.target_bits; }, 24, SlotRule::bits),
        number<S>(
            79, [](S* s, int) { return &s->save.greyscale; }, 0, flag),
        number<S>(
            80, [](S* s, int) { return &s->save.dither_mode; }, 0, SlotRule::in_range, 0, 3),
        number<S>(
            81, [](S* s, int) { return &s->save.interlace; }, 0, flag),
        number<S>(
            82, [](S* s, int) { return &s->save.png_compression; }, 9, SlotRule::in_range, 0, 9),
        number<S>(
            83, [](S* s, int) { return &s->save.write_gamma; }, 0, flag),
        number<S>(
            84, [](S* s, int) { return &s->save.gamma; }, 2200),
        number<S>(
            85, [](S* s, int) { return &s->save.transparent_colour; }, 0xFFFFFF, SlotRule::colour),
        number<S>(
            86, [](S* s, int) { return &s->save.png_filter; }, 0, SlotRule::in_range, 0, 5),
        number<S>(
            87, [](S* s, int) { return &s->save.jpeg_quality; }, 75, SlotRule::in_range, 1, 100),
        number<S>(
            88, [](S* s, int) { return &s->save.jpeg_sampling; }, 0, SlotRule::in_range, 0, 2),
        number<S>(
            89, [](S* s, int) { return &s->save.progressive; }, 0, flag),
        number<S>(
            90, [](S* s, int) { return &s->save.jpeg_markers; }, 2, SlotRule::in_range, 0, 2),
        number<S>(
            91, [](S* s, int) { return &s->save.jpeg_trim; }, 1, flag),
        number<S>(
            92, [](S* s, int) { return &s->save.jpeg_size_limit_on; }, 0, flag),
        number<S>(
            93, [](S* s, int) { return &s->save.jpeg_size_limit_kb; }, 100),
    };
    t.insert(t.end(), std::begin(rest), std::end(rest));
    return t;
}

std::vector<BatchSlot> build_conversion_slots() {
    using S = ConversionSettings;
    struct Default {
        int slot;
        int32_t value;
    };
    static const Default kDefaults[] = {{94, 2},    {95, 9},  {96, 75}, {99, 100}, {100, 2},
                                        {102, 100}, {106, 2}, {115, 1}, {136, 1}};
    std::vector<BatchSlot> t;
    for (int slot = kBatchFirstSlot; slot <= kBatchLastSlot; ++slot) {
        switch (slot) {
            case 110: t.push_back(text<S>(slot, [](S* s, int) { return &s->prefix; })); continue;
            case 111: t.push_back(text<S>(slot, [](S* s, int) { return &s->suffix; })); continue;
            case 113:
                t.push_back(text<S>(
                    slot, [](S* s, int) { return &s->subfolder; }, 0, SlotRule::text, u"Output"));
                continue;
            case 120:
                t.push_back(text<S>(
                    slot, [](S* s, int) { return &s->comment; }, 0, SlotRule::long_text));
                continue;
            default: break;
        }
        int32_t fallback = 0;
        for (const Default& d : kDefaults)
            if (d.slot == slot) fallback = d.value;
        auto field = [](S* s, int n) { return &s->values[n]; };
        const int index = slot - kBatchFirstSlot;
        // The output format: six formats exist.
        if (slot == 94)
            t.push_back(number<S>(slot, field, fallback, SlotRule::in_range, 0, 5, index));
        else
            t.push_back(number<S>(slot, field, fallback, SlotRule::value, 0, 0, index));
    }
    t.push_back(list<S>(kHistorySlot, SlotRule::history_list));
    return t;
}

int32_t clamp(int32_t v, int32_t low, int32_t high) {
    return v < low ? low : v > high ? high : v;
}

// The rules every group shares; the lists and computed defaults are left to the caller.
template <typename S>
void load_slot(const SettingsReader& r, const SettingsSlot<S>& e, S* out) {
    if (e.number) {
        const SettingsEntry stored = settings_entry(r, e.slot);
        *e.number(out, e.index) =
            apply_slot_rule(e.rule, stored.offset == 1, stored.size, e.fallback, e.low, e.high);
    } else if (e.text && e.rule == SlotRule::long_text) {
        std::u16string buffer(kSettingsLongStringChars, u'\0');
        settings_read_long_string(r, &buffer[0]);
        *e.text(out, e.index) = buffer.c_str();
    } else if (e.text) {
        std::u16string value = settings_string(r, e.slot);
        if (value.empty() && e.text_fallback) value = e.text_fallback;
        *e.text(out, e.index) = std::move(value);
    }
}

// Writing reads the settings through the same accessors as loading, which take them by
// pointer to non-const; nothing is changed.
template <typename S>
void save_slot(SettingsWriter& w, const SettingsSlot<S>& e, const S& in) {
    S* s = const_cast<S*>(&in);
    if (e.number) settings_write_int(w, e.slot, *e.number(s, e.index));
    if (e.text) settings_write_string(w, e.slot, *e.text(s, e.index));
}

void write_list(SettingsWriter& w, int first, int count, const std::vector<std::u16string>& items) {
    for (int i = 0; i < count; ++i) {
        const size_t n = static_cast<size_t>(i);
        settings_write_string(w, first + i, n < items.size() ? items[n] : std::u16string());
    }
}

}  // namespace

int32_t apply_slot_rule(SlotRule rule, bool present, int32_t stored, int32_t fallback, int32_t low,
                        int32_t high) {
    const int32_t v = present ? stored : fallback;
    switch (rule) {
        case SlotRule::flag: return v & 1;
        case SlotRule::colour: return v & 0xFFFFFF;
        case SlotRule::low16: return v & 0xFFFF;
        case SlotRule::clamp: return clamp(v, low, high);
        case SlotRule::in_range: return v < low || v > high ? fallback : v;
        case SlotRule::bits: return (v >= 1 && v <= 8) || v == 24 ? v : fallback;
        case SlotRule::quality: return v == fallback ? v : 3;
        case SlotRule::computed: return fallback;
        default: return v;
    }
}

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
    for (const MainSlot& e : main_settings_slots()) load_slot(r, e, out);
    const ScreenRect& work = env.work_area;
    s.window.left = settings_int(r, 1, work.left + ((work.right - work.left) / 2 - 400));
    s.window.top = settings_int(r, 2, work.top + ((work.bottom - work.top) / 2 - 300));
    const int32_t largest = env.largest_square < kPreviewMin ? kPreviewMin : env.largest_square;
    s.preview_max = clamp(settings_int(r, 26, largest), kPreviewMin, largest);
    // With a readable file the list is what it holds, up to the first empty slot, without the
    // folders that are gone; without one it is the user's pictures folder.
    if (r.ok) {
        for (int i = 0; i < kFolderSlots; ++i) {
            std::u16string folder = settings_string(r, kFolderSlot + i);
            if (folder.empty()) break;
            if (!env.folder_exists || env.folder_exists(folder)) s.folders.push_back(std::move(folder));
        }
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
    for (const MainSlot& e : main_settings_slots()) {
        if (e.rule == SlotRule::folder_list) {
            write_list(w, kFolderSlot, kFolderSlots, s.folders);
        } else if (e.rule == SlotRule::size_presets) {
            for (int i = 0; i < kSizePresetCount; ++i) {
                settings_write_int(w, kPresetWidthSlot + i, s.presets[i].width);
                settings_write_int(w, kPresetHeightSlot + i, s.presets[i].height);
            }
        } else {
            save_slot(w, e, s);
        }
    }
}

void load_single_view_settings(const SettingsReader& r, const WindowPlace& main_window,
                               SingleViewSettings* out) {
    SingleViewSettings& s = *out;
    s = SingleViewSettings{};
    for (const ViewSlot& e : single_view_settings_slots()) load_slot(r, e, out);
    s.edit_window.left =
        settings_int(r, 72, main_window.left + (main_window.width - s.edit_window.width) / 2);
    s.edit_window.top =
        settings_int(r, 73, main_window.top + (main_window.height - s.edit_window.height) / 2);
}

void save_single_view_settings(SettingsWriter& w, const SingleViewSettings& s) {
    for (const ViewSlot& e : single_view_settings_slots()) save_slot(w, e, s);
}

bool is_conversion_int_slot(int slot) {
    for (const BatchSlot& e : conversion_settings_slots())
        if (e.slot == slot) return e.number != nullptr;
    return false;
}

void default_conversion_settings(ConversionSettings* out) {
    load_conversion_settings(SettingsReader{}, out);
}

void load_conversion_settings(const SettingsReader& r, ConversionSettings* out) {
    ConversionSettings& s = *out;
    s = ConversionSettings{};
    for (const BatchSlot& e : conversion_settings_slots()) load_slot(r, e, out);
    for (int i = 0; i < kBatchHistoryCount; ++i) {
        std::u16string folder = settings_string(r, kHistorySlot + i);
        if (folder.empty()) break;
        s.history.push_back(std::move(folder));
    }
}

void save_conversion_settings(SettingsWriter& w, const ConversionSettings& s) {
    for (const BatchSlot& e : conversion_settings_slots()) {
        if (e.rule == SlotRule::history_list)
            write_list(w, kHistorySlot, kBatchHistoryCount, s.history);
        else
            save_slot(w, e, s);
    }
}
