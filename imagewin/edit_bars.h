// The edit window's bars: the rebar with the tool-tab toolbar, the zoom toolbar (trackbar and
// zoom field) and the save-settings bar, whose band a tool's option toolbar takes while it is
// open; their button states and the save options their controls set.
#pragma once

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstdint>

constexpr int kRebarId = 720;
constexpr int kToolTabBarId = 721;
constexpr int kZoomBarId = 722;
constexpr int kOptionBandId = 723;
constexpr int kSaveBarId = 724;
constexpr int kZoomTrackId = 730;
constexpr int kZoomEditId = 731;
constexpr int kZoomUpDownId = 732;
constexpr int kFormatComboId = 740;
constexpr int kBitDepthComboId = 741;
constexpr int kPngLevelId = 742;
constexpr int kPngFilterId = 744;
constexpr int kJpegQualityId = 745;
constexpr int kSizeLimitBoxId = 747;
constexpr int kSizeLimitEditId = 748;
constexpr int kColourBoxId = 751;
constexpr int kGammaEditId = 752;

// Builds the rebar and every bar in the frame.
void create_edit_bars(HWND frame);
// Gives back the subclassed procedures and forgets the bars when the frame closes.
void destroy_edit_bars();
HWND edit_bar_control(int id);

// WM_NOTIFY of the frame for the bars; 0 for any other sender.
LRESULT edit_bars_notify(const NMHDR* header);
// The tool-group button (8400, 8410, 8420, 8440) under a screen point, skipping `except` (-1:
// none); 0 when none.
int32_t tool_group_button_at(POINT screen, int32_t except);
// A save-bar control's WM_COMMAND; false when `id` is not one of them.
bool edit_bars_command(int id, int code);

// The zoom field shows zoom / 100 without acting on its own change.
void show_zoom_in_edit();
void set_zoom_trackbar(int32_t percent);
void on_zoom_trackbar(int code, int position);
void update_size_limit_controls();
