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

struct MainSettings {
    int32_t maximised = 0;                                    // 0
    WindowPlace window;                                       // 1-4
    int32_t hidden_mask = 2;                                  // 5
    int32_t tree_width = 170;                                 // 6
    int32_t tree_auto_show = 0;                               // 7
    int32_t info_list_shown = 1;                              // 8
    int32_t info_column_width[2] = {58, 108};                 // 9, 10
    int32_t thumb_width = 144;                                // 11
    int32_t thumb_height = 108;                               // 12
    int32_t marked_colour = 0x80FFFF;                         // 13
    int32_t action_image_double = 1;                          // 14
    int32_t action_info_double = 3;                           // 15
    int32_t view_layout = 0;                                  // 16
    int32_t preview_enabled = 1;                              // 17
    int32_t captions_shown = 1;                               // 18
    int32_t caption_lines[4] = {1, 1, 0, 0};                  // 19-22
    int32_t cache_enabled = 1;                                // 23
    int32_t expand_desktop = 1;                               // 24
    int32_t optimise_cache = 1;                               // 25
    int32_t preview_max = 0;                                  // 26
    int32_t options_page = 0;                                 // 27
    int32_t png_gamma_on = 1;                                 // 28
    int32_t display_gamma = 2200;                             // 29
    int32_t transparency_on = 1;                              // 30
    int32_t background_info_on = 1;                           // 31
    int32_t background_colour = 0xFFFFFF;                     // 32
    int32_t delete_silently = 0;                              // 33
    int32_t thumb_print_option = 6;                           // 34
    int32_t rename_option = 0;                                // 35
    int32_t rename_values[2] = {2, 0};                        // 36, 37
    int32_t rename_flags[2] = {0, 0};                         // 38, 39
    std::u16string rename_texts[2];                           // 40, 41
    int32_t help_at_start[kHelpFlagCount] = {1, 1, 1, 1, 1};  // 42-46
    std::u16string main_text;                                 // 139
    std::u16string tool_path[kToolCount];                     // 140-147
    std::u16string tool_name[kToolCount];                     // 148-155
    std::u16string tool_params[kToolCount];                   // 156-163
    std::vector<std::u16string> folders;                      // 196-295
    int32_t action_image_both = 2;                            // 382
    int32_t action_info_both = 2;                             // 383
    int32_t viewer_limit = 5;                                 // 385
    SizePreset presets[kSizePresetCount];                     // 398-405, 406-413
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
    int32_t save_format = 2;                // 77
    int32_t target_bits = 24;               // 78
    int32_t greyscale = 0;                  // 79
    int32_t dither_mode = 0;                // 80
    int32_t interlace = 0;                  // 81
    int32_t png_compression = 9;            // 82
    int32_t write_gamma = 0;                // 83
    int32_t gamma = 2200;                   // 84
    int32_t transparent_colour = 0xFFFFFF;  // 85
    int32_t png_filter = 0;                 // 86
    int32_t jpeg_quality = 75;              // 87
    int32_t jpeg_sampling = 0;              // 88
    int32_t progressive = 0;                // 89
    int32_t jpeg_markers = 2;               // 90
    int32_t jpeg_trim = 1;                  // 91
    int32_t jpeg_size_limit_on = 0;         // 92
    int32_t jpeg_size_limit_kb = 100;       // 93
};

struct SingleViewSettings {
    int32_t stretch_mode = 4;              // 48
    int32_t wheel_action[3] = {0, 0, 0};   // 49-51
    int32_t keep_zoom[3] = {1, 0, 0};      // 52-54
    int32_t fit_large[3] = {1, 1, 1};      // 55, 57, 59
    int32_t enlarge_small[3] = {0, 0, 0};  // 56, 58, 60
    int32_t drag_zooms_view = 1;           // 61
    int32_t drag_zooms_edit = 1;           // 62
    int32_t double_click_closes_view = 1;  // 63
    int32_t double_click_closes_edit = 1;  // 64
    int32_t slide_repeat = 0;              // 65
    int32_t slide_interval = 1;            // 66
    int32_t view_background = 3;           // 67
    int32_t edit_background = 1;           // 68
    int32_t wheel_reversed = 0;            // 69
    int32_t edit_scroll_bars = 1;          // 70
    int32_t edit_maximised = 0;            // 71
    WindowPlace edit_window;               // 72-75
    int32_t edit_layout = 2;               // 76
    SaveSettings save;                     // 77-93
    int32_t both_buttons_edit = 1;         // 384
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
    std::u16string prefix;                                      // 110
    std::u16string suffix;                                      // 111
    std::u16string subfolder = u"Output";                       // 113
    std::u16string comment;                                     // 120
    std::vector<std::u16string> history;                        // 164-195

    int32_t& at(int slot) { return values[slot - kBatchFirstSlot]; }
    int32_t at(int slot) const { return values[slot - kBatchFirstSlot]; }
};

void default_conversion_settings(ConversionSettings* out);
void load_conversion_settings(const SettingsReader& reader, ConversionSettings* out);
void save_conversion_settings(SettingsWriter& writer, const ConversionSettings& settings);

// Whether a slot of the batch group holds an integer (the rest of 94-136 are strings).
bool is_conversion_int_slot(int slot);
