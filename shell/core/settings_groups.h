// The three groups of settings as one run sees them: which were read, where the file lives, and
// what the exit pass writes.
#pragma once

#include <functional>
#include <string>

#include "shell/core/key_table.h"
#include "shell/core/settings_slots.h"
#include "shell/core/settings_store.h"

// A reading pass that found no file has read its group (every setting takes its default and the
// exit pass creates the file). A file that exists but stayed busy or failed was not read: the
// exit pass must then leave that group's stored values alone instead of writing defaults over
// them.
bool settings_group_was_read(const SettingsReader& reader);

struct SettingsGroupsRead {
    bool main = false;
    bool single_view = false;
    bool conversion = false;
};

// The settings as they are at exit. The key tables are the live ones, copied out of the
// accelerator tables: 60 main entries, 90 image-window entries.
struct SettingsAtExit {
    SettingsGroupsRead read;
    const MainSettings* main = nullptr;
    const KeyEntry* main_keys = nullptr;
    const SingleViewSettings* single_view = nullptr;
    const KeyEntry* view_keys = nullptr;
    const ConversionSettings* conversion = nullptr;
};

// False when no group was read in this run: the exit pass then opens no writer at all.
bool settings_exit_pass_needed(const SettingsGroupsRead& read);
// Writes the groups read in this run, each in its fixed order: the main group with its key table
// first, then the single-view group with its key table, then the batch-conversion group.
void write_settings_at_exit(SettingsWriter& writer, const SettingsAtExit& settings);

// Where the settings file lives: `appdata`\Pexaron\Pexaron.ini. The folder is made when
// missing, but a failure to make it does not stop the program: it then runs on defaults and the
// exit pass reports that the file could not be written. Empty when `appdata` is empty (the
// application-data folder is unknown) or the path would not fit 259 characters.
struct SettingsFolderOps {
    std::function<bool(const std::u16string&)> folder_exists;
    std::function<bool(const std::u16string&)> make_folder;
};
std::u16string locate_settings_file(const std::u16string& appdata, const SettingsFolderOps& ops);
