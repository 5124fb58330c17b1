// 313: the marked JPEG files of a view turned or flipped in place, one file at a time. The
// process-wide lock is held for one file only, and the view's messages are served between
// files so the view stays usable; a request that would change the list ends the run.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
// clang-format on

#include <cstring>
#include <string>

#include "common/win/app_messages.h"
#include "common/win/process_lock.h"
#include "loading/browser_load.h"
#include "shell/entry_points.h"
#include "shell/shell_state.h"
#include "shell/thumbnail_view.h"
#include "shell/thumbnail_view_windows.h"

namespace {

constexpr int32_t kJpegFormat = 3;

// Codes that change or end the list: left queued for after the run.
bool ends_run(const MSG& msg, HWND frame) {
    if (msg.message == WM_QUIT) return true;
    if (msg.hwnd != frame || msg.message != kAppMessage) return false;
    switch (msg.wParam) {
        case kViewRemoveMarked:
        case kViewRefresh:
        case kViewClear:
        case kViewClose:
        case kViewTransform: return true;
        default: return false;
    }
}

// False when a message that ends the run is waiting.
bool serve_messages_between_files(int view) {
    HWND frame = g_view_windows[view].frame;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        if (ends_run(msg, frame)) return false;
        if (!PeekMessageW(&msg, msg.hwnd, msg.message, msg.message, PM_REMOVE)) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

ThumbnailTarget target_of(const FileEntry& e) {
    ThumbnailTarget t;
    t.header = e.thumbnail_header;
    t.bits = e.thumbnail_bits;
    static_assert(sizeof(t.load_info) == sizeof(e.load_info), "the load-info block is copied whole");
    memcpy(t.load_info, &e.load_info, sizeof(t.load_info));
    t.thumbnail_width = e.thumbnail_width;
    t.thumbnail_height = e.thumbnail_height;
    return t;
}

void store_target(const ThumbnailTarget& t, FileEntry* e, const int32_t fitted[2]) {
    e->thumbnail_header = t.header;
    e->thumbnail_bits = t.bits;
    memcpy(&e->load_info, t.load_info, sizeof(t.load_info));
    e->thumbnail_width = t.thumbnail_width;
    e->thumbnail_height = t.thumbnail_height;
    e->display_width = fitted[0];
    e->display_height = fitted[1];
}

// One file under the lock: false when the file was left as it was.
bool transform_one(int view, int32_t index, const wchar_t* path, int kind) {
    ViewState& state = view_state(view);
    ProcessLockGuard hold;
    FileEntry& e = state.entries[index];
    const std::u16string file(reinterpret_cast<const char16_t*>(path));
    const OsHandle owner = reinterpret_cast<OsHandle>(shell_entry_points().running_image_window());
    if (!transform_jpeg_file_in_place(file, e.load_info.last_write, kind, owner)) return false;
    int32_t loaded = 0;
    load_image_24(nullptr, 0, file, &loaded);
    if (!loaded) {
        release_load_result();
        return true;
    }
    int32_t fitted[2] = {g_load_result.current_width, g_load_result.current_height};
    if (!shrink_loaded_image_to_box(fitted, false)) {
        release_load_result();
        return true;
    }
    ThumbnailTarget target = target_of(e);
    refresh_thumbnail_in_entry(&target);
    if (g_load_result.image) {
        // No memory for the new rows: the entry keeps its old thumbnail.
        release_load_result();
        return true;
    }
    store_target(target, &e, fitted);
    return true;
}

}  // namespace

void transform_marked_files(int view, int kind) {
    if (!process_lock_exists()) return;
    for (int32_t i = 0;; ++i) {
        ViewState& state = view_state(view);
        if (!state.entries || i >= state.count) break;
        const FileEntry& e = state.entries[i];
        if (e.marked != kEntryMarked || e.load_info.format != kJpegFormat) continue;
        wchar_t path[MAX_PATH];
        if (!entry_path(view, i, path)) continue;
        if (transform_one(view, i, path, kind)) repaint_entry_cells(view, i);
        if (!serve_messages_between_files(view)) break;
    }
}
