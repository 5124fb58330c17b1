#include "imagewin/save_dialog.h"

#include <string>

#include "codecs/file_type.h"
#include "imagewin/edit_state.h"
#include "imagewin/edit_window.h"
#include "imagewin/image_file_list_win.h"
#include "imagewin/image_view_win.h"
#include "imagewin/save_edit_image.h"
#include "imagewin/save_window_seam.h"

namespace {

constexpr int kRebarId = 720;
constexpr int kFileNameControl = 1152;
constexpr DWORD kSaveDialogFlags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLEHOOK |
                                   OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING;
static_assert(kSaveDialogFlags == 0x880826);

SaveFileDialogRoutine g_routine = nullptr;

HWND g_frame = nullptr;
WNDPROC g_frame_proc = nullptr;
bool g_placed = false;
int g_place_attempts = 0;

const wchar_t* wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// The lower-left corner of the edit window's bars, in screen coordinates.
POINT place_corner() {
    RECT bars = {};
    HWND window = g_edit_state.image_window;
    HWND rebar = window ? GetDlgItem(window, kRebarId) : nullptr;
    if (rebar)
        GetWindowRect(rebar, &bars);
    else if (window)
        GetWindowRect(window, &bars);
    return POINT{bars.left, rebar ? bars.bottom : bars.top};
}

RECT work_area_at(POINT point) {
    RECT area = {};
    HMONITOR monitor = MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (monitor && GetMonitorInfoW(monitor, &info))
        area = info.rcWork;
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

LRESULT CALLBACK frame_proc(HWND frame, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    const WNDPROC original = g_frame_proc;
    if (!g_placed && message == WM_WINDOWPOSCHANGING) {
        auto* pos = reinterpret_cast<WINDOWPOS*>(lparam);
        const POINT corner = place_corner();
        const RECT area = work_area_at(corner);
        pos->x = corner.x;
        pos->y = corner.y;
        pos->flags &= ~UINT(SWP_NOMOVE);
        if (!(pos->flags & SWP_NOSIZE)) {
            if (pos->cx > area.right - corner.x) pos->cx = area.right - corner.x;
            if (pos->cy > area.bottom - corner.y) pos->cy = area.bottom - corner.y;
        }
        return 0;
    }
    // The frame's own handling comes first: whatever it does to the position is what is checked.
    const LRESULT result = original ? CallWindowProcW(original, frame, message, wparam, lparam)
                                    : DefWindowProcW(frame, message, wparam, lparam);
    if (!g_placed && message == WM_WINDOWPOSCHANGED) {
        const POINT corner = place_corner();
        RECT now = {};
        GetWindowRect(frame, &now);
        if ((now.left == corner.x && now.top == corner.y) || g_place_attempts >= kSaveDialogPlaceAttempts) {
            g_placed = true;
        } else {
            ++g_place_attempts;
            SetWindowPos(frame, nullptr, corner.x, corner.y, 0, 0,
                         SWP_NOSENDCHANGING | SWP_NOZORDER | SWP_NOSIZE);
        }
    }
    return result;
}

void on_type_change(HWND dialog, const OPENFILENAMEW* request) {
    EditState& s = g_edit_state;
    const DWORD index = request->nFilterIndex;
    if (index < 1 || index > DWORD(kSaveFormatCount) || index == DWORD(s.save.save_format + 1)) return;
    s.save.save_format = SaveFormat(index - 1);
    HWND frame = GetParent(dialog);
    // The default extension is given without its dot.
    const std::u16string extension(save_default_extension(s.save.save_format) + 1);
    SendMessageW(frame, CDM_SETDEFEXT, 0, reinterpret_cast<LPARAM>(wide(extension)));
    update_format_list();
    update_bit_depth_list();
    update_save_bar();
    wchar_t spec[MAX_PATH] = {};
    const LRESULT length = SendMessageW(frame, CDM_GETSPEC, MAX_PATH, reinterpret_cast<LPARAM>(spec));
    if (length <= 0) return;
    spec[MAX_PATH - 1] = 0;
    const std::u16string name(reinterpret_cast<const char16_t*>(spec));
    const std::u16string bare = strip_extension(name);
    if (bare != name)
        SendMessageW(frame, CDM_SETCONTROLTEXT, kFileNameControl, reinterpret_cast<LPARAM>(wide(bare)));
}

std::u16string folder_of(const char16_t* path) {
    const std::u16string text(path);
    const size_t separator = text.find_last_of(u"\\/");
    return separator == std::u16string::npos ? std::u16string() : text.substr(0, separator);
}

}  // namespace

SaveFileDialogRoutine set_save_file_dialog_routine(SaveFileDialogRoutine routine) {
    const SaveFileDialogRoutine previous = g_routine;
    g_routine = routine;
    return previous;
}

BOOL run_save_file_dialog(OPENFILENAMEW* request) {
    EditModalScope modal;
    return g_routine ? g_routine(request) : GetSaveFileNameW(request);
}

UINT_PTR CALLBACK save_dialog_hook(HWND dialog, UINT message, WPARAM, LPARAM lparam) noexcept {
    switch (message) {
        case WM_INITDIALOG: {
            HWND frame = GetParent(dialog);
            if (!frame) return 0;
            g_frame = frame;
            g_placed = false;
            g_place_attempts = 0;
            g_frame_proc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(frame_proc)));
            return 0;
        }
        case WM_DESTROY:
            g_placed = false;
            if (g_frame && g_frame_proc)
                SetWindowLongPtrW(g_frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_frame_proc));
            g_frame = nullptr;
            g_frame_proc = nullptr;
            return 0;
        case WM_NOTIFY: {
            const auto* notify = reinterpret_cast<const OFNOTIFYW*>(lparam);
            if (notify->hdr.code != CDN_TYPECHANGE) return 0;
            on_type_change(dialog, notify->lpOFN);
            return 1;
        }
        default: return 0;
    }
}

