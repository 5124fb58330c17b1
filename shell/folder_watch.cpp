#include "shell/folder_watch.h"

#include <mutex>

#include "shell/core/path_rules.h"
#include "shell/entry_points.h"
#include "shell/shell_state.h"
#include "shell/thumbnail_view.h"

namespace {

// The main thread and the preview thread both start the watch: without this, both could close
// the same handle.
std::mutex g_watch_lock;

bool changed_since_start(const ChangeNotificationHandle& watch) {
    return watch.valid() && watch.get() && WaitForSingleObject(watch.get(), 0) == WAIT_OBJECT_0;
}

struct ConversionFolders {
    wchar_t input[MAX_PATH] = {};
    wchar_t output[MAX_PATH] = {};
};

// False when no conversion runs; the folders are read only then.
bool running_conversion(ConversionFolders* folders) {
    const ShellEntryPoints& entry = shell_entry_points();
    if (!entry.conversion_running()) return false;
    entry.conversion_input_folder(folders->input);
    entry.conversion_output_folder(folders->output);
    folders->input[MAX_PATH - 1] = 0;
    folders->output[MAX_PATH - 1] = 0;
    return true;
}

}  // namespace

void start_folder_watch() {
    std::lock_guard<std::mutex> hold(g_watch_lock);
    for (int i = 0; i < 2; ++i) {
        g_shell.folder_watch[i].reset();
        wchar_t folder[MAX_PATH];
        view_folder(i, folder);
        if (!folder[0]) continue;
        g_shell.folder_watch[i].reset(FindFirstChangeNotificationW(
            folder, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE));
    }
}

void close_view_change_notifications() {
    std::lock_guard<std::mutex> hold(g_watch_lock);
    for (ChangeNotificationHandle& watch : g_shell.folder_watch) watch.reset();
}

void poll_folder_watch(bool* changed1, bool* changed2) {
    bool* const changed[2] = {changed1, changed2};
    std::lock_guard<std::mutex> hold(g_watch_lock);
    for (int i = 0; i < 2; ++i) {
        if (changed[i]) *changed[i] = false;
        ChangeNotificationHandle& watch = g_shell.folder_watch[i];
        if (!watch.valid()) continue;
        if (changed[i] && changed_since_start(watch)) *changed[i] = true;
        watch.reset();
    }
}

int compare_folder_with_path(const wchar_t* folder, const wchar_t* path) {
    return compare_folder_with_path(u16(folder), u16(path));
}

bool folder_free_of_conversion(const wchar_t* folder) {
    ConversionFolders conversion;
    if (!running_conversion(&conversion)) return true;
    return compare_folder_with_path(folder, conversion.input) < 0 &&
           compare_folder_with_path(folder, conversion.output) < 0;
}

bool path_free_of_conversion(const wchar_t* path) {
    ConversionFolders conversion;
    if (!running_conversion(&conversion)) return true;
    return !same_path_text(u16(path), u16(conversion.input)) &&
           !same_path_text(u16(path), u16(conversion.output));
}
