// The viewer's files: opening and decoding one file with contexts of its own, the folder's
// list, stepping, the recycle bin, turning the display, dropped files and outside changes.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>
// clang-format on

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "codecs/bmp/bmp.h"
#include "codecs/file_type.h"
#include "codecs/gif/gif.h"
#include "codecs/jpeg/jpeg.h"
#include "codecs/png/png.h"
#include "codecs/tiff/tiff.h"
#include "kernels/geometry.h"
#include "loading/plugin.h"
#include "loading/reader_display_options.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "viewer/viewer_app.h"

namespace {

template <typename T>
std::unique_ptr<T> make_context() {
    std::unique_ptr<T> c(new (std::nothrow) T());
    if (c) {
        init_codec_context(c.get(), 0);
        reset_codec_handles(c.get());
        c->in_memory = 0;  // DIB sections: the view selects the bitmap into its DC
    }
    return c;
}

// Decoded image and, for an animated GIF, its frames, before they replace the shown image.
struct Decoded {
    LoadedImage image = {};
    bool ok = false;
    ViewerAnimation animation;
};

void take_gif_animation(GifContext* c, Decoded* out) {
    if (!c->state.animation) return;
    std::unique_ptr<GifAnimationInfo> record(new (std::nothrow) GifAnimationInfo());
    // Without the record the reader's release frees the frames and the first one stays on show.
    if (!record || !gif_get_animation_info(c, record.get())) return;
    ViewerAnimation& a = out->animation;
    a.animated = true;
    a.frame_count = record->frame_count;
    a.loops_left = record->loop_count;
    a.current = 0;
    for (int32_t i = 0; i < kGifMaxFrames; ++i) {
        a.frames[i] = reinterpret_cast<HBITMAP>(record->frame_bitmaps[i]);
        a.delays[i] = record->delays[i];
    }
}

void take(LoadedImage* image, Decoded* out) {
    if (!image || !image->bitmap) return;
    out->image = *image;
    out->ok = true;
}

ReaderDisplayOptions viewer_display_options(const ViewerSettings& s) {
    ReaderDisplayOptions d;
    d.gamma_enabled = s.png_gamma ? 1 : 0;
    d.display_gamma_x1000 = s.display_gamma;
    d.apply_transparency = s.transparency_direct;
    d.use_file_background = s.transparency_inverted;
    d.background_colour = s.transparent_background;
    return d;
}

Decoded decode_builtin(FileTypeCode type, const std::u16string& path) {
    const ViewerSettings& s = g_viewer.settings;
    Decoded out;
    switch (type) {
        case kFileBmp: {
            auto c = make_context<BmpContext>();
            if (!c) break;
            bmp_reader_reset(c.get());
            take(read_bmp_file(path, c.get()), &out);
            bmp_reader_release(c.get());
            break;
        }
        case kFilePng: {
            auto c = make_context<PngContext>();
            if (!c) break;
            png_build_crc_table(c.get());
            png_reader_reset(c.get());
            set_png_display_options(c.get(), viewer_display_options(s), g_viewer_blend_table);
            take(read_png_file(c.get(), path), &out);
            png_reader_release(c.get());
            break;
        }
        case kFileJpeg: {
            auto c = make_context<JpegReaderContext>();
            if (!c) break;
            jpeg_reader_reset(c.get());
            take(read_jpeg_image(c.get(), path, nullptr), &out);
            jpeg_reader_release(c.get());
            break;
        }
        case kFileTiff: {
            auto c = make_context<TiffContext>();
            if (!c) break;
            tiff_reader_reset(c.get());
            take(read_tiff_file(path, c.get()), &out);
            tiff_reader_release(c.get());
            break;
        }
        case kFileGif: {
            auto c = make_context<GifContext>();
            if (!c) break;
            gif_reader_reset(c.get());
            set_gif_display_options(c.get(), viewer_display_options(s));
            c->options.animation_wanted = 1;
            take(read_gif_file(path, c.get()), &out);
            if (out.ok) take_gif_animation(c.get(), &out);
            gif_reader_release(c.get());
            break;
        }
        default: break;
    }
    return out;
}

Decoded decode_with_plugins(const std::u16string& path) {
    Decoded out;
    const std::u16string& folder = g_viewer.settings.plugin_folder;
    if (folder.empty() || !plugin_folder_exists(folder)) return out;
    auto record = make_context<PluginContext>();
    if (!record) return out;
    record->module = 0;
    record->info_memory = 0;
    record->pixel_memory = 0;
    take(read_plugin_image(path, folder, record.get()), &out);
    plugin_release_handles(record.get());
    return out;
}

void delete_shown_bitmaps(ViewerImage& image) {
    ViewerAnimation& a = image.animation;
    if (a.animated) {
        KillTimer(g_viewer.frame, kViewerGifTimer);
        for (int32_t i = 0; i < kGifMaxFrames; ++i) {
            if (a.frames[i] && a.frames[i] != image.bitmap) DeleteObject(a.frames[i]);
            a.frames[i] = nullptr;
        }
    }
    a = ViewerAnimation{};
    if (image.bitmap) DeleteObject(image.bitmap);
    image.bitmap = nullptr;
    image.pixels = nullptr;
}

// The new bitmap goes into the view's DC; the DC's own first bitmap is put back before the
// old one is deleted, since a bitmap selected into a DC cannot be.
void install_bitmap(HBITMAP bitmap, uint8_t* pixels, const RGBQUAD* palette, int32_t width, int32_t height,
                    int32_t bit_count) {
    ViewerApp& v = g_viewer;
    HGDIOBJ previous = SelectObject(v.memory_dc, bitmap);
    if (!v.first_memory_bitmap) v.first_memory_bitmap = static_cast<HBITMAP>(previous);
    delete_shown_bitmaps(v.image);
    v.image.bitmap = bitmap;
    v.image.pixels = pixels;
    if (palette) std::memcpy(v.image.palette, palette, sizeof v.image.palette);
    v.image.width = width;
    v.image.height = height;
    v.image.bit_count = bit_count;
    v.has_image = true;
    v.view.image_width = width;
    v.view.image_height = height;
}

bool install_image(Decoded& d, const wchar_t* path) {
    ViewerApp& v = g_viewer;
    const LoadedImage& image = d.image;
    install_bitmap(reinterpret_cast<HBITMAP>(image.bitmap), image.pixels,
                   reinterpret_cast<const RGBQUAD*>(image.palette), image.info.width,
                   std::abs(image.info.height), image.info.bit_count);
    v.image.animation = d.animation;
    v.image.shown_depth = image.source_bits;
    v.image.size = image.file_size;
    v.image.write_time.dwLowDateTime = image.last_write_time.low;
    v.image.write_time.dwHighDateTime = image.last_write_time.high;
    lstrcpynW(v.image.path, path, MAX_PATH);
    lstrcpynW(v.image.name, PathFindFileNameW(path), MAX_PATH);
    return true;
}

// The shown file's folder; false when there is none.
bool shown_folder(wchar_t* folder) {
    lstrcpynW(folder, g_viewer.image.path, MAX_PATH);
    if (!folder[0] || !PathRemoveFileSpecW(folder)) return false;
    return folder[0] != 0;
}

// Joins folder and name; false (no path) when they do not fit.
bool join(const wchar_t* folder, const wchar_t* name, wchar_t* path) {
    if (lstrlenW(folder) + 1 + lstrlenW(name) >= MAX_PATH) return false;
    lstrcpynW(path, folder, MAX_PATH);
    return PathAppendW(path, name) != FALSE;
}

// The list's entry at `index`; false when the list cannot give it whole.
bool list_entry(int index, wchar_t* name) {
    const LRESULT length = SendMessageW(g_viewer.list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR || length >= MAX_PATH) return false;
    return SendMessageW(g_viewer.list, LB_GETTEXT, static_cast<WPARAM>(index),
                        reinterpret_cast<LPARAM>(name)) != LB_ERR;
}

void add_matches(const wchar_t* folder, const wchar_t* pattern, size_t extension_length) {
    wchar_t search[MAX_PATH];
    if (!join(folder, pattern, search)) return;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(search, &found);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (!viewer_extension_length_matches(u16(found.cFileName), extension_length)) continue;
        SendMessageW(g_viewer.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(found.cFileName));
    } while (FindNextFileW(h, &found));
    FindClose(h);
}

