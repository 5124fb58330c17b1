#include "imagewin/edit_state.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "codecs/file_type.h"
#include "common/stride.h"
#include "common/win/error_message.h"
#include "common/win/message_box.h"
#include "common/win/process_lock.h"
#include "imagewin/tool_host.h"

EditState g_edit_state;

namespace {

// While a load holds the process-wide lock, a box would keep every thumbnail view and the
// preview from decoding for as long as the user takes: its code waits here for the lock's end.
int g_lock_scopes = 0;
int g_deferred_code = -1;
HWND g_deferred_owner = nullptr;

HWND box_owner() {
    return g_edit_state.image_window;
}

void select_into_memory_dc(HBITMAP bitmap) {
    EditState& s = g_edit_state;
    if (!s.memory_dc || !bitmap) return;
    HGDIOBJ previous = SelectObject(s.memory_dc, bitmap);
    if (!s.dc_initial_bitmap) s.dc_initial_bitmap = static_cast<HBITMAP>(previous);
}

StepImage shown_step_image() {
    const EditState& s = g_edit_state;
    StepImage step;
    step.header.width = s.image.width;
    step.header.height = s.image.height;
    step.header.bit_count = s.image.bit_count;
    step.palette = s.image.palette;
    step.bits = s.bits;
    return step;
}

void copy_path(char16_t (&out)[kEditPathChars], const char16_t* text) {
    size_t n = 0;
    while (text[n] && n + 1 < kEditPathChars) {
        out[n] = text[n];
        ++n;
    }
    out[n] = 0;
}

const char16_t* file_name_part(const char16_t* path) {
    const char16_t* name = path;
    for (const char16_t* p = path; *p; ++p)
        if (*p == u'\\' || *p == u'/') name = p + 1;
    return name;
}

const wchar_t* wide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

bool read_file_time(FILETIME* time) {
    HANDLE file = CreateFileW(wide(g_edit_state.image.path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileTime(file, nullptr, nullptr, time) != 0;
    CloseHandle(file);
    return ok;
}

}  // namespace

EditLockScope::EditLockScope() {
    process_lock_enter();
    ++g_lock_scopes;
}

EditLockScope::~EditLockScope() {
    --g_lock_scopes;
    process_lock_leave();
    if (g_lock_scopes == 0 && g_deferred_code >= 0) {
        const int code = g_deferred_code;
        g_deferred_code = -1;
        show_view_error(g_deferred_owner, code);
    }
}

void report_view_error(HWND owner, int code) {
    if (g_lock_scopes > 0) {
        // The first failure is the one the user is told about.
        if (g_deferred_code < 0) {
            g_deferred_code = code;
            g_deferred_owner = owner;
        }
        return;
    }
    show_view_error(owner, code);
}

UndoResult install_edit_image(const LoadedImage& image, bool push_first_step, bool drop_selection) {
    EditState& s = g_edit_state;
    UndoResult result = UndoResult::ok;
    if (edit_image_loaded()) {
        if (push_first_step && s.history.step_count() == 0) {
            result = history_push_step(s.history, shown_step_image(), u"元の画像");
            // Without the image before it the change could never be undone: it is not made.
            if (result != UndoResult::ok) {
                report_view_error(box_owner(), undo_error_box_code(result));
                return result;
            }
        }
        release_current_image();
        if (drop_selection) drop_edit_selection();
    }
    s.bitmap = reinterpret_cast<HBITMAP>(image.bitmap);
    std::memcpy(s.image.palette, image.palette, sizeof s.image.palette);
    s.bits = image.pixels;
    // The overlay is rendered from these: they must describe the new bitmap before it is.
    s.image.width = image.info.width;
    s.image.height = image.info.height;
    s.image.bit_count = image.info.bit_count;

    HBITMAP shown = s.bitmap;
    if (s.window_kind == 1 && s.selection.selection_mask && s.selection.selection_overlay) {
        BITMAPINFOHEADER header = {};
        header.biSize = sizeof header;
        header.biWidth = image.info.width;
        header.biHeight = image.info.height;
        header.biPlanes = 1;
        header.biBitCount = image.info.bit_count;
        if (refresh_selection_overlay(header) && s.selection.show_selection)
            shown = s.selection.selection_overlay;
    }
    select_into_memory_dc(shown);
    return result;
}

UndoResult set_current_image_info(const LoadedImage& image, const char16_t* path, int32_t history_mode,
                                  const char16_t* step_name, uint32_t reset_choices) {
    EditState& s = g_edit_state;
    s.image.width = image.info.width;
    s.image.height = image.info.height;
    s.image.bit_count = image.info.bit_count;
    s.image.x_resolution = image.info.x_pels_per_meter < 0 ? 0 : image.info.x_pels_per_meter;
    s.image.y_resolution = image.info.y_pels_per_meter < 0 ? 0 : image.info.y_pels_per_meter;
    s.image.source_bits = image.source_bits;
    s.image.file_size = static_cast<int32_t>(image.file_size);
    s.image.source_format = image.format;
    if (s.image.source_format != kFileJpeg && s.save.save_format == kSaveFormatLosslessJpeg)
        s.save.save_format = kSaveFormatJpeg;
    if (path) {
        s.image.file_time = image.last_write_time;
        s.file_turned_since_load = false;
        copy_path(s.image.path, path);
        copy_path(s.image.file_name, file_name_part(s.image.path));
    }
    if (reset_choices == kResetChoicesByPath) reset_choices = path ? kResetAllSaveChoices : 0;
    if (reset_choices & kResetLossless) s.save_choices.lossless_operation = 0;
    if (reset_choices & kResetComment) s.save_choices.insert_comment = 0;
    if (reset_choices & kResetTransparency) s.save_choices.transparent = 0;
    switch (history_mode) {
        case kHistoryClear: history_clear(s.history, s.image.source_format); break;
        case kHistoryPush:
            return history_push_step(s.history, shown_step_image(), step_name ? step_name : u"");
        default: break;
    }
    return UndoResult::ok;
}

void release_current_image() {
    EditState& s = g_edit_state;
    if (s.memory_dc && s.dc_initial_bitmap) SelectObject(s.memory_dc, s.dc_initial_bitmap);
    EditAnimation& a = s.animation;
    if (a.animated) {
        if (s.image_window) KillTimer(s.image_window, kAnimationTimerId);
        // The reader may hand the image's own bitmap out as a frame too: each handle goes once.
        for (int32_t i = 0; i < kEditMaxFrames; ++i) {
            HBITMAP frame = a.frame_bitmaps[i];
            if (!frame) continue;
            bool seen = frame == s.bitmap;
            for (int32_t j = 0; j < i && !seen; ++j) seen = a.frame_bitmaps[j] == frame;
            if (!seen) DeleteObject(frame);
            a.frame_bitmaps[i] = nullptr;
        }
        a = EditAnimation{};
    }
    if (s.bitmap) DeleteObject(s.bitmap);
    s.bitmap = nullptr;
    s.bits = nullptr;
}

bool refresh_selection_overlay(const BITMAPINFOHEADER& header) {
    EditState& s = g_edit_state;
    const int64_t stride = row_stride_bytes(s.image.width, 24);
    const int64_t bytes = stride * s.image.height;
    uint8_t* buffer = nullptr;
    if (bytes > 0 && uint64_t(bytes) <= SIZE_MAX) buffer = static_cast<uint8_t*>(std::malloc(size_t(bytes)));
    if (!buffer) {
        report_view_error(box_owner(), kErrorMemory);
        return false;
    }
    render_selection_overlay(s.selection.selection_mask, buffer, s.bits);
    // A bitmap selected into a DC cannot be the target of SetDIBits.
    if (s.selection.show_selection && s.memory_dc && s.bitmap) SelectObject(s.memory_dc, s.bitmap);
    BITMAPINFO info = {};
    info.bmiHeader = header;
    SetDIBits(s.memory_dc, s.selection.selection_overlay, 0, UINT(s.image.height), buffer, &info,
              DIB_RGB_COLORS);
    std::free(buffer);
    return true;
}

int show_view_error(HWND owner, int code) {
    EditState& s = g_edit_state;
    const bool warning = code == kWarningInputFolderChanged || code == kWarningHtmlTagWrite;
    const bool known = code >= 0 && code < kErrorCodeCount && code != kErrorConversionBusy;
    const wchar_t* text = known ? error_message_text(code) : L"Error";
    const wchar_t* caption = warning ? L"Pexaron" : L"Error";
    const UINT style = (warning ? MB_ICONWARNING : MB_ICONERROR) | MB_SETFOREGROUND;
    if (s.window_kind == 0)
        while (ShowCursor(TRUE) < 0) {
        }
    const bool disable = s.file_list_window && IsWindowEnabled(s.file_list_window);
    if (disable) EnableWindow(s.file_list_window, FALSE);
    const int answer = app_message_box(owner, text, caption, style);
    if (disable) EnableWindow(s.file_list_window, TRUE);
    return answer;
}

void refresh_file_time() {
    FILETIME time;
    if (read_file_time(&time))
        g_edit_state.image.file_time = FileTime{time.dwLowDateTime, time.dwHighDateTime};
}

int file_time_changed(bool update) {
    FILETIME time;
    if (!read_file_time(&time)) return -1;
    FileTime& known = g_edit_state.image.file_time;
    if (known.low == time.dwLowDateTime && known.high == time.dwHighDateTime) return 0;
    if (update) known = FileTime{time.dwLowDateTime, time.dwHighDateTime};
    return 1;
}
