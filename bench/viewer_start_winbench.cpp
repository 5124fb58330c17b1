// The viewer's start under Wine: the time from starting Qelvo.exe with a 12-megapixel JPEG to
// its window showing the image, beside the time of decoding the same file alone as the viewer
// does (full size, into a DIB section).
//   viewer_start_winbench FOLDER [COUNT]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/browser_thumbnail_common.h"
#include "codecs/jpeg/jpeg.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Search {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK find_frame(HWND window, LPARAM data) {
    Search* s = reinterpret_cast<Search*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (pid == s->pid && lstrcmpW(name, L"Qelvo_vwin_class") == 0) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

// Seconds until the viewer's title names the file (the image is installed and shown), or -1.
double time_viewer_start(const std::wstring& viewer, const std::wstring& file, const std::wstring& name) {
    std::wstring command = L"\"" + viewer + L"\" \"" + file + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const auto start = std::chrono::steady_clock::now();
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    double seconds = -1;
    for (int waited = 0; waited < 60000; ++waited) {
        Search s{process.dwProcessId, nullptr};
        EnumWindows(find_frame, reinterpret_cast<LPARAM>(&s));
        wchar_t title[512] = {};
        if (s.found && GetWindowTextW(s.found, title, 512) && std::wstring(title).rfind(name, 0) == 0) {
            // One round trip: the paint that follows the show has been handled.
            DWORD_PTR result = 0;
            SendMessageTimeoutW(s.found, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &result);
            seconds = seconds_since(start);
            PostMessageW(s.found, WM_CLOSE, 0, 0);
            break;
        }
        Sleep(1);
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return seconds;
}

double time_decode(const std::u16string& path) {
    std::unique_ptr<JpegReaderContext> c(new JpegReaderContext());
    init_codec_context(c.get(), 0);
    const auto start = std::chrono::steady_clock::now();
    jpeg_reader_reset(c.get());
    reset_codec_handles(c.get());
    c->in_memory = 0;
    LoadedImage* image = read_jpeg_image(c.get(), path, nullptr);
    const double seconds = seconds_since(start);
    if (image) free_loaded_image(image);
    jpeg_reader_release(c.get());
    return image ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [COUNT]\n", argv[0]);
        return 2;
    }
    CreateDirectoryA(argv[1], nullptr);
    const int count = std::max(1, argc > 2 ? std::atoi(argv[2]) : 5);
    const std::vector<std::string> files = thumbnail_bench::bench_files(argv[1], 1);
    if (files.empty()) {
        std::fprintf(stderr, "cannot make the benchmark file\n");
        return 1;
    }
    wchar_t here[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, here, MAX_PATH);
    std::wstring viewer = here;
    viewer = viewer.substr(0, viewer.find_last_of(L"\\/") + 1) + L"Qelvo.exe";
    const std::u16string path16 = utf8_to_utf16(files[0]);
    const std::wstring file(path16.begin(), path16.end());
    const std::wstring name = file.substr(file.find_last_of(L"\\/") + 1);
    // A warm start first, so that both sides read the file and the program from the cache.
    time_viewer_start(viewer, file, name);
    time_decode(path16);
    double start_best = 1e9, decode_best = 1e9;
    for (int i = 0; i < count; ++i) {
        const double s = time_viewer_start(viewer, file, name);
        const double d = time_decode(path16);
        if (s < 0 || d < 0) {
            std::fprintf(stderr, "the viewer or the decode failed\n");
            return 1;
        }
        start_best = std::min(start_best, s);
        decode_best = std::min(decode_best, d);
    }
    std::printf("viewer start to shown image: %.0f ms; decode alone: %.0f ms; start / decode: %.2f\n",
                start_best * 1000, decode_best * 1000, start_best / decode_best);
    return 0;
}
