// The rebar at the top of the main window: the menu bar and the main toolbar with its size and
// type-filter lists, their tooltips, and the size registration dialog.
#pragma once

#include <windows.h>

constexpr int kSizeListId = 210;
constexpr int kFilterListId = 230;
constexpr int kSizePresetsDialogId = 6200;
constexpr int kSizePresetsWidthLabelId = 6201;
constexpr int kSizePresetsHeightLabelId = 6202;
constexpr int kSizePresetsFirstRowLabelId = 6210;
constexpr int kSizePresetsFirstWidthId = 6220;
constexpr int kSizePresetsFirstHeightId = 6230;
constexpr int kToolbarBitmapId = 160;

// Tooltips, the rebar (id 200) and its two bands: the menu bar (201) and the main toolbar (202).
void create_rebar(HWND main_window);
// The main toolbar with its lists, a child of the rebar; returns the width of all three.
int create_main_toolbar(HWND rebar);
HWND main_toolbar_window();
// TTM_ADDTOOLW at creation, TTM_SETTOOLINFOW after the keys were customised.
void set_toolbar_tooltips(UINT message);
LRESULT CALLBACK main_toolbar_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
// CBN_CLOSEUP of the size list.
void size_preset_selected(HWND list);

INT_PTR CALLBACK size_presets_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
void init_size_presets_dialog(HWND dialog, HWND list);
void apply_size_presets_dialog(HWND dialog, int command);