bool save_edit_image_as() {
    EditState& s = g_edit_state;
    HWND file_list = s.file_list_window;
    if (file_list) EnableWindow(file_list, FALSE);
    wchar_t directory[MAX_PATH] = {};
    const DWORD directory_length = GetCurrentDirectoryW(MAX_PATH, directory);

    wchar_t file[kEditPathChars] = {};
    const std::u16string bare = strip_extension(std::u16string(s.image.file_name));
    bare.copy(reinterpret_cast<char16_t*>(file), size_t(kEditPathChars - 1));
    const std::u16string initial_folder = folder_of(s.image.path);
    const std::u16string filter = save_dialog_filter(s.image.source_format == kFileJpeg);
    const std::u16string extension(save_default_extension(s.save.save_format) + 1);

    OPENFILENAMEW request = {};
    request.lStructSize = sizeof request;
    request.hwndOwner = s.image_window;
    request.lpstrFilter = wide(filter);
    request.nFilterIndex = DWORD(s.save.save_format + 1);
    request.lpstrFile = file;
    request.nMaxFile = kEditPathChars;
    request.lpstrInitialDir = initial_folder.empty() ? nullptr : wide(initial_folder);
    request.lpstrDefExt = wide(extension);
    request.Flags = kSaveDialogFlags;
    request.lpfnHook = save_dialog_hook;

    bool saved = false;
    if (run_save_file_dialog(&request)) {
        if (s.image_window) {
            InvalidateRect(s.image_window, nullptr, FALSE);
            UpdateWindow(s.image_window);
        }
        file[kEditPathChars - 1] = 0;
        saved = save_edit_image_to(std::u16string(reinterpret_cast<const char16_t*>(file)));
        if (saved) update_image_window_title();
    }
    if (directory_length > 0 && directory_length < MAX_PATH) SetCurrentDirectoryW(directory);
    if (file_list) EnableWindow(file_list, TRUE);
    return saved;
}
