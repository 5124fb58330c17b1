#include "shell/shell_helpers.h"

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <imm.h>
#include <shlobj.h>
#include <shlwapi.h>
// clang-format on

#include <string>

#include "common/win/handle.h"
#include "shell/core/folder_listing.h"
#include "shell/core/preview_rules.h"
#include "shell/core/shell_rules.h"
#include "shell/folder_search.h"
#include "shell/shell_state.h"

void create_ui_font() {
    LOGFONTW font = {};
    font.lfHeight = -12;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = SHIFTJIS_CHARSET;
    lstrcpynW(font.lfFaceName, L"MS UI Gothic", LF_FACESIZE);
    g_shell.ui_font.reset(CreateFontIndirectW(&font));
}

void delete_ui_font() {
    g_shell.ui_font.reset();
}

ATOM register_window_class(WNDPROC procedure, HICON icon, HCURSOR cursor, int background,
                           const wchar_t* name) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = procedure;
    wc.hInstance = g_shell.instance ? g_shell.instance : GetModuleHandleW(nullptr);
    wc.hIcon = icon;
    wc.hCursor = cursor;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(background));
    wc.lpszClassName = name;
    return RegisterClassExW(&wc);
}

ATOM register_window_class_owndc(WNDPROC procedure, HICON icon, HCURSOR cursor, const wchar_t* name) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS | CS_OWNDC;
    wc.lpfnWndProc = procedure;
    wc.hInstance = g_shell.instance ? g_shell.instance : GetModuleHandleW(nullptr);
    wc.hIcon = icon;
    wc.hCursor = cursor;
    wc.lpszClassName = name;
    return RegisterClassExW(&wc);
}

int count_files_in_folder(const wchar_t* folder) {
    return count_files_in_folder(system_folder_search(), reinterpret_cast<const char16_t*>(folder));
}

void get_last_write_time(const wchar_t* path, FILETIME* time) {
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW(path, &data));
    if (find.valid()) *time = data.ftLastWriteTime;
}

namespace {

bool valid_path_list(const wchar_t* list, size_t length) {
    return list && length > 1 && list[length - 1] == 0 && list[length - 2] == 0;
}

}  // namespace

int recycle_files(const wchar_t* list, size_t length, HWND owner) {
    if (!valid_path_list(list, length)) return 1;
    SHFILEOPSTRUCTW op = {};
    op.hwnd = owner;
    op.wFunc = FO_DELETE;
    op.pFrom = list;
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    return SHFileOperationW(&op);
}

int recycle_files_ex(const wchar_t* list, size_t length, HWND owner, FILEOP_FLAGS* flags) {
    if (!valid_path_list(list, length)) return 1;
    SHFILEOPSTRUCTW op = {};
    op.hwnd = owner;
    op.wFunc = FO_DELETE;
    op.pFrom = list;
    op.fFlags = static_cast<FILEOP_FLAGS>(*flags | FOF_ALLOWUNDO);
    const int result = SHFileOperationW(&op);
    *flags = static_cast<FILEOP_FLAGS>(op.fAnyOperationsAborted);
    return result;
}

bool is_shortcut(const wchar_t* path) {
    SHFILEINFOW info = {};
    info.dwAttributes = SFGAO_LINK;
    if (!SHGetFileInfoW(path, 0, &info, sizeof info, SHGFI_ATTRIBUTES)) return false;
    return (info.dwAttributes & SFGAO_LINK) != 0;
}

bool resolve_shortcut(wchar_t* path) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    bool ok = false;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        WIN32_FIND_DATAW data;
        wchar_t target[MAX_PATH] = {};
        if (SUCCEEDED(file->Load(path, STGM_READ)) &&
            link->GetPath(target, MAX_PATH, &data, SLGP_UNCPRIORITY) == S_OK) {
            lstrcpynW(path, target, MAX_PATH);
            ok = true;
        }
        file->Release();
    }
    link->Release();
    return ok;
}

bool create_shortcut(const wchar_t* target, const wchar_t* link_path) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    link->SetPath(target);
    link->SetArguments(L"");
    link->SetIconLocation(target, 0);
    link->SetShowCmd(SW_SHOWNORMAL);
    bool ok = false;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        ok = SUCCEEDED(file->Save(link_path, TRUE));
        file->Release();
    }
    link->Release();
    return ok;
}

void settings_folder_path_for(wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    if (g_shell.os_class != 0) {
        lstrcpynW(folder, g_shell.settings_path, MAX_PATH);
        PathRemoveFileSpecW(folder);
    } else {
        GetWindowsDirectoryW(folder, MAX_PATH);
    }
    wchar_t file[MAX_PATH];
    lstrcpynW(file, name, MAX_PATH);
    if (PathAppendW(folder, file)) lstrcpynW(name, folder, MAX_PATH);
}

int compare_names(const wchar_t* a, const wchar_t* b) {
    return compare_names(reinterpret_cast<const char16_t*>(a), reinterpret_cast<const char16_t*>(b));
}

