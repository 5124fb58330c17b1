#include "shell/shutdown.h"

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "common/win/app_messages.h"
#include "common/win/error_message.h"
#include "common/win/message_box.h"
#include "common/win/process_lock.h"
#include "loading/codec_set.h"
#include "shell/core/shutdown_plan.h"
#include "shell/entry_points.h"
#include "shell/folder_tree.h"
#include "shell/folder_watch.h"
#include "shell/main_menus.h"
#include "shell/preview_window.h"
#include "shell/settings_win.h"
#include "shell/shell_state.h"
#include "shell/shell_texts.h"
#include "shell/thumbnail_cache.h"
#include "shell/thumbnail_view.h"

namespace {

constexpr DWORD kStillActive = 259;

void remove_view1_hooks() {
    remove_view_hooks(0);
}
void remove_view2_hooks() {
    remove_view_hooks(1);
}

// Tells a thread to end and waits for it. One that does not end in time gets the settings
// written first (once), then is terminated unless it may hold the lock; one left running keeps
// its handle and is noted in the plan.
void end_thread(KernelHandle* thread, HWND window, WPARAM code, DWORD timeout_ms, void (*remove_hooks)(),
                ShutdownThread which, ShutdownPlan* plan) {
    if (!thread->valid()) return;
    if (window) SendMessageW(window, kAppMessage, code, 0);
    ThreadWait result = ThreadWait::ended;
    if (!wait_for_thread_end(thread->get(), timeout_ms)) {
        if (plan->write_settings_before_terminating()) save_settings_at_exit();
        result = terminate_thread_outside_lock(thread->get(), remove_hooks);
    }
    if (result == ThreadWait::left_running) {
        plan->left_running(which);
        return;
    }
    thread->reset();
}

}  // namespace

void remove_main_hooks() {
    g_shell.main_keyboard_hook.reset();
    g_shell.main_mouse_hook.reset();
}

bool wait_for_thread_end(HANDLE thread, DWORD timeout_ms) {
    DWORD exit_code = 0;
    if (!GetExitCodeThread(thread, &exit_code) || exit_code != kStillActive) return true;
    return WaitForSingleObject(thread, timeout_ms) == WAIT_OBJECT_0;
}

ThreadWait terminate_thread_outside_lock(HANDLE thread, void (*remove_hooks)()) {
    // A thread killed inside the lock would leave it held for ever. While this thread holds
    // the lock, the other cannot be inside it.
    const bool guarded = process_lock_exists();
    if (guarded && !process_lock_try_enter()) return ThreadWait::left_running;
    if (WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) {
        if (guarded) process_lock_leave();
        return ThreadWait::ended;
    }
    if (remove_hooks) remove_hooks();
    TerminateThread(thread, kStillActive);
    WaitForSingleObject(thread, 1000);
    if (guarded) process_lock_leave();
    return ThreadWait::terminated;
}

ThreadWait wait_for_thread(HANDLE thread, DWORD timeout_ms, void (*remove_hooks)()) {
    if (wait_for_thread_end(thread, timeout_ms)) return ThreadWait::ended;
    return terminate_thread_outside_lock(thread, remove_hooks);
}

bool shutdown_main_window() {
    bool busy = false;
    for (int i = 0; i < 2; ++i) {
        if (g_shell.view_busy[i] && g_shell.view_frame[i]) {
            PostMessageW(g_shell.view_frame[i], kAppMessage, kViewClear, 0);
            busy = true;
        }
    }
    if (busy) return false;
    ShutdownPlan plan(g_shell.main_settings.optimise_cache != 0);
    if (g_shell.batch_thread.valid()) {
        const ShellEntryPoints& entry = shell_entry_points();
        HWND batch = entry.running_batch_window();
        if (entry.conversion_running()) {
            if (batch) {
                ShowWindowAsync(batch, SW_RESTORE);
                SetForegroundWindow(batch);
            }
            if (app_message_box(batch, kTextStopConversion, kCaptionConversion,
                                MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND) == IDYES &&
                batch)
                PostMessageW(batch, kAppMessage, kBatchStop, 0);
            return false;
        }
        if (batch) SendMessageW(batch, WM_CLOSE, 0, 0);
        end_thread(&g_shell.batch_thread, nullptr, 0, 10000, nullptr, ShutdownThread::conversion, &plan);
    }
    if (g_shell.image_thread.valid()) {
        if (HWND image = shell_entry_points().running_image_window()) {
            // A box or dialog of the image window is up: its user answers it first.
            if (shell_entry_points().image_window_in_modal_loop()) return false;
            SendMessageW(image, WM_CLOSE, 0, 0);
            // Its user chose to keep it open (for example to save first): so does the program.
            if (IsWindow(image)) return false;
        }
        end_thread(&g_shell.image_thread, nullptr, 0, 10000, shell_entry_points().remove_image_window_hooks,
                   ShutdownThread::image_window, &plan);
    }
    close_view_change_notifications();
    remove_main_hooks();
    end_thread(&g_shell.view_thread[0], g_shell.view_frame[0], kViewClose, 10000, remove_view1_hooks,
               ShutdownThread::view1, &plan);
    end_thread(&g_shell.view_thread[1], g_shell.view_frame[1], kViewClose, 1000, remove_view2_hooks,
               ShutdownThread::view2, &plan);
    end_thread(&g_shell.preview_thread, g_shell.preview_window, kPreviewEnd, 1000, remove_preview_hook,
               ShutdownThread::preview, &plan);
    for (ShutdownStep step : plan.tail()) {
        switch (step) {
            case ShutdownStep::delete_lock: process_lock_delete(); break;
            case ShutdownStep::free_printer_setup:
                if (shell_entry_points().free_printer_setup_handles)
                    shell_entry_points().free_printer_setup_handles();
                break;
            case ShutdownStep::restore_subclassed_controls: restore_subclassed_controls(); break;
            case ShutdownStep::destroy_codec_contexts: destroy_codec_contexts(); break;
            case ShutdownStep::destroy_main_menus: delete_menu_resources(); break;
            case ShutdownStep::free_view_lists: free_view_file_lists(); break;
            case ShutdownStep::compact_cache: compact_thumbnail_cache_index(); break;
            case ShutdownStep::write_settings: save_settings_at_exit(); break;
        }
    }
    // Only now: the threads ended above translated their keys through the main table.
    g_shell.main_accelerators.reset();
    g_shell.view_accelerators.reset();
    return true;
}

bool save_settings_at_exit() {
    MainSettings& s = g_shell.main_settings;
    if (g_shell.main_window) {
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof placement;
        if (GetWindowPlacement(g_shell.main_window, &placement)) {
            const RECT& r = placement.rcNormalPosition;
            s.window = WindowPlace{r.left, r.top, r.right - r.left, r.bottom - r.top};
        }
    }
    if (g_shell.info_list) {
        for (int i = 0; i < 2; ++i)
            s.info_column_width[i] =
                static_cast<int32_t>(SendMessageW(g_shell.info_list, LVM_GETCOLUMNWIDTH, i, 0));
    }
    const bool saved = save_settings_groups();
    if (!saved) show_error_message(g_shell.main_window, kErrorFileCreate);
    return saved;
}
