// The thumbnail view's timing and resource harness for the Windows build (run under Wine):
//   thumbnail_view_winbench FOLDER [FIRST_ROW_FILES [MANY_FILES [PHOTOS]]]
// starts the program's main window with view 1 alone (900 x 700), then
// 0. opens a folder of PHOTOS (200) generated 12-megapixel JPEGs in the view with the cache
//    off, three times, and reports thumbnails per second through the whole view path (listing, build
//    loop, cells) beside libjpeg's own 1/8-scaled decode of the same files, as a ratio;
// 1. opens a folder of FIRST_ROW_FILES (10,000) small JPEGs in the view and reports the time
//    from the open to the first row of thumbnails painted, and to the end of the build, once
//    with no cache file (every file decoded) and once again from the cache the first open wrote;
// 2. opens a folder of MANY_FILES (50,000) JPEGs that fill the thumbnail box, waits for its
//    build to end and reports the process's private bytes and working set beside those before any folder was
//    open, and the number of the main window's windows and of GDI objects, at the top of the list and after
//    scrolling to its end.
// A count of 0 leaves its step out.
// A row counts as painted when every cell of the first row has painted itself with its
// thumbnail: a hook on the view's thread sees each cell's paint return, whether the build
// loop sent it or the message loop dispatched it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <winternl.h>
// clang-format on

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/browser_thumbnail_common.h"
#include "common/win/app_messages.h"
#include "common/win/message_box.h"
#include "shell/main_window.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "shell/startup.h"
#include "shell/thumbnail_view.h"
#include "shell/thumbnail_view_parts.h"
#include "tests/shell/settings_file_builder.h"

