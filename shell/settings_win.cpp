#include "shell/settings_win.h"

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
// clang-format on

#include <string>
#include <vector>

#include "common/win/handle.h"
#include "loading/browser_load.h"
#include "loading/reader_display_options.h"
#include "shell/core/settings_groups.h"
#include "shell/core/settings_store.h"
#include "shell/shell_state.h"

namespace {

class WindowsSettingsFileOps : public SettingsFileOps {
public:
    SettingsFileStatus read_file(const std::u16string& path, std::vector<uint8_t>* bytes,
                                 uint32_t limit) override {
        bytes->clear();
        FileHandle file(CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            switch (GetLastError()) {
                case ERROR_FILE_NOT_FOUND:
                case ERROR_PATH_NOT_FOUND: return SettingsFileStatus::missing;
                case ERROR_SHARING_VIOLATION:
                case ERROR_LOCK_VIOLATION:
                case ERROR_ACCESS_DENIED: return SettingsFileStatus::busy;
                default: return SettingsFileStatus::failed;
            }
        }
        DWORD high = 0;
        const DWORD low = GetFileSize(file.get(), &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return SettingsFileStatus::failed;
        const uint64_t size = (static_cast<uint64_t>(high) << 32) | low;
        bytes->resize(static_cast<size_t>(size < limit ? size : limit));
        size_t done = 0;
        while (done < bytes->size()) {
            DWORD got = 0;
            if (!ReadFile(file.get(), bytes->data() + done, static_cast<DWORD>(bytes->size() - done), &got,
                          nullptr)) {
                bytes->clear();
                return SettingsFileStatus::failed;
            }
            if (got == 0) break;
            done += got;
        }
        bytes->resize(done);
        return SettingsFileStatus::ok;
    }

    bool write_new_file(const std::u16string& path, const uint8_t* data, size_t size) override {
        FileHandle file(CreateFileW(wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) return false;
        DWORD written = 0;
        const bool ok =
            WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr) && written == size;
        return FlushFileBuffers(file.get()) && ok;
    }

    bool replace_file(const std::u16string& source, const std::u16string& target) override {
        return MoveFileExW(wide(source), wide(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
               FALSE;
    }

    void delete_file(const std::u16string& path) override { DeleteFileW(wide(path)); }

    void pause_ms(uint32_t milliseconds) override { Sleep(milliseconds); }
};

WindowsSettingsFileOps g_windows_ops;

std::u16string settings_path() {
    return u16(g_shell.settings_path);
}

MainSettingsEnvironment main_environment() {
    MainSettingsEnvironment env;
    env.work_area = ScreenRect{g_shell.work_area.left, g_shell.work_area.top, g_shell.work_area.right,
                               g_shell.work_area.bottom};
    env.largest_square = g_shell.largest_square;
    env.folder_exists = [](const std::u16string& folder) { return PathIsDirectoryW(wide(folder)) != FALSE; };
    wchar_t pictures[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_MYPICTURES, nullptr, 0, pictures)))
        env.pictures_folder = u16(pictures);
    return env;
}

void to_accel(const KeyEntry& e, ACCEL* a) {
    a->fVirt = e.fVirt;
    a->key = e.key;
    a->cmd = e.cmd;
}

}  // namespace

bool build_settings_path() {
    wchar_t appdata[MAX_PATH] = {};
    if (g_shell.appdata_folder[0]) {
        lstrcpynW(appdata, g_shell.appdata_folder, MAX_PATH);
    } else if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appdata))) {
        return false;
    }
    SettingsFolderOps ops;
    ops.folder_exists = [](const std::u16string& folder) { return PathIsDirectoryW(wide(folder)) != FALSE; };
    ops.make_folder = [](const std::u16string& folder) {
        return CreateDirectoryW(wide(folder), nullptr) != FALSE;
    };
    const std::u16string path = locate_settings_file(u16(appdata), ops);
    if (path.empty()) return false;
    lstrcpynW(g_shell.settings_path, wide(path), MAX_PATH);
    return true;
}

void install_windows_settings_file_ops() {
    set_settings_file_ops(&g_windows_ops);
}

HACCEL create_accelerators(const KeyEntry* entries, int count) {
    std::vector<ACCEL> table(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) to_accel(entries[i], &table[static_cast<size_t>(i)]);
    return CreateAcceleratorTableW(table.data(), count);
}

int copy_accelerators(HACCEL table, KeyEntry* entries, int count) {
    if (!table) return 0;
    std::vector<ACCEL> live(static_cast<size_t>(count));
    const int n = CopyAcceleratorTableW(table, live.data(), count);
    for (int i = 0; i < n && i < count; ++i) entries[i] = KeyEntry{live[i].fVirt, live[i].key, live[i].cmd};
    return n < count ? n : count;
}