// The shown file's entry, matched whole and without regard to case: a prefix never selects
// another file.
void select_shown_entry() {
    ViewerApp& v = g_viewer;
    const LRESULT i = SendMessageW(v.list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                   reinterpret_cast<LPARAM>(v.image.name));
    SendMessageW(v.list, LB_SETCURSEL, i == LB_ERR ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(i), 0);
}

bool change_fired() {
    return g_viewer.change && WaitForSingleObject(g_viewer.change, 0) == WAIT_OBJECT_0;
}

bool file_time_changed() {
    ViewerApp& v = g_viewer;
    HANDLE file =
        CreateFileW(v.image.path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME time = {};
    const BOOL got = GetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
    if (!got || CompareFileTime(&time, &v.image.write_time) == 0) return false;
    v.image.write_time = time;
    return true;
}

void open_and_show(const wchar_t* path) {
    if (viewer_open_file(path))
        viewer_show_loaded_image();
    else
        viewer_show_error();
}

}  // namespace

bool viewer_open_file(const wchar_t* path) {
    ViewerApp& v = g_viewer;
    if (!path || !path[0]) return false;
    SetWindowTextW(v.frame, L"wait...");
    SetCursor(v.wait);
    const std::u16string p = u16(path);
    const FileTypeCode type = detect_file_type(p);
    Decoded d;
    if (type >= kFileBmp && type <= kFileGif) {
        d = decode_builtin(type, p);
        if (!d.ok) d = decode_with_plugins(p);
    } else if (type == kFileUnknown) {
        d = decode_with_plugins(p);
    }
    const bool ok = d.ok && install_image(d, path);
    SetCursor(v.arrow);
    if (!ok) viewer_show_image_info();
    return ok;
}

