// The main program's settings: which slot holds what, the defaults and the limits applied on
// loading, in three groups (main, single view, batch conversion) that are read and written
// each in one pass.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "shell/core/key_table.h"
#include "shell/core/settings_store.h"
#include "shell/core/settings_table.h"

struct ScreenRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// {left, top, width, height} as the settings keep a window's place.
struct WindowPlace {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};

struct SizePreset {
    int32_t width = 0;
    int32_t height = 0;
};

constexpr int kToolCount = 8;
constexpr int kFolderSlots = 100;
constexpr int kSizePresetCount = 8;
constexpr int kHelpFlagCount = 5;

// The settings are plain values here: which slot holds each, its default and the rule applied
// on loading live in one settings table per group (main_settings_slots() and the others below),
// which drives loading, saving and their tests.
struct MainSettings {
    int32_t maximised = 0;
    WindowPlace window;
    int32_t hidden_mask = 0;
    int32_t tree_width = 0;
    int32_t tree_auto_show = 0;
    int32_t info_list_shown = 0;
    int32_t info_column_width[2] = {};
    int32_t thumb_width = 0;
    int32_t thumb_height = 0;
    int32_t marked_colour = 0;
    int32_t action_image_double = 0;
    int32_t action_info_double = 0;
    int32_t view_layout = 0;
    int32_t preview_enabled = 0;
    int32_t captions_shown = 0;
    int32_t caption_lines[4] = {};
    int32_t cache_enabled = 0;
    int32_t expand_desktop = 0;
    int32_t optimise_cache = 0;
    int32_t preview_max = 0;
    int32_t options_page = 0;
    int32_t png_gamma_on = 0;
    int32_t display_gamma = 0;
    int32_t transparency_on = 0;
    int32_t background_info_on = 0;
    int32_t background_colour = 0;
    int32_t delete_silently = 0;
    int32_t thumb_print_option = 0;
    int32_t rename_option = 0;
    int32_t rename_values[2] = {};
    int32_t rename_flags[2] = {};
    std::u16string rename_texts[2];
    int32_t help_at_start[kHelpFlagCount] = {};
    std::u16string main_text;
    std::u16string tool_path[kToolCount];
    std::u16string tool_name[kToolCount];
    std::u16string tool_params[kToolCount];
    std::vector<std::u16string> folders;
    int32_t action_image_both = 0;
    int32_t action_info_both = 0;
    int32_t viewer_limit = 0;
    SizePreset presets[kSizePresetCount];
};

// What the loader needs to know about the machine.
struct MainSettingsEnvironment {
    ScreenRect work_area;
    int32_t largest_square = 0;  // the largest square client that fits the screen
    std::function<bool(const std::u16string&)> folder_exists;
    std::u16string pictures_folder;
};

void load_main_settings(const SettingsReader& reader, const MainSettingsEnvironment& env, MainSettings* out);
// Writes every slot of the group except the key table (slot 137), which goes first and is
// written by the caller from the live accelerators.
void save_main_settings(SettingsWriter& writer, const MainSettings& settings);

struct SaveSettings {
    int32_t save_format = 0;
    int32_t target_bits = 0;
    int32_t greyscale = 0;
    int32_t dither_mode = 0;
    int32_t interlace = 0;
    int32_t png_compression = 0;
    int32_t write_gamma = 0;
    int32_t gamma = 0;
    int32_t transparent_colour = 0;
    int32_t png_filter = 0;
    int32_t jpeg_quality = 0;
    int32_t jpeg_sampling = 0;
    int32_t progressive = 0;
    int32_t jpeg_markers = 0;
    int32_t jpeg_trim = 0;
    int32_t jpeg_size_limit_on = 0;
    int32_t jpeg_size_limit_kb = 0;
};

struct SingleViewSettings {
    int32_t stretch_mode = 0;
    int32_t wheel_action[3] = {};
    int32_t keep_zoom[3] = {};
    int32_t fit_large[3] = {};
    int32_t enlarge_small[3] = {};
    int32_t drag_zooms_view = 0;
    int32_t drag_zooms_edit = 0;
    int32_t double_click_closes_view = 0;
    int32_t double_click_closes_edit = 0;
    int32_t slide_repeat = 0;
    int32_t slide_interval = 0;
    int32_t view_background = 0;
    int32_t edit_background = 0;
    int32_t wheel_reversed = 0;
    int32_t edit_scroll_bars = 0;
    int32_t edit_maximised = 0;
    WindowPlace edit_window;
    int32_t edit_layout = 0;
    SaveSettings save;
    int32_t both_buttons_edit = 0;
};

// `main_window` is the main window's current rectangle, on which the edit window is centred
// by default.
void load_single_view_settings(const SettingsReader& reader, const WindowPlace& main_window,
                               SingleViewSettings* out);
// Every slot of the group except the key table (slot 138), which the caller writes first.
void save_single_view_settings(SettingsWriter& writer, const SingleViewSettings& settings);

constexpr int kBatchFirstSlot = 94;
constexpr int kBatchLastSlot = 136;
constexpr int kBatchHistoryCount = 32;

struct ConversionSettings {
    int32_t values[kBatchLastSlot - kBatchFirstSlot + 1] = {};  // by slot - 94; strings unused
    std::u16string prefix;
    std::u16string suffix;
    std::u16string subfolder;
    std::u16string comment;
    std::vector<std::u16string> history;

    int32_t& at(int slot) { return values[slot - kBatchFirstSlot]; }
    int32_t at(int slot) const { return values[slot - kBatchFirstSlot]; }
};

void default_conversion_settings(ConversionSettings* out);
void load_conversion_settings(const SettingsReader& reader, ConversionSettings* out);
void save_conversion_settings(SettingsWriter& writer, const ConversionSettings& settings);

// Whether a slot of the batch group holds an integer (the rest of 94-136 are strings).
bool is_conversion_int_slot(int slot);

// Each group's table, in the order in which the exit pass writes it.
const std::vector<SettingsSlot<MainSettings>>& main_settings_slots();
const std::vector<SettingsSlot<SingleViewSettings>>& single_view_settings_slots();
const std::vector<SettingsSlot<ConversionSettings>>& conversion_settings_slots();
