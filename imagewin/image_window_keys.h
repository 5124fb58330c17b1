// The image windows' keys as their menus and bars show them, and the rebuild of their
// accelerator table after the user changes keys.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imagewin/core/command_labels.h"
#include "shell/core/key_table.h"

// The labels the image windows' owner-drawn menu items point at; rows stay in place for the
// life of the process.
CommandLabels& image_command_labels();
// Sets the labels from the image-window accelerator table in force, or from the loaded key
// table while no table exists.
void refresh_image_command_labels();

// A button bar of the open image window and the commands that get a tooltip on it.
struct ImageBarTips {
    HWND bar = nullptr;
    const uint16_t* commands = nullptr;
    int count = 0;
};

// Gives each listed button of `bar` its tooltip: TTM_ADDTOOLW when the bar is created,
// TTM_SETTOOLINFOW after a key change. Buttons the bar does not hold are skipped.
void update_bar_tooltips(HWND tooltip, const ImageBarTips& bar, UINT message);
// The open image window registers its tooltip control and bars so that a key change reaches
// them; a closing window registers none (count 0).
void set_image_window_bars(HWND tooltip, const ImageBarTips* bars, int count);

// After the key customisation is confirmed: a new 98-entry table from the 90 edited
// image-window entries and the external-tool entries of the 60 edited main entries, published
// before the old table is destroyed; then the labels and the open window's tooltips. False,
// with the old table, labels and keys kept, when the table cannot be created.
bool rebuild_image_window_accelerators(const KeyEntry* view_entries, const KeyEntry* main_entries);
