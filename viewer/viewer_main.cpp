// The viewer's start-up, its frame window (which is also the view) and the message loop.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
// clang-format on

#include "common/win/message_box.h"
#include "common/win/message_loop.h"
#include "kernels/lookup_tables.h"
#include "shell/core/settings_store.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "viewer/viewer_app.h"

ViewerApp g_viewer;
uint8_t g_viewer_blend_table[65536];

const wchar_t kViewerFrameClass[] = L"Qelvo_vwin_class";
const wchar_t kViewerBarClass[] = L"Qelvo_vbar_class";
const wchar_t kViewerNavigatorClass[] = L"Qelvo_navi_class";
const wchar_t kViewerImageFailed[] = L"画像の表示に失敗しました。";

namespace {

constexpr wchar_t kStartFailed[] = L"ファイル実行に失敗しました。";
constexpr DWORD kErrorBoxStyle = MB_SETFOREGROUND | MB_ICONERROR;

void read_settings(const std::u16string& settings_path) {
    ViewerApp& v = g_viewer;
    SettingsReader reader = settings_open_read(settings_path);
    v.arrow = LoadCursorW(nullptr, IDC_ARROW);
    v.wait = LoadCursorW(nullptr, IDC_WAIT);
    v.refused = LoadCursorW(nullptr, IDC_NO);
    v.move = LoadCursorW(v.instance, MAKEINTRESOURCEW(kViewerMoveCursor));
    v.icon = LoadIconW(v.instance, MAKEINTRESOURCEW(kViewerIcon));
    v.settings = read_viewer_settings(reader);
    v.image = ViewerImage{};
    v.view = ViewGeometry{};
    v.view.image_width = kViewerStartWidth;
    v.view.image_height = kViewerStartHeight;
    v.view.display_width = kViewerStartWidth;
    v.view.display_height = kViewerStartHeight;
    v.view.zoom = kZoomActualSize;
    v.cursor_shown = true;
    load_viewer_keys(reader, v.keys);
    ACCEL accelerators[kViewerKeyCount];
    for (int i = 0; i < kViewerKeyCount; ++i)
        accelerators[i] = ACCEL{v.keys[i].fVirt, v.keys[i].key, v.keys[i].cmd};
    v.accelerators = CreateAcceleratorTableW(accelerators, kViewerKeyCount);
    settings_close_read(reader);
}

void make_colours() {
    ViewerApp& v = g_viewer;
    v.menu_text = GetSysColor(COLOR_MENUTEXT);
    v.gray_text = GetSysColor(COLOR_GRAYTEXT);
    if (!v.light_brush) v.light_brush = CreateSolidBrush(0xFFFFE8);
    if (!v.white_brush) v.white_brush = CreateSolidBrush(0xFFFFFF);
    if (!v.frame_pen) v.frame_pen = CreatePen(PS_SOLID, 1, 0x909048);
    if (!v.hot_pen) v.hot_pen = CreatePen(PS_SOLID, 1, 0xC060C0);
}

void delete_colours() {
    ViewerApp& v = g_viewer;
    for (HGDIOBJ* o : {reinterpret_cast<HGDIOBJ*>(&v.light_brush), reinterpret_cast<HGDIOBJ*>(&v.white_brush),
                       reinterpret_cast<HGDIOBJ*>(&v.frame_pen), reinterpret_cast<HGDIOBJ*>(&v.hot_pen)}) {
        if (*o) DeleteObject(*o);
        *o = nullptr;
    }
}

bool register_classes() {
    ViewerApp& v = g_viewer;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS | CS_OWNDC;
    wc.lpfnWndProc = viewer_frame_proc;
    wc.hInstance = v.instance;
    wc.hIcon = v.icon;
    wc.hCursor = v.arrow;
    wc.lpszClassName = kViewerFrameClass;
    if (!RegisterClassExW(&wc)) return false;
    return register_view_bar_class(v.instance, kViewerBarClass) &&
           register_navigator_class(v.instance, kViewerNavigatorClass);
}

// A client of 400 x 300 centred on the monitor under the mouse.
RECT start_window_rect() {
    RECT work = {};
    POINT cursor = {};
    GetCursorPos(&cursor);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    HMONITOR monitor = MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST);
    if (monitor && GetMonitorInfoW(monitor, &info))
        work = info.rcWork;
    else if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        work = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT frame = {};
    viewer_frame_extent(kViewerWindowStyle, &frame);
    const ViewerRect r = viewer_start_placement(
        kViewerStartWidth, kViewerStartHeight, -frame.left, -frame.top, frame.right - frame.left,
        frame.bottom - frame.top, ViewerRect{work.left, work.top, work.right, work.bottom});
    return RECT{r.left, r.top, r.right, r.bottom};
}

