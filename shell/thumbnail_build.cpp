// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>
// clang-format on

#include "shell/thumbnail_build.h"

#include <cstring>
#include <memory>
#include <unordered_map>

#include "common/win/app_messages.h"
#include "common/win/process_lock.h"
#include "loading/browser_load.h"
#include "loading/codec_set.h"
#include "loading/plugin.h"
#include "shell/core/thumbnail_build.h"
#include "shell/folder_search.h"
#include "shell/shell_state.h"
#include "shell/thumbnail_cache.h"
#include "shell/thumbnail_view_parts.h"

namespace {

ThumbnailDecoder g_decoder = decode_thumbnail_file;

// The plug-ins' file patterns, when the plug-in folder setting names an existing directory.
std::vector<std::u16string> plugin_listing_patterns() {
    std::vector<std::u16string> patterns;
    const std::u16string& folder = g_browser_options.plugin_folder;
    if (folder.empty() || !PathIsDirectoryW(wide(folder)) || !g_codecs.plugin) return patterns;
    plugin_scan_folder(&patterns, g_codecs.plugin, folder, true);
    return patterns;
}

// The system's search, noting the last-write time of every file it reports, so that the
// cache's check of a file needs no second search of its own.
class TimedFolderSearch : public FolderSearch {
public:
    bool find(const std::u16string& pattern, std::vector<FoundFile>* found) override {
        const size_t first = found->size();
        if (!system_folder_search().find(pattern, found)) return false;
        for (size_t i = first; i < found->size(); ++i) times_[(*found)[i].name] = (*found)[i].last_write;
        return true;
    }
    // The time of a listed name; false when the search did not report it.
    bool time_of(const std::u16string& name, FileTime* time) const {
        const auto it = times_.find(name);
        if (it == times_.end()) return false;
        *time = it->second;
        return true;
    }

private:
    std::unordered_map<std::u16string, FileTime> times_;
};

// The build's services over the view's windows, the loader, the thumbnail cache and the
// view thread's queue.
class ViewBuildServices : public ThumbnailBuildServices {
public:
    explicit ViewBuildServices(int view) : view_(view) {}

    void lock() override { process_lock_enter(); }
    void unlock() override { process_lock_leave(); }

    void list_folder(const std::u16string& folder, std::vector<std::u16string>* names,
                     std::vector<FileTime>* times) override {
        const int32_t files = count_files_in_folder(system_folder_search(), folder);
        if (files <= 0) return;
        ListingOptions options;
        options.type_filter = g_shell.filter_index;
        options.excluded_attributes = static_cast<uint32_t>(g_shell.main_settings.hidden_mask);
        if (options.type_filter < 1 || options.type_filter > 5)
            options.plugin_patterns = plugin_listing_patterns();
        TimedFolderSearch search;
        list_folder_images(search, folder, options, static_cast<size_t>(files), names);
        // Every listed name was reported by the search; a time it lacks ends the times there,
        // and the names after it are decoded.
        times->clear();
        times->reserve(names->size());
        FileTime time;
        for (const std::u16string& name : *names) {
            if (!search.time_of(name, &time)) break;
            times->push_back(time);
        }
    }
    BuildCacheRead read_cache(const std::u16string& folder) override {
        BuildCacheRead read;
        if (!read_cache_folder(folder, &cache_)) return read;
        read.read = true;
        read.box_larger = cache_.where.box.larger;
        read.box_smaller = cache_.where.box.smaller;
        return read;
    }
    bool take_from_cache(const std::u16string& name, const FileTime& listed) override {
        return take_thumbnail_from_cache(name, cache_, listed);
    }
    void free_cache() override { cache_ = CacheFolderData(); }
    bool load(const std::u16string& path) override { return g_decoder(path); }
    bool shrink(bool size_only, int32_t size[2]) override {
        return shrink_loaded_image_to_box(size, size_only);
    }
    bool store(FileEntry* entry) override {
        ThumbnailTarget target;
        target.bits = entry->thumbnail_bits;
        store_thumbnail_in_entry(&target);
        // The store leaves the load published when it could not keep the rows.
        if (g_load_result.image) return false;
        entry->thumbnail_header = target.header;
        entry->thumbnail_header_pad = 0;
        entry->thumbnail_bits = target.bits;
        static_assert(sizeof(entry->load_info) == sizeof(target.load_info), "one block of load-info words");
        std::memcpy(&entry->load_info, target.load_info, sizeof(target.load_info));
        entry->thumbnail_width = target.thumbnail_width;
        entry->thumbnail_height = target.thumbnail_height;
        return true;
    }
    void release_load() override { release_load_result(); }
    void start_cache_file() override { file_ = std::make_unique<CacheDataFileBuilder>(cache_.bytes.size()); }
    void add_to_cache_file(const FileEntry& entry, bool from_cache) override {
        if (file_) file_->add(entry, from_cache, &cache_);
    }
    bool write_cache(const std::u16string& folder) override {
        const bool written = file_ && file_->write(folder) == CacheStatus::ok;
        file_.reset();
        return written;
    }
    bool use_cache() override { return g_shell.main_settings.cache_enabled != 0; }