HACCEL create_view_accelerators(const KeyEntry* view_entries, const KeyEntry* main_entries) {
    KeyEntry all[kImageAcceleratorCount];
    compose_image_accelerators(view_entries, main_entries, all);
    return create_accelerators(all, kImageAcceleratorCount);
}

void publish_reader_display_options() {
    const MainSettings& s = g_shell.main_settings;
    ReaderDisplayOptions d;
    d.gamma_enabled = s.png_gamma_on;
    d.display_gamma_x1000 = s.display_gamma;
    d.apply_transparency = s.transparency_on;
    d.use_file_background = s.background_info_on;
    d.background_colour = static_cast<uint32_t>(s.background_colour);
    set_browser_display_options(d);
}

void publish_thumbnail_box() {
    g_browser_options.box_width = g_shell.main_settings.thumb_width;
    g_browser_options.box_height = g_shell.main_settings.thumb_height;
}

void load_main_settings_group() {
    SettingsReader reader = settings_open_read(settings_path());
    load_main_settings(reader, main_environment(), &g_shell.main_settings);
    publish_reader_display_options();
    publish_thumbnail_box();
    g_browser_options.plugin_folder = g_shell.main_settings.main_text;
    load_main_key_table(reader, &g_shell.main_keys);
    g_shell.settings_read.main = settings_group_was_read(reader);
    settings_close_read(reader);
    g_shell.main_accelerators.reset(create_accelerators(g_shell.main_keys.entries, kMainKeyCount));
    g_shell.open_menu = -1;
    g_shell.filter_index = 0;
    for (COLORREF& c : g_shell.custom_colours) c = RGB(255, 255, 255);
    g_shell.active_view = g_shell.main_settings.view_layout == 2 ? 1 : 0;
}

bool load_single_view_settings_group() {
    if (g_shell.settings_read.single_view) return true;
    SettingsReader reader = settings_open_read(settings_path());
    RECT main_rect = {};
    if (g_shell.main_window) GetWindowRect(g_shell.main_window, &main_rect);
    const WindowPlace main_place{main_rect.left, main_rect.top, main_rect.right - main_rect.left,
                                 main_rect.bottom - main_rect.top};
    load_single_view_settings(reader, main_place, &g_shell.single_view);
    load_view_key_table(reader, &g_shell.view_keys);
    const bool loaded = settings_group_was_read(reader);
    settings_close_read(reader);
    KeyEntry main_live[kMainKeyCount];
    if (copy_accelerators(g_shell.main_accelerators.get(), main_live, kMainKeyCount) != kMainKeyCount)
        fill_default_main_keys(main_live);
    g_shell.view_accelerators.reset(create_view_accelerators(g_shell.view_keys.entries, main_live));
    g_shell.print_size = SIZE{200, 150};
    g_shell.settings_read.single_view = loaded;
    return loaded;
}

bool load_conversion_settings_group() {
    if (g_shell.settings_read.conversion) return true;
    SettingsReader reader = settings_open_read(settings_path());
    load_conversion_settings(reader, &g_shell.conversion);
    g_shell.settings_read.conversion = settings_group_was_read(reader);
    settings_close_read(reader);
    return g_shell.settings_read.conversion;
}

bool save_settings_groups() {
    if (!settings_exit_pass_needed(g_shell.settings_read)) return true;
    KeyEntry main_keys[kMainKeyCount];
    if (copy_accelerators(g_shell.main_accelerators.get(), main_keys, kMainKeyCount) != kMainKeyCount) {
        for (int i = 0; i < kMainKeyCount; ++i) main_keys[i] = g_shell.main_keys.entries[i];
    }
    // The live image-window table also holds the external-tool keys after its 90 entries.
    KeyEntry view_keys[kImageAcceleratorCount];
    if (copy_accelerators(g_shell.view_accelerators.get(), view_keys, kImageAcceleratorCount) <
        kViewKeyCount) {
        for (int i = 0; i < kViewKeyCount; ++i) view_keys[i] = g_shell.view_keys.entries[i];
    }
    SettingsAtExit at_exit;
    at_exit.read = g_shell.settings_read;
    at_exit.main = &g_shell.main_settings;
    at_exit.main_keys = main_keys;
    at_exit.single_view = &g_shell.single_view;
    at_exit.view_keys = view_keys;
    at_exit.conversion = &g_shell.conversion;
    SettingsWriter writer = settings_open_write(settings_path());
    if (writer.ok) write_settings_at_exit(writer, at_exit);
    return settings_close_write(writer);
}
