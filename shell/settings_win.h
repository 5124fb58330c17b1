// The settings file on Windows: its path, the file operations, and the three groups of
// settings loaded into the process-wide state and written back at exit.
#pragma once

#include <windows.h>

#include "shell/core/key_table.h"

// Fills the settings path (%APPDATA%\Pexaron\Pexaron.ini), making the folder when missing.
// False only when the application-data folder is unknown: a folder that cannot be made (a
// read-only profile) lets the program run on defaults, and the exit pass reports the failure.
bool build_settings_path();

// Installs file operations that tell a missing settings file from a busy one.
void install_windows_settings_file_ops();

// Reads the main group and the main key table, and makes the main accelerator table. A file
// that stays busy leaves the group unread, so that the exit pass keeps its stored values.
// The readers' display options, the thumbnail box and the plug-in folder go to the loaders at
// once.
void load_main_settings_group();
// Hands the display options of the main settings to the browser's and image windows' loaders;
// again whenever the options dialog changed them.
void publish_reader_display_options();
// Hands the thumbnail box of the main settings to the loaders and the thumbnail cache; again
// whenever the box changes, then under the process-wide lock, since a view may be building.
void publish_thumbnail_box();
// Read on first need; a busy file is tried again on the next need and leaves the group
// unloaded, so that its stored values are never overwritten by defaults at exit.
bool load_single_view_settings_group();
bool load_conversion_settings_group();

// The exit pass: each group that was read in this run (main, single view, batch conversion),
// key tables with their groups. True without touching the file when no group was read; false
// when the file could not be written, the old file then intact.
bool save_settings_groups();

HACCEL create_accelerators(const KeyEntry* entries, int count);
// Copies up to `count` entries out of a live table; returns how many it holds.
int copy_accelerators(HACCEL table, KeyEntry* entries, int count);
// The image windows' table: the 90 entries, then the main table's external-tool keys.
HACCEL create_view_accelerators(const KeyEntry* view_entries, const KeyEntry* main_entries);
