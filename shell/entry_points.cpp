#include "shell/entry_points.h"

#include "shell/core/command_rules.h"
#include "shell/shell_ids.h"

namespace {

ShellEntryPoints g_table;

}  // namespace

const ShellEntryPoints& shell_entry_points() {
    return g_table;
}

void install_shell_entry_points(const ShellEntryPoints& table) {
    g_table = table;
}

DLGPROC help_dialog_proc(int dialog) {
    const ShellEntryPoints& e = g_table;
    switch (dialog) {
        case 6700: return e.mouse_help_dialog_proc;
        case 6750: return e.view_help_dialog_proc;
        case 6770: return e.edit_help_dialog_proc;
        case 6780: return e.slide_show_help_dialog_proc;
        default: return e.batch_help_dialog_proc;
    }
}

bool main_command_available(int id) {
    const ShellEntryPoints& e = g_table;
    switch (id) {
        case kCommandComment: return e.comment_dialog_proc != nullptr;
        case kCommandRename: return e.rename_dialog_proc != nullptr;
        case kCommandPrintThumbnails: return e.thumbnail_print_dialog_proc != nullptr;
        case kCommandWallpaper: return e.set_wallpaper_from_selection != nullptr;
        case kCommandCaptionSettings: return e.display_info_dialog_proc != nullptr;
        case kCommandSingleViewWindow:
        case kCommandSingleViewFullScreen:
        case kCommandSlideShow: return e.start_view_window_thread != nullptr;
        case kCommandEditWindow: return e.start_edit_window_thread != nullptr;
        case kCommandBatchConversion: return e.batch_conversion_thread != nullptr;
        case kCommandBatchRename: return e.batch_rename_dialog_proc != nullptr;
        case kCommandRegisterTools:
        case kCommandOptions: return e.options_dialog_proc != nullptr;
        case kCommandVersion: return e.create_version_window != nullptr;
        default: break;
    }
    if (const int32_t dialog = help_dialog_for_command(id)) return help_dialog_proc(dialog) != nullptr;
    return true;
}