// The argument's long form; false when it or that form does not fit a path buffer, since cut
// short it could name another file.
bool long_form(const wchar_t* argument, wchar_t* path) {
    if (lstrlenW(argument) >= MAX_PATH) return false;
    const DWORD length = GetLongPathNameW(argument, path, MAX_PATH);
    if (length >= MAX_PATH) return false;
    if (length == 0 || path[0] == 0) lstrcpynW(path, argument, MAX_PATH);
    return true;
}

void open_first_file(const wchar_t* argument) {
    wchar_t path[MAX_PATH] = {};
    if (!long_form(argument, path)) {
        viewer_show_error();
        viewer_show_image_info();
        return;
    }
    SHFILEINFOW info = {};
    info.dwAttributes = SFGAO_LINK;
    if (SHGetFileInfoW(path, 0, &info, sizeof info, SHGFI_ATTRIBUTES | SHGFI_ATTR_SPECIFIED) &&
        (info.dwAttributes & SFGAO_LINK))
        resolve_shortcut(path);
    if (viewer_open_file(path)) {
        viewer_show_loaded_image();
    } else {
        viewer_show_error();
    }
    viewer_show_image_info();
}

bool create_windows(int argc, wchar_t** argv, int show) {
    ViewerApp& v = g_viewer;
    make_colours();
    if (!register_classes()) return false;
    INITCOMMONCONTROLSEX controls = {sizeof controls, 0x41D};
    InitCommonControlsEx(&controls);
    const RECT r = start_window_rect();
    v.frame = CreateWindowExW(kViewerExStyle, kViewerFrameClass, L"Qelvo", kViewerWindowStyle, r.left, r.top,
                              r.right - r.left, r.bottom - r.top, nullptr, nullptr, v.instance, v.keys);
    if (!v.frame) return false;
    if (show == SW_SHOWMAXIMIZED) {
        // Shown first as a window, so that full screen grows a window the system already placed.
        ShowWindow(v.frame, SW_SHOWNORMAL);
        viewer_enter_full_screen();
    } else {
        ShowWindow(v.frame, show);
        if (show == SW_SHOWMINNOACTIVE) ShowWindow(v.frame, SW_SHOWNORMAL);
    }
    UpdateWindow(v.frame);
    if (argc > 1 && argv[1] && argv[1][0]) open_first_file(argv[1]);
    v.list = CreateWindowExW(
        WS_EX_STATICEDGE, L"LISTBOX", nullptr, WS_CHILD | LBS_SORT | LBS_NOINTEGRALHEIGHT, 0, 0, 0, 0,
        v.frame, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kViewerListId)), v.instance, nullptr);
    NavigatorSource source;
    source.view = &v.view;
    source.image_dc = v.memory_dc;
    create_navigator_window(v.navigator, v.frame, kViewerNavigatorClass, v.instance, source);
    if (v.has_image) viewer_sync_file_list();
    return true;
}

// The settings path under the application-data folder, then the windows for the command line.
bool read_command_line(int show, const wchar_t* command_line) {
    if (g_viewer.os_class == 0) return false;
    wchar_t folder[MAX_PATH] = {};
    if (g_viewer.appdata_folder[0])
        lstrcpynW(folder, g_viewer.appdata_folder, MAX_PATH);
    else if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, folder)))
        return false;
    if (!PathAppendW(folder, L"Pexaron")) return false;
    if (!PathIsDirectoryW(folder)) CreateDirectoryW(folder, nullptr);
    wchar_t settings[MAX_PATH] = {};
    lstrcpynW(settings, folder, MAX_PATH);
    if (!PathAppendW(settings, L"Pexaron.ini")) return false;
    read_settings(u16(settings));
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(command_line, &argc);
    const bool ok = create_windows(argv ? argc : 0, argv, show);
    if (argv) LocalFree(argv);
    return ok;
}

void on_create(HWND window) {
    ViewerApp& v = g_viewer;
    v.frame = window;
    v.dc = GetDC(window);
    if (v.settings.halftone) {
        SetStretchBltMode(v.dc, HALFTONE);
        SetBrushOrgEx(v.dc, 0, 0, nullptr);
    } else {
        SetStretchBltMode(v.dc, COLORONCOLOR);
    }
    SetROP2(v.dc, R2_NOT);
    v.memory_dc = CreateCompatibleDC(v.dc);
    for (HWND* tip : {&v.bar_tips, &v.window_tip}) {
        *tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                               v.instance, nullptr);
        SendMessageW(*tip, TTM_SETDELAYTIME, TTDT_INITIAL, 300);
        SendMessageW(*tip, TTM_SETTIPBKCOLOR, 0xFFFFFF, 0);
    }
    viewer_create_button_bar();
    viewer_update_bar_buttons();
    TOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(window);
    tool.lpszText = const_cast<wchar_t*>(L"Qelvo");
    SendMessageW(v.window_tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(v.window_tip, TTM_ACTIVATE, FALSE, 0);
    v.tip_active = false;
}

void on_close() {
    viewer_restore_toolbar_proc();
    viewer_close_folder_watch();
    viewer_free_image();
    delete_colours();
}