void viewer_free_image() {
    ViewerApp& v = g_viewer;
    if (v.first_memory_bitmap && v.memory_dc) SelectObject(v.memory_dc, v.first_memory_bitmap);
    delete_shown_bitmaps(v.image);
    v.has_image = false;
}

void viewer_scan_folder() {
    ViewerApp& v = g_viewer;
    SendMessageW(v.list, LB_RESETCONTENT, 0, 0);
    for (const char16_t* extension : kViewerExtensions) {
        const std::u16string pattern = u"*" + std::u16string(extension);
        add_matches(v.listed_folder, wide(pattern), pattern.size() - 1);
    }
    const std::u16string& plugins = v.settings.plugin_folder;
    if (!plugins.empty() && plugin_folder_exists(plugins)) {
        auto record = make_context<PluginContext>();
        if (record) {
            std::vector<std::u16string> patterns;
            plugin_scan_folder(&patterns, record.get(), plugins, true);
            plugin_release_handles(record.get());
            int used = 0;
            for (const std::u16string& pattern : patterns) {
                if (used++ >= 100) break;
                if (pattern.size() < 2) continue;
                add_matches(v.listed_folder, wide(pattern), pattern.size() - 1);
            }
        }
    }
    select_shown_entry();
}

void viewer_watch_folder() {
    ViewerApp& v = g_viewer;
    viewer_close_folder_watch();
    HANDLE h = FindFirstChangeNotificationW(v.listed_folder, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
    v.change = h == INVALID_HANDLE_VALUE ? nullptr : h;
    viewer_scan_folder();
}

void viewer_close_folder_watch() {
    if (g_viewer.change) FindCloseChangeNotification(g_viewer.change);
    g_viewer.change = nullptr;
}

void viewer_sync_file_list() {
    ViewerApp& v = g_viewer;
    wchar_t folder[MAX_PATH];
    if (!v.list || !shown_folder(folder)) return;
    if (lstrcmpiW(folder, v.listed_folder) != 0) {
        lstrcpynW(v.listed_folder, folder, MAX_PATH);
        viewer_watch_folder();
    } else if (change_fired()) {
        viewer_watch_folder();
    } else {
        select_shown_entry();
    }
}

int viewer_step_file(int32_t kind) {
    ViewerApp& v = g_viewer;
    if (!v.has_image) return 0;
    if (v.full_screen && v.cursor_shown && !v.bar_shown) {
        GetCursorPos(&v.cursor_hidden_at);
        ScreenToClient(v.frame, &v.cursor_hidden_at);
        hide_viewer_cursor();
    }
    const int32_t count = static_cast<int32_t>(SendMessageW(v.list, LB_GETCOUNT, 0, 0));
    const int32_t current = static_cast<int32_t>(SendMessageW(v.list, LB_GETCURSEL, 0, 0));
    const int32_t index = viewer_step_index(kViewerFirstFile + kind, current, count);
    if (index < 0) return 0;
    wchar_t folder[MAX_PATH], name[MAX_PATH], path[MAX_PATH];
    if (!shown_folder(folder)) return 0;
    // An entry that makes no path fails like a file that does not load: left in the list it
    // would stop every later step at the same place.
    if (list_entry(index, name) && join(folder, name, path) && viewer_open_file(path)) {
        viewer_show_loaded_image();
        return 2;
    }
    SendMessageW(v.list, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    select_shown_entry();
    viewer_show_error();
    return 1;
}

void viewer_delete_current_file() {
    ViewerApp& v = g_viewer;
    if (!v.has_image) return;
    wchar_t folder[MAX_PATH];
    const bool have_folder = shown_folder(folder);
    if (PathFileExistsW(v.image.path)) {
        wchar_t list[MAX_PATH + 1] = {};
        lstrcpynW(list, v.image.path, MAX_PATH);
        list[lstrlenW(list) + 1] = 0;
        SHFILEOPSTRUCTW op = {};
        op.hwnd = v.frame;
        op.wFunc = FO_DELETE;
        op.pFrom = list;
        op.fFlags = FOF_ALLOWUNDO | FOF_SILENT;
        if (v.settings.delete_without_asking) op.fFlags |= FOF_NOCONFIRMATION;
        if (SHFileOperationW(&op) != 0 || op.fAnyOperationsAborted) return;
    }
    const int32_t removed = static_cast<int32_t>(SendMessageW(v.list, LB_GETCURSEL, 0, 0));
    if (removed >= 0) SendMessageW(v.list, LB_DELETESTRING, static_cast<WPARAM>(removed), 0);
    const int32_t count = static_cast<int32_t>(SendMessageW(v.list, LB_GETCOUNT, 0, 0));
    const int32_t next = viewer_index_after_delete(removed, count);
    if (next < 0) {
        viewer_free_image();
        viewer_set_empty_view();
        return;
    }
    SendMessageW(v.list, LB_SETCURSEL, static_cast<WPARAM>(next), 0);
    wchar_t name[MAX_PATH], path[MAX_PATH];
    if (have_folder && list_entry(next, name) && join(folder, name, path)) {
        open_and_show(path);
        return;
    }
    // Other files remain, so the view is not emptied: the entry that makes no path leaves the
    // list as a failed step's does, and the next step goes on after it.
    SendMessageW(v.list, LB_DELETESTRING, static_cast<WPARAM>(next), 0);
    SendMessageW(v.list, LB_SETCURSEL, static_cast<WPARAM>(next - 1), 0);
    viewer_show_error();
}

void viewer_rotate_display(int32_t command) {
    ViewerApp& v = g_viewer;
    if (!v.has_image) return;
    const int32_t width = v.image.height, height = v.image.width, bits = v.image.bit_count;
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info = {};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(bits);
    info.header.biCompression = BI_RGB;
    if (bits == 8) std::memcpy(info.colours, v.image.palette, sizeof info.colours);
    void* pixels = nullptr;
    HBITMAP turned =
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!turned || !pixels) {
        if (turned) DeleteObject(turned);
        viewer_show_error();
        viewer_show_loaded_image();
        return;
    }
    SetCursor(v.wait);
    DibPair pair;
    pair.width = v.image.width;
    pair.height = v.image.height;
    pair.source = v.image.pixels;
    pair.destination = static_cast<uint8_t*>(pixels);
    if (!v.image.pixels ||
        !rotate_flip_pixels(pair, command == kViewerTurnLeft ? kRotate270 : kRotate90, bits)) {
        DeleteObject(turned);
        SetCursor(v.arrow);
        viewer_show_error();
        viewer_show_loaded_image();
        return;
    }
    const RGBQUAD* palette = bits == 8 ? info.colours : nullptr;
    install_bitmap(turned, static_cast<uint8_t*>(pixels), palette, width, height, bits);
    v.image.shown_depth = bits;
    v.image.size = turned_image_size(width, height, bits);
    SetCursor(v.arrow);
    viewer_show_loaded_image();
}

void viewer_on_drop_files(HDROP drop) {
    ViewerApp& v = g_viewer;
    wchar_t path[MAX_PATH] = {};
    // A longer path would arrive cut short and might name another file: it fails instead.
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    const bool fits = length > 0 && length < MAX_PATH && DragQueryFileW(drop, 0, path, MAX_PATH) == length;
    DragFinish(drop);
    SetForegroundWindow(v.frame);
    if (length == 0) return;
    if (!fits) {
        viewer_show_error();
    } else {
        if (is_shortcut(path)) resolve_shortcut(path);
        open_and_show(path);
    }
    viewer_show_image_info();
}

void viewer_on_activate(bool active) {
    ViewerApp& v = g_viewer;
    v.active = active;
    if (!active) {
        if (v.bar_shown) viewer_show_bar(false);
        return;
    }
    if (!v.has_image) return;
    if (change_fired()) viewer_watch_folder();
    if (file_time_changed()) {
        wchar_t path[MAX_PATH];
        lstrcpynW(path, v.image.path, MAX_PATH);
        open_and_show(path);
    }
    viewer_show_image_info();
}