namespace {

using Clock = std::chrono::steady_clock;

double ms_between(Clock::time_point a, Clock::time_point z) {
    return std::chrono::duration<double, std::milli>(z - a).count();
}

// A photo-like JPEG of the given size in memory; owns nothing with a destructor across
// library calls.
bool encode_jpeg(int width, int height, unsigned char* row, unsigned char** out, unsigned long* size) {
    jpeg_compress_struct info;
    thumbnail_bench::Error error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = thumbnail_bench::error_exit;
    if (setjmp(error.recovery)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 85, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        const int y = int(info.next_scanline);
        for (int x = 0; x < width; ++x) {
            unsigned char* p = row + 3 * x;
            p[0] = static_cast<unsigned char>(x * 255 / width);
            p[1] = static_cast<unsigned char>(y * 255 / height);
            p[2] = static_cast<unsigned char>((x ^ y) & 255);
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

// `count` copies of one generated width x height JPEG in `folder`, made unless the last one
// is there already.
bool jpeg_folder(const std::string& folder, int count, int width, int height) {
    CreateDirectoryA(folder.c_str(), nullptr);
    auto name = [&](int i) { return folder + "\\p" + std::to_string(100000 + i) + ".jpg"; };
    if (thumbnail_bench::file_present(name(count - 1))) return true;
    std::vector<unsigned char> row(3 * static_cast<size_t>(width));
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    if (!encode_jpeg(width, height, row.data(), &bytes, &size)) return false;
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        HANDLE file = CreateFileA(name(i).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        ok = file != INVALID_HANDLE_VALUE && WriteFile(file, bytes, DWORD(size), &written, nullptr) &&
             written == size;
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    std::free(bytes);
    return ok;
}

std::wstring widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

int answer_box(HWND, const wchar_t*, const wchar_t*, UINT) {
    return IDOK;
}

bool pump_until(const std::function<bool()>& done, DWORD timeout_ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeout_ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

// The first-row watch, run on the view's thread by its hooks.
struct FirstRowWatch {
    bool armed = false;
    bool done = false;
    Clock::time_point painted_at;
    uint64_t painted = 0;  // bit i: the cell of entry i painted with its thumbnail
};
FirstRowWatch g_watch;

bool is_thumbnail_cell(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return lstrcmpW(name, L"Pexaron_thimg1_class") == 0;
}

int first_row_columns(HWND cell) {
    RECT base = {}, box = {};
    GetClientRect(view_base_window(0), &base);
    GetWindowRect(cell, &box);
    const int cell_width = box.right - box.left;
    int columns = cell_width > 0 ? base.right / cell_width : 1;
    if (columns < 1) columns = 1;
    if (columns > 64) columns = 64;
    const ViewState& state = view_state(0);
    return state.count < columns ? state.count : columns;
}

void cell_painted(HWND cell) {
    if (!g_watch.armed || g_watch.done || !is_thumbnail_cell(cell)) return;
    const ViewState& state = view_state(0);
    const int index = GetDlgCtrlID(cell) - 10000;
    if (index < 0 || index >= 64 || index >= state.count || !state.entries ||
        !state.entries[index].thumbnail_bits)
        return;
    g_watch.painted |= uint64_t{1} << index;
    const int columns = first_row_columns(cell);
    const uint64_t row = columns >= 64 ? ~uint64_t{0} : (uint64_t{1} << columns) - 1;
    if ((g_watch.painted & row) == row) {
        g_watch.painted_at = Clock::now();
        g_watch.done = true;
    }
}

// A paint the loop dispatched has returned by the time the thread asks for its next message.
HWND g_dispatched_paint = nullptr;

LRESULT CALLBACK sent_hook(int code, WPARAM wparam, LPARAM lparam) {
    const CWPRETSTRUCT* m = reinterpret_cast<const CWPRETSTRUCT*>(lparam);
    if (code == HC_ACTION && m->message == WM_PAINT) cell_painted(m->hwnd);
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

LRESULT CALLBACK fetched_hook(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HC_ACTION && wparam == PM_REMOVE) {
        if (g_dispatched_paint) cell_painted(g_dispatched_paint);
        const MSG* m = reinterpret_cast<const MSG*>(lparam);
        g_dispatched_paint = m->message == WM_PAINT ? m->hwnd : nullptr;
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

struct OpenTimes {
    double first_row_ms = -1;
    double build_ms = -1;
    int32_t entries = 0;
};

// Opens `folder` in view 1 and waits for the first painted row and the end of the build.
OpenTimes open_and_time(const std::string& folder, DWORD timeout_ms) {
    OpenTimes t;
    g_watch = FirstRowWatch{};
    g_dispatched_paint = nullptr;
    g_watch.armed = true;
    const Clock::time_point start = Clock::now();
    open_folder_in_view(0, widen(folder).c_str());
    bool saw_busy = false;
    const bool ended = pump_until(
        [&] {
            if (view_state(0).busy) saw_busy = true;
            return saw_busy && view_state(0).busy == 0 && g_watch.done;
        },
        timeout_ms);
    const Clock::time_point end = Clock::now();
    g_watch.armed = false;
    if (g_watch.done) t.first_row_ms = ms_between(start, g_watch.painted_at);
    if (ended) t.build_ms = ms_between(start, end);
    t.entries = view_state(0).count;
    return t;
}

BOOL CALLBACK count_window(HWND, LPARAM counter) {
    ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

struct Resources {
    double private_mb = 0;
    double working_set_mb = 0;
    int windows = 0;
    int gdi = 0;
};

// PROCESS_MEMORY_COUNTERS_EX, looked up at run time: psapi is not among the program's libraries.
struct MemoryCounters {
    DWORD cb;
    DWORD PageFaultCount;
    SIZE_T PeakWorkingSetSize, WorkingSetSize, QuotaPeakPagedPoolUsage, QuotaPagedPoolUsage,
        QuotaPeakNonPagedPoolUsage, QuotaNonPagedPoolUsage, PagefileUsage, PeakPagefileUsage, PrivateUsage;
};

// The process's GDI objects, stock objects included. GetGuiResources is a stub under Wine, so
// the objects are counted in the GDI handle table that the process environment block points
// to: 65,536 entries of 24 bytes (the 64-bit layout; Wine keeps it in its 32-bit programs too)
// whose type byte, at offset 14, is 0 for a free entry.
int count_gdi_objects() {
    using Query = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
    static Query query = [] {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll ? reinterpret_cast<Query>(
                           reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationProcess")))
                     : nullptr;
    }();
    PROCESS_BASIC_INFORMATION basic = {};
    if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
        return -1;
    const uint8_t* peb = reinterpret_cast<const uint8_t*>(basic.PebBaseAddress);
    const uint8_t* table = *reinterpret_cast<const uint8_t* const*>(peb + (sizeof(void*) == 8 ? 0xF8 : 0x94));
    if (!table) return -1;
    int count = 0;
    for (int i = 0; i < 65536; ++i) count += table[24 * i + 14] != 0 ? 1 : 0;
    return count;
}

Resources measure() {
    Resources r;
    using Query = BOOL(WINAPI*)(HANDLE, MemoryCounters*, DWORD);
    static Query query = [] {
        HMODULE psapi = LoadLibraryW(L"psapi.dll");
        return psapi ? reinterpret_cast<Query>(
                           reinterpret_cast<void*>(GetProcAddress(psapi, "GetProcessMemoryInfo")))
                     : nullptr;
    }();
    MemoryCounters m = {};
    m.cb = sizeof m;
    if (query && query(GetCurrentProcess(), &m, sizeof m)) {
        // Wine fills the page-file figure only; Windows gives both the same value.
        r.private_mb = double(m.PrivateUsage ? m.PrivateUsage : m.PagefileUsage) / (1 << 20);
        r.working_set_mb = double(m.WorkingSetSize) / (1 << 20);
    }
    EnumChildWindows(g_shell.main_window, count_window, reinterpret_cast<LPARAM>(&r.windows));
    r.windows += 1;
    r.gdi = count_gdi_objects();
    return r;
}

void print_resources(const char* when, const Resources& r) {
    std::printf("%-28s private %8.1f MB, working set %8.1f MB, windows %5d, GDI objects %5d\n", when,
                r.private_mb, r.working_set_mb, r.windows, r.gdi);
}

bool write_settings(const std::wstring& appdata) {
    const std::wstring folder = appdata + L"\\Pexaron";
    CreateDirectoryW(folder.c_str(), nullptr);
    SettingsFileBuilder b;
    // Window at the origin, 900 x 700; view 1 alone.
    b.integer(1, 0).integer(2, 0).integer(3, 900).integer(4, 700).integer(16, 1);
    const std::wstring path = folder + L"\\Pexaron.ini";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, b.bytes().data(), DWORD(b.bytes().size()), &written, nullptr) &&
                    written == b.bytes().size();
    CloseHandle(file);
    return ok;
}

std::string windows_path(const std::string& path) {
    std::string out = path;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [FIRST_ROW_FILES [MANY_FILES]]\n", argv[0]);
        return 2;
    }
    const std::string root = windows_path(argv[1]);
    CreateDirectoryA(root.c_str(), nullptr);
    const int first_row_files = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int many_files = argc > 3 ? std::atoi(argv[3]) : 50000;
    const int photo_count = argc > 4 ? std::atoi(argv[4]) : 200;
    const std::string small = root + "\\view" + std::to_string(first_row_files);
    const std::string many = root + "\\many" + std::to_string(many_files);
    const std::string photos = root + "\\photos";
    CreateDirectoryA(photos.c_str(), nullptr);
    const std::vector<std::string> photo_files =
        photo_count > 0 ? thumbnail_bench::bench_files(photos, photo_count) : std::vector<std::string>();
    if ((first_row_files > 0 && !jpeg_folder(small, first_row_files, 320, 240)) ||
        (many_files > 0 && !jpeg_folder(many, many_files, 192, 144)) ||
        int(photo_files.size()) != photo_count) {
        std::fprintf(stderr, "cannot make the benchmark folders\n");
        return 1;
    }

    // A settings folder of this run's own, so that its cache starts empty.
    set_message_box_hook(answer_box);
    const std::wstring appdata = widen(root) + L"\\appdata-" + std::to_wstring(GetTickCount());
    CreateDirectoryW(appdata.c_str(), nullptr);
    lstrcpynW(g_shell.appdata_folder, appdata.c_str(), MAX_PATH);
    g_shell.instance = GetModuleHandleW(nullptr);
    g_shell.os_class = detect_os_version();
    create_ui_font();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (!write_settings(appdata) || !start_single_instance(SW_SHOWNORMAL, L"Pexaron.exe") ||
        !pump_until([] { return startup_tail_done(); }, 30000) ||
        !pump_until(
            [] {
                RECT rc = {};
                GetClientRect(view_base_window(0), &rc);
                return rc.bottom > 300 && rc.right > 400;
            },
            30000)) {
        std::fprintf(stderr, "the main window did not start\n");
        return 1;
    }
    const DWORD view_thread = GetWindowThreadProcessId(view_frame_window(0), nullptr);
    HHOOK sent = SetWindowsHookExW(WH_CALLWNDPROCRET, sent_hook, nullptr, view_thread);
    HHOOK fetched = SetWindowsHookExW(WH_GETMESSAGE, fetched_hook, nullptr, view_thread);
    const Resources before = measure();

    bool complete = true;
    if (photo_count > 0) {
        // The cache off, so that every pass decodes every photo; the baseline's passes alternate
        // with the view's so that a changing machine load falls on both alike.
        g_shell.main_settings.cache_enabled = 0;
        std::vector<unsigned char> rows;
        for (const std::string& f : photo_files) thumbnail_bench::decode_scale8(f.c_str(), &rows);
        // The fastest of three passes of each side: on a shared machine the slower passes measure
        // the neighbours.
        double ours = 0, base = 0;
        for (int pass = 0; pass < 3; ++pass) {
            const Clock::time_point start = Clock::now();
            for (const std::string& f : photo_files) thumbnail_bench::decode_scale8(f.c_str(), &rows);
            const double decoded = ms_between(start, Clock::now());
            const OpenTimes t = open_and_time(photos, 600000);
            complete = complete && t.entries == photo_count && t.build_ms >= 0;
            base = pass == 0 || decoded < base ? decoded : base;
            ours = pass == 0 || t.build_ms < ours ? t.build_ms : ours;
        }
        g_shell.main_settings.cache_enabled = 1;
        const double n = photo_count;
        std::printf("%d 12-MP photos through the view (cache off, fastest of three opens)\n", photo_count);
        std::printf("view thumbnails      %8.1f per s\n", 1000 * n / ours);
        std::printf("libjpeg 1/8 decode   %8.1f per s\n", 1000 * n / base);
        std::printf("ratio view/1/8       %8.3f\n", base / ours);
    }
    if (first_row_files > 0) {
        const OpenTimes cold = open_and_time(small, 600000);
        const OpenTimes warm = open_and_time(small, 600000);
        complete = complete && cold.entries == first_row_files && warm.entries == first_row_files;
        std::printf("%d files, no cache file: first painted row %8.1f ms, build done %9.1f ms\n",
                    cold.entries, cold.first_row_ms, cold.build_ms);
        std::printf("%d files, from the cache: first painted row %8.1f ms, build done %9.1f ms\n",
                    warm.entries, warm.first_row_ms, warm.build_ms);
    }
    if (many_files > 0) {
        print_resources("before any folder", before);
        const OpenTimes big = open_and_time(many, 1800000);
        complete = complete && big.entries == many_files;
        std::printf("%d files, no cache file: first painted row %8.1f ms, build done %9.1f ms\n", big.entries,
                    big.first_row_ms, big.build_ms);
        print_resources("entries listed, at the top", measure());
        PostMessageW(view_frame_window(0), kAppMessage, kViewScroll, SB_BOTTOM);
        const DWORD settle = GetTickCount();
        pump_until([&] { return GetTickCount() - settle > 2000; }, 3000);
        print_resources("scrolled to the end", measure());
    }

    if (sent) UnhookWindowsHookEx(sent);
    if (fetched) UnhookWindowsHookEx(fetched);
    PostMessageW(g_shell.main_window, WM_CLOSE, 0, 0);
    pump_until([] { return g_shell.main_window == nullptr; }, 30000);
    CoUninitialize();
    return complete ? 0 : 1;
}