    void refresh_starting() override { post_main(kMainFolderChanged, 0); }
    void set_busy(int32_t busy) override {
        view_state(view_).busy = busy;
        InterlockedExchange(&g_shell.view_busy[view_], busy);
        post_main(kMainToolbarChecks, 0);
    }
    void set_status(int part, const std::u16string& text, bool as_tip) override {
        set_view_status_part(view_, part, wide(text), as_tip);
    }
    void update_status_text() override { update_view_status_text(view_); }
    FileEntry* allocate_entries(int32_t count) override {
        // Zero-filled, as the clear that frees the array expects.
        return static_cast<FileEntry*>(VirtualAlloc(nullptr, static_cast<SIZE_T>(count) * sizeof(FileEntry),
                                                    MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    void create_cells() override { create_view_cells(view_); }
    void repaint_entry(int32_t index) override { repaint_entry_cells(view_, index); }
    void drop_failed_cells(int32_t failed) override { ::drop_failed_cells(view_, failed); }
    void clear_view() override { ::clear_view(view_); }
    void close_view() override {
        HWND frame = view_frame_window(view_);
        if (frame) DestroyWindow(frame);
    }
    void post_error(int32_t code) override { post_main(kMainShowError, code); }
    int32_t pump() override { return view_ ? pump_view_messages_2() : pump_view_messages_1(); }
    uint32_t now_ms() override { return GetTickCount(); }

private:
    void post_main(WPARAM code, LPARAM value) {
        if (g_shell.main_window) PostMessageW(g_shell.main_window, kAppMessage, code, value);
    }

    int view_;
    CacheFolderData cache_;
    std::unique_ptr<CacheDataFileBuilder> file_;
};

bool sent_at_once(UINT message) {
    return message == WM_PAINT || message == WM_NCLBUTTONDOWN || message == WM_VSCROLL ||
           (message >= WM_MOUSEMOVE && message <= WM_RBUTTONUP) || message == WM_MOUSEWHEEL;
}

}  // namespace

int pump_view_messages_for(int view, HWND frame) {
    if (!frame) return 0;
    MSG msg;
    while (PeekMessageW(&msg, frame, WM_PAINT, WM_APP, PM_REMOVE)) {
        HACCEL table = g_shell.main_accelerators.get();
        if (table && g_shell.main_window && TranslateAcceleratorW(g_shell.main_window, table, &msg)) continue;
        if (sent_at_once(msg.message)) {
            SendMessageW(msg.hwnd, msg.message, msg.wParam, msg.lParam);
        } else if (msg.message == WM_DROPFILES) {
            // Dropped like the rest, but the drop's memory is the receiver's to free.
            DragFinish(reinterpret_cast<HDROP>(msg.wParam));
        } else if (msg.message == kAppMessage) {
            switch (msg.wParam) {
                case kViewActivate:
                case kViewRepaint:
                case kViewScroll: handle_view_message(view, msg.wParam, msg.lParam); break;
                case kViewClear:
                case kViewClose: return static_cast<int>(msg.wParam);
                default: break;
            }
        }
    }
    return 0;
}

namespace {

int build_thumbnails(int view, int32_t* failed, uint8_t* save_needed, const std::u16string& folder,
                     const std::vector<std::u16string>& names, const std::vector<FileTime>& times) {
    ViewBuildServices services(view);
    bool save = false;
    const int32_t result = build_thumbnails(services, view_state(view), folder, names, times, failed, &save);
    *save_needed = save ? 1 : 0;
    return result;
}

int refresh_view(int view) {
    // The main thread writes the folder only before it posts clear and refresh, but a later
    // folder change must not reach the middle of this build: every path comes from this copy.
    const ViewState& state = view_state(view);
    const std::u16string folder(state.folder, std::char_traits<char16_t>::length(state.folder));
    ViewBuildServices services(view);
    return refresh_view(services, view_state(view), folder);
}

}  // namespace

bool decode_thumbnail_file(const std::u16string& path) {
    int32_t loaded = 0;
    return load_thumbnail_image_24(nullptr, 0, path, &loaded) != nullptr && loaded == 1;
}

ThumbnailDecoder set_thumbnail_decoder(ThumbnailDecoder decoder) {
    ThumbnailDecoder previous = g_decoder;
    g_decoder = decoder ? decoder : decode_thumbnail_file;
    return previous;
}

int refresh_view_1() {
    return refresh_view(0);
}
int refresh_view_2() {
    return refresh_view(1);
}

int build_thumbnails_1(int32_t* failed, uint8_t* save_needed, const std::u16string& folder,
                       const std::vector<std::u16string>& names, const std::vector<FileTime>& times) {
    return build_thumbnails(0, failed, save_needed, folder, names, times);
}
int build_thumbnails_2(int32_t* failed, uint8_t* save_needed, const std::u16string& folder,
                       const std::vector<std::u16string>& names, const std::vector<FileTime>& times) {
    return build_thumbnails(1, failed, save_needed, folder, names, times);
}

int pump_view_messages_1() {
    return pump_view_messages_for(0, view_frame_window(0));
}
int pump_view_messages_2() {
    return pump_view_messages_for(1, view_frame_window(1));
}