void on_wininichange() {
    ViewerApp& v = g_viewer;
    v.arrow = LoadCursorW(nullptr, IDC_ARROW);
    v.wait = LoadCursorW(nullptr, IDC_WAIT);
    v.refused = LoadCursorW(nullptr, IDC_NO);
    v.menu_text = GetSysColor(COLOR_MENUTEXT);
    v.gray_text = GetSysColor(COLOR_GRAYTEXT);
    viewer_on_settings_change();
}

}  // namespace

bool viewer_start(int show, const wchar_t* command_line) {
    return read_command_line(show, command_line);
}

bool viewer_accelerator(MSG* msg) {
    const ViewerApp& v = g_viewer;
    return v.accelerators && v.frame && TranslateAcceleratorW(v.frame, v.accelerators, msg);
}

void viewer_show_error() {
    show_viewer_cursor();
    app_message_box(g_viewer.frame, kViewerImageFailed, L"Error", kErrorBoxStyle);
}

void show_viewer_cursor() {
    if (g_viewer.cursor_shown) return;
    g_viewer.cursor_shown = true;
    ShowCursor(TRUE);
}

void hide_viewer_cursor() {
    if (!g_viewer.cursor_shown) return;
    g_viewer.cursor_shown = false;
    ShowCursor(FALSE);
}

LRESULT CALLBACK viewer_frame_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    ViewerApp& v = g_viewer;
    switch (message) {
        case WM_CREATE: on_create(window); return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        case WM_SIZE: viewer_on_size(LOWORD(lparam), HIWORD(lparam)); return 0;
        case WM_PAINT: viewer_paint(); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_CLOSE: on_close(); return DefWindowProcW(window, message, wparam, lparam);
        case WM_WININICHANGE: on_wininichange(); return 0;
        case WM_ACTIVATEAPP: viewer_on_activate(wparam != 0); return 0;
        case WM_NCHITTEST: {
            const LRESULT hit = DefWindowProcW(window, message, wparam, lparam);
            if (!v.full_screen) {
                const bool want = hit == HTSYSMENU;
                if (want != v.tip_active) {
                    v.tip_active = want;
                    SendMessageW(v.window_tip, TTM_ACTIVATE, want, 0);
                }
            }
            return hit;
        }
        case WM_NCLBUTTONDBLCLK:
            if (wparam == HTCAPTION) {
                viewer_do_command(kViewerFullScreen);
                return 0;
            }
            return DefWindowProcW(window, message, wparam, lparam);
        case WM_COMMAND:
            if (v.view.drag_mode == kDragNone && !v.view.zoom_drag_active) viewer_do_command(LOWORD(wparam));
            return 0;
        case WM_SYSCOMMAND: {
            const UINT command = static_cast<UINT>(wparam & 0xFFF0);
            if (command == SC_MAXIMIZE || (command == SC_RESTORE && v.full_screen && IsZoomed(window))) {
                viewer_do_command(kViewerFullScreen);
                return 0;
            }
            return DefWindowProcW(window, message, wparam, lparam);
        }
        case WM_TIMER:
            if (wparam == kViewerGifTimer) viewer_on_gif_timer();
            return 0;
        case WM_SIZING:
            if (!v.has_image) return DefWindowProcW(window, message, wparam, lparam);
            viewer_on_sizing(static_cast<int32_t>(wparam), reinterpret_cast<RECT*>(lparam));
            return TRUE;
        case WM_DROPFILES: viewer_on_drop_files(reinterpret_cast<HDROP>(wparam)); return 0;
        case WM_CAPTURECHANGED:
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_MBUTTONDOWN:
        case WM_MOUSEWHEEL:
            if (viewer_mouse(message, wparam, lparam)) return 0;
            return DefWindowProcW(window, message, wparam, lparam);
        default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

int viewer_main(HINSTANCE instance, int show) {
    ViewerApp& v = g_viewer;
    v.instance = instance;
    v.heap = HeapCreate(0, 0x10000, 0);
    if (!v.heap) return 0;
    build_blend_table(g_viewer_blend_table);
    v.os_class = detect_os_version();
    g_shell.instance = instance;
    create_ui_font();
    v.ui_font = g_shell.ui_font.get();
    DWORD_PTR help_cookie = 0;
    html_help_begin(&help_cookie);
    int exit_code = 0;
    // COM comes before the windows: a shortcut on the command line is resolved while they are
    // set up, and without COM it would not be.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (viewer_start(show, GetCommandLineW()))
        exit_code = pump_thread_messages(viewer_accelerator);
    else
        app_message_box(nullptr, kStartFailed, L"Error", kErrorBoxStyle);
    if (SUCCEEDED(com)) CoUninitialize();
    html_help_end(help_cookie);
    if (v.accelerators) DestroyAcceleratorTable(v.accelerators);
    delete_ui_font();
    HeapDestroy(v.heap);
    return exit_code;
}
