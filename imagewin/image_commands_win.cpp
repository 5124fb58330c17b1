#include "imagewin/image_commands_win.h"

#include <shlwapi.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "codecs/bmp/bmp.h"
#include "codecs/bmp/win/clipboard_dib.h"
#include "codecs/file_type.h"
#include "codecs/palette.h"
#include "common/win/error_message.h"
#include "common/win/message_box.h"
#include "imagewin/core/image_window_ids.h"
#include "imagewin/core/image_window_texts.h"
#include "imagewin/edit_state.h"
#include "imagewin/edit_window.h"
#include "imagewin/image_file_list_win.h"
#include "imagewin/image_view_win.h"
#include "imagewin/image_windows.h"
#include "imagewin/save_window_seam.h"
#include "imagewin/saving_seam.h"
#include "imagewin/tool_host.h"
#include "imagewin/undo_history_win.h"
#include "shell/entry_points.h"
#include "shell/folder_watch.h"
#include "shell/launch.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"

namespace {

constexpr int32_t kDialogComment = 5200;
constexpr int32_t kDialogCommentCreate = 5900;
constexpr int32_t kDialogPrintPreview = 6400;

ImageDialogRunner g_dialog_runner = nullptr;

DLGPROC image_dialog_proc(int32_t dialog_id) {
    const ShellEntryPoints& e = shell_entry_points();
    switch (dialog_id) {
        case kDialogComment: return e.image_comment_dialog_proc;
        case kDialogPngText: return e.png_text_dialog_proc;
        case kDialogExif: return e.exif_dialog_proc;
        case kDialogCommentCreate: return e.comment_create_dialog_proc;
        case kDialogPrintPreview: return e.image_print_dialog_proc;
        default: return nullptr;
    }
}

INT_PTR run_image_dialog_procedure(int32_t dialog_id, HWND owner, LPARAM param) {
    return run_modal_dialog(owner, dialog_id, image_dialog_proc(dialog_id), param);
}

const wchar_t* wide_text(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

const wchar_t* wide_text(const std::u16string& text) {
    return wide_text(text.c_str());
}

// The file list window is disabled while a modal window of the image window is up.
class ListWindowDisabled {
public:
    ListWindowDisabled() {
        HWND list = g_edit_state.file_list_window;
        if (list && IsWindowEnabled(list)) {
            window_ = list;
            EnableWindow(list, FALSE);
        }
    }
    ~ListWindowDisabled() {
        if (window_) EnableWindow(window_, TRUE);
    }
    ListWindowDisabled(const ListWindowDisabled&) = delete;
    ListWindowDisabled& operator=(const ListWindowDisabled&) = delete;

private:
    HWND window_ = nullptr;
};

bool path_exists(const char16_t* path) {
    return path[0] && GetFileAttributesW(wide_text(path)) != INVALID_FILE_ATTRIBUTES;
}

bool folder_busy_with_conversion() {
    return !path_free_of_conversion(wide_text(g_edit_state.image.folder));
}

}  // namespace

int image_window_message_box(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) {
    if (g_edit_state.window_kind == 0)
        while (ShowCursor(TRUE) < 0) {
        }
    ListWindowDisabled disabled;
    EditModalScope modal;
    return app_message_box(owner, text, caption, style);
}

bool image_command_available(int32_t id) {
    const ShellEntryPoints& e = shell_entry_points();
    const EditState& s = g_edit_state;
    switch (id) {
        case kCmdComment: return e.image_comment_dialog_proc != nullptr;
        case kCmdTextData: {
            const int32_t dialog = text_data_dialog(s.image.source_format, s.image.flag_metadata);
            return !dialog || image_dialog_proc(dialog) != nullptr;
        }
        case kCmdPrintPreview: return e.image_print_dialog_proc != nullptr;
        case kCmdHistogram: return edit_one_shot(kCmdHistogram) != nullptr;
        // Turning the comment off needs no dialog.
        case kCmdCommentInsertion:
            return e.comment_create_dialog_proc != nullptr || s.save_choices.insert_comment;
        default: return true;
    }
}

INT_PTR run_image_dialog(int32_t dialog_id, HWND owner, LPARAM param) {
    if (!image_dialog_proc(dialog_id)) return kDialogUnavailable;
    ListWindowDisabled disabled;
    EditModalScope modal;
    return (g_dialog_runner ? g_dialog_runner : run_image_dialog_procedure)(dialog_id, owner, param);
}

ImageDialogRunner set_image_dialog_runner(ImageDialogRunner runner) {
    const ImageDialogRunner previous = g_dialog_runner;
    g_dialog_runner = runner;
    return previous;
}

void copy_image_to_clipboard() {
    EditState& s = g_edit_state;
    if (!edit_image_loaded()) return;
    auto context = std::unique_ptr<BmpContext>(new (std::nothrow) BmpContext());
    if (!context) return;
    init_bmp_context(context.get(), 0);
    ConversionContext& c = context->conversion;
    c.width = s.image.width;
    c.height = s.image.height;
    c.source_bits = s.image.bit_count;
    c.target_bits = s.image.bit_count;
    compute_row_sizes(&c);
    context->x_ppm = s.image.x_resolution;
    context->y_ppm = s.image.y_resolution;
    {
        EditLockScope lock;
        if (OpenClipboard(s.image_window))
            (void)copy_dib_to_clipboard(context.get(), s.image.palette, s.bits);
    }
    bmp_writer_release(context.get());
}

bool paste_clipboard_image() {
    EditState& s = g_edit_state;
    const int32_t answer = ask_save_changes();
    if (answer == kSaveAnswerCancel) return false;
    if (answer == kSaveAnswerSaveFirst && !save_edit_image_as()) return false;
    auto context = std::unique_ptr<BmpContext>(new (std::nothrow) BmpContext());
    if (!context) return false;
    init_bmp_context(context.get(), 0);
    bmp_reader_reset(context.get());
    context->clipboard_owner = reinterpret_cast<OsHandle>(s.image_window);
    bool ok = false;
    {
        EditLockScope lock;
        LoadedImage* image = read_clipboard_dib(context.get());
        if (image) {
            const LoadedImage taken = *image;
            (void)install_edit_image(taken, false, true);
            s.image.source_bits = taken.source_bits;
            (void)set_current_image_info(taken, nullptr, kHistoryClear, nullptr, kResetAllSaveChoices);
            describe_pasted_image(s.image);
            ok = true;
        }
        bmp_reader_release(context.get());
    }
    if (ok) clear_list_selection();
    return ok;
}

void show_colour_count() {
    EditState& s = g_edit_state;
    ListWindowDisabled disabled;
    uint32_t count = 0;
    if (edit_image_loaded()) {
        auto c = std::unique_ptr<ConversionContext>(new (std::nothrow) ConversionContext());
        if (c) {
            EditLockScope lock;
            init_conversion_context(c.get());
            c->source_pixels = s.bits;
            c->width = s.image.width;
            c->height = s.image.height;
            c->source_bits = s.image.bit_count;
            c->target_bits = s.image.bit_count;
            compute_row_sizes(c.get());
            if (s.image.bit_count == 8)
                count = count_colours_8bit(c.get());
            else if (s.image.bit_count == 24)
                count = count_colours_24bit(c.get());
        }
    }
    if (count == 0) {
        show_view_error(s.image_window, kErrorDataRead);
        return;
    }
    const std::u16string text = colour_count_text(count);
    image_window_message_box(s.image_window, wide_text(text), wide_text(s.image.file_name),
                             MB_ICONINFORMATION | MB_SETFOREGROUND);
}

int32_t delete_current_file_and_advance() {
    EditState& s = g_edit_state;
    if (path_exists(s.image.path)) {
        const std::u16string list = recycle_path_list(s.image.path);
        FILEOP_FLAGS flags = FOF_ALLOWUNDO;
        if (g_shell.main_settings.delete_silently) flags |= FOF_NOCONFIRMATION;
        int result = 0;
        if (flags & FOF_NOCONFIRMATION) {
            EditLockScope lock;
            result = recycle_files_ex(wide_text(list), list.size(), s.image_window, &flags);
        } else {
            // The system's confirmation is a modal box: asked under the lock it would keep every
            // thumbnail view from listing for as long as the user takes to answer.
            result = recycle_files_ex(wide_text(list), list.size(), s.image_window, &flags);
        }
        // After the call the flags hold whether the user aborted.
        if (result != 0 || flags != 0) return kDeleteNothing;
    }
    const int32_t removed = remove_selected_list_entry();
    const int32_t count = int32_t(image_file_list().names.size());
    if (count == 0) {
        release_current_image();
        describe_blank_image(s.image, s.view);
        history_clear();
        drop_edit_selection();
        return kDeleteFolderEmpty;
    }
    std::u16string next;
    if (!list_entry_full_path(entry_after_deletion(removed, count), &next) ||
        !load_image_into_edit_state(next)) {
        show_view_error(s.image_window, kErrorImageDisplay);
        return kDeleteNothing;
    }
    sync_image_folder_list();
    return kDeleteNextLoaded;
}

void run_external_tool_on_image(int32_t id) {
    EditState& s = g_edit_state;
    const int32_t tool = external_tool_index(id);
    if (tool < 0) return;
    const std::u16string& program = g_shell.main_settings.tool_path[tool];
    DWORD binary_type = 0;
    const bool is_program = !program.empty() && GetBinaryTypeW(wide_text(program), &binary_type);
    const std::u16string parameters = external_tool_parameters(s.image.path, is_program);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpFile = wide_text(program);
    info.lpParameters = parameters.empty() ? nullptr : wide_text(parameters);
    info.nShow = SW_SHOW;
    if (program.empty() || !ShellExecuteExW(&info)) show_view_error(s.image_window, kErrorFileRun);
}

int32_t ask_save_changes() {
    EditState& s = g_edit_state;
    if (!history_unsaved(s.history)) return kSaveAnswerGoOn;
    const std::u16string text = save_question_text(s.image.file_name);
    const int answer = image_window_message_box(s.image_window, wide_text(text), wide_text(kProgramName),
                                                MB_YESNOCANCEL | MB_ICONWARNING | MB_SETFOREGROUND);
    return save_answer_from_box(answer);
}

void show_comment_dialog_for_image() {
    EditState& s = g_edit_state;
    if (folder_busy_with_conversion()) return;
    if (!comment_dialog_applies(edit_image_loaded(), s.image.source_format)) return;
    if (!path_exists(s.image.path)) {
        show_view_error(s.image_window, kErrorDataRead);
        return;
    }
    if (s.window_kind == 1 && s.save.save_format == kSaveFormatLosslessJpeg) {
        end_save_preview();
        set_edit_pane_mode(1);
    }
    // The dialog may rewrite the file with its new comment: that write is the program's own, but
    // a change made outside before it still has to be noticed.
    const bool time_known = file_time_changed(false) == 0;
    run_image_dialog(kDialogComment, s.image_window, 0);
    if (time_known) refresh_file_time();
    update_image_window_title();
}

void show_text_data_for_image() {
    EditState& s = g_edit_state;
    const int32_t dialog = text_data_dialog(s.image.source_format, s.image.flag_metadata);
    if (!dialog) return;
    if (!path_exists(s.image.path)) {
        show_view_error(s.image_window, kErrorDataRead);
        return;
    }
    run_image_dialog(dialog, s.image_window, 0);
}

void toggle_comment_insertion() {
    EditState& s = g_edit_state;
    if (s.save_choices.insert_comment) {
        s.save_choices.insert_comment = 0;
    } else if (run_image_dialog(kDialogCommentCreate, s.image_window,
                                reinterpret_cast<LPARAM>(&s.save_record.comment)) == 1) {
        s.save_choices.insert_comment = s.save_record.comment.empty() ? 0 : 1;
    }
    update_save_bar();
}

void show_print_preview_for_image() {
    EditState& s = g_edit_state;
    if (folder_busy_with_conversion() || !edit_image_loaded()) return;
    if (s.file_list_window && IsWindowVisible(s.file_list_window)) ShowWindow(s.file_list_window, SW_HIDE);
    if (run_image_dialog(kDialogPrintPreview, s.image_window, 0) < 0)
        show_view_error(s.image_window, kErrorPrintPreview);
}
