#include "shell/core/settings_groups.h"

namespace {

constexpr size_t kPathChars = 260;

}  // namespace

bool settings_group_was_read(const SettingsReader& reader) {
    return settings_file_was_read(reader);
}

bool settings_exit_pass_needed(const SettingsGroupsRead& read) {
    return read.main || read.single_view || read.conversion;
}

void write_settings_at_exit(SettingsWriter& writer, const SettingsAtExit& s) {
    if (s.read.main && s.main && s.main_keys) {
        store_key_table(writer, kMainKeySlot, s.main_keys, kMainKeyCount);
        save_main_settings(writer, *s.main);
    }
    if (s.read.single_view && s.single_view && s.view_keys) {
        store_key_table(writer, kViewKeySlot, s.view_keys, kViewKeyCount);
        save_single_view_settings(writer, *s.single_view);
    }
    if (s.read.conversion && s.conversion) save_conversion_settings(writer, *s.conversion);
}

std::u16string locate_settings_file(const std::u16string& appdata, const SettingsFolderOps& ops) {
    if (appdata.empty()) return {};
    std::u16string folder = appdata;
    if (folder.back() != u'\\') folder += u'\\';
    folder += u"Pexaron";
    const std::u16string file = folder + u"\\Pexaron.ini";
    if (file.size() >= kPathChars) return {};
    if (!(ops.folder_exists && ops.folder_exists(folder)) && ops.make_folder) (void)ops.make_folder(folder);
    return file;
}