bool choose_color(HWND owner, BYTE* rgb, COLORREF* custom_colours) {
    CHOOSECOLORW cc = {};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = owner;
    cc.rgbResult = RGB(rgb[0], rgb[1], rgb[2]);
    cc.lpCustColors = custom_colours;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!ChooseColorW(&cc)) return false;
    rgb[0] = GetRValue(cc.rgbResult);
    rgb[1] = GetGValue(cc.rgbResult);
    rgb[2] = GetBValue(cc.rgbResult);
    return true;
}

bool browse_for_folder(const wchar_t* title, wchar_t* path, HWND owner) {
    BROWSEINFOW bi = {};
    bi.hwndOwner = owner;
    bi.lpszTitle = title;
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    bi.lpfn = browse_folder_callback;
    bi.lParam = reinterpret_cast<LPARAM>(path);
    LPITEMIDLIST item = SHBrowseForFolderW(&bi);
    if (!item) return false;
    wchar_t chosen[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListW(item, chosen) != FALSE;
    CoTaskMemFree(item);
    if (ok) lstrcpynW(path, chosen, MAX_PATH);
    return ok;
}

void insert_thousands_separators(wchar_t* digits) {
    std::u16string text = u16(digits);
    insert_thousands_separators(text);
    // The caller's buffer holds 256 characters.
    lstrcpynW(digits, wide(text), 256);
}

bool turn_ime_off(HWND image_window) {
    HIMC context = ImmGetContext(image_window);
    if (!context) return false;
    const bool was_open = ImmGetOpenStatus(context) != FALSE;
    if (was_open) ImmSetOpenStatus(context, FALSE);
    ImmReleaseContext(image_window, context);
    return was_open;
}

int CALLBACK browse_folder_callback(HWND dialog, UINT message, LPARAM, LPARAM data) noexcept {
    const wchar_t* initial = reinterpret_cast<const wchar_t*>(data);
    if (message == BFFM_INITIALIZED && initial && initial[0])
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(initial));
    return 1;
}

int CALLBACK compare_list_items_text(LPARAM first, LPARAM second, LPARAM list_view) noexcept {
    HWND list = reinterpret_cast<HWND>(list_view);
    wchar_t a[MAX_PATH] = {};
    wchar_t b[MAX_PATH] = {};
    LVITEMW item = {};
    item.iSubItem = 0;
    item.cchTextMax = MAX_PATH;
    item.pszText = a;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(first), reinterpret_cast<LPARAM>(&item));
    item.pszText = b;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(second), reinterpret_cast<LPARAM>(&item));
    return CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE | SORT_STRINGSORT, a, -1, b, -1) - 2;
}

void get_monitor_rects(HWND window, RECT* work_area, RECT* monitor) {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    HMONITOR nearest = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    if (nearest && GetMonitorInfoW(nearest, &info)) {
        if (work_area) *work_area = info.rcWork;
        if (monitor) *monitor = info.rcMonitor;
        return;
    }
    if (monitor) *monitor = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (work_area && !SystemParametersInfoW(SPI_GETWORKAREA, 0, work_area, 0))
        *work_area = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

int detect_os_version() {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&info)) return 0;
#pragma GCC diagnostic pop
    return os_class_for_version(info.dwMajorVersion, info.dwMinorVersion);
}

namespace {

constexpr UINT kHelpInitialize = 0x001C;
constexpr UINT kHelpUninitialize = 0x001D;

using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
HMODULE g_help_library = nullptr;
HtmlHelpFunction g_html_help = nullptr;

}  // namespace

void html_help_begin(DWORD_PTR* cookie) {
    g_help_library = LoadLibraryW(L"hhctrl.ocx");
    if (g_help_library)
        g_html_help = reinterpret_cast<HtmlHelpFunction>(
            reinterpret_cast<void*>(GetProcAddress(g_help_library, "HtmlHelpW")));
    if (g_html_help) g_html_help(nullptr, nullptr, kHelpInitialize, reinterpret_cast<DWORD_PTR>(cookie));
}

void html_help_end(DWORD_PTR cookie) {
    if (g_html_help) g_html_help(nullptr, nullptr, kHelpUninitialize, cookie);
    if (g_help_library) FreeLibrary(g_help_library);
    g_html_help = nullptr;
    g_help_library = nullptr;
}

void measure_screen() {
    RECT frame = {0, 0, 0, 0};
    AdjustWindowRectEx(&frame, WS_POPUP | WS_THICKFRAME, FALSE, WS_EX_CLIENTEDGE);
    g_shell.frame_width = frame.right - frame.left;
    g_shell.frame_height = frame.bottom - frame.top;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &g_shell.work_area, 0);
    g_shell.largest_square = largest_preview_size(g_shell.work_area.right - g_shell.work_area.left,
                                                  g_shell.work_area.bottom - g_shell.work_area.top,
                                                  g_shell.frame_width, g_shell.frame_height);
    g_shell.arrow_cursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    g_shell.wait_cursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32514));
    g_shell.no_cursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32648));
    // Visual styles are looked up at run time: the program also runs where there are none.
    g_shell.themed = false;
    if (HMODULE theme = GetModuleHandleW(L"uxtheme.dll")) {
        using IsThemeActiveFunction = BOOL(WINAPI*)();
        auto active = reinterpret_cast<IsThemeActiveFunction>(
            reinterpret_cast<void*>(GetProcAddress(theme, "IsThemeActive")));
        g_shell.themed = active && active();
    }
}
