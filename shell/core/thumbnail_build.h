// A view's folder refresh and thumbnail build as control flow over the services they use: the
// process-wide lock, the listing, the thumbnail cache, the loader, the view's windows and its
// message queue. The Windows views adapt these services to their windows; tests use fakes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/core/folder_listing.h"

// How a build or a refresh ended: finished, or the view message that stopped it.
enum BuildEnd : int32_t {
    kBuildDone = 0,
    kBuildCleared = 311,
    kBuildClosed = 312,
};

// The error-box codes a refresh reports.
constexpr int32_t kBuildErrorMemory = 0;
constexpr int32_t kBuildErrorCacheWrite = 11;

// What reading the folder's cache file found.
struct BuildCacheRead {
    bool read = false;         // a cache file was read
    bool box_larger = false;   // it was made with a wider or higher box: it must be rewritten
    bool box_smaller = false;  // made with a narrower or lower box: its thumbnails are re-decoded
};

class ThumbnailBuildServices {
public:
    virtual ~ThumbnailBuildServices() = default;

    // The process-wide lock; never held while messages are served.
    virtual void lock() = 0;
    virtual void unlock() = 0;

    // Under the lock. The folder's image names, sorted, and beside each the last-write time the
    // listing found for it.
    virtual void list_folder(const std::u16string& folder, std::vector<std::u16string>* names,
                             std::vector<FileTime>* times) = 0;
    // Reads the folder's cache file into memory for take_from_cache and the cache write, until
    // free_cache.
    virtual BuildCacheRead read_cache(const std::u16string& folder) = 0;
    // Publishes the cached thumbnail of `name` when the cache holds it with the last-write time
    // the listing found.
    virtual bool take_from_cache(const std::u16string& name, const FileTime& listed) = 0;
    virtual void free_cache() = 0;
    // Decodes the file for a thumbnail and publishes it.
    virtual bool load(const std::u16string& path) = 0;
    // Fits the published image into the box; `size` gets the display size. With size_only
    // nothing is resampled. False when memory is short.
    virtual bool shrink(bool size_only, int32_t size[2]) = 0;
    // Moves the published thumbnail and its load-info words into the entry, freeing the rows it
    // held. False when the thumbnail cannot be kept; the entry is then unchanged.
    virtual bool store(FileEntry* entry) = 0;
    // Drops a published image that was not stored.
    virtual void release_load() = 0;
    // The cache write, one entry at a time so that the lock is let go between two thumbnails:
    // start_cache_file, then add_to_cache_file for each entry in index order, then write_cache.
    // `from_cache` says that the entry still holds the thumbnail decoded from the cache file
    // read, whose stored JPEG is then kept instead of encoding the decoded pixels again.
    virtual void start_cache_file() = 0;
    virtual void add_to_cache_file(const FileEntry& entry, bool from_cache) = 0;
    [[nodiscard]] virtual bool write_cache(const std::u16string& folder) = 0;

    // The use-cache setting.
    virtual bool use_cache() = 0;

    // The view's side, on its own thread, without the lock.
    virtual void refresh_starting() = 0;
    // Sets the busy word and tells the main window.
    virtual void set_busy(int32_t busy) = 0;
    virtual void set_status(int part, const std::u16string& text, bool as_tip) = 0;
    // Status part 2 = marked "/" total.
    virtual void update_status_text() = 0;
    // `count` zero-filled entries; null when memory is short.
    virtual FileEntry* allocate_entries(int32_t count) = 0;
    // Creates the cells of the entries published in the view.
    virtual void create_cells() = 0;
    virtual void repaint_entry(int32_t index) = 0;
    // Drops the cells of the last `failed` entries and lowers the count by as many.
    virtual void drop_failed_cells(int32_t failed) = 0;
    virtual void clear_view() = 0;
    // Destroys the view's frame; its thread ends.
    virtual void close_view() = 0;
    virtual void post_error(int32_t code) = 0;
    // Serves the waiting messages that keep the view usable; 0, or the clear or close code.
    virtual int32_t pump() = 0;
    // A millisecond clock that wraps (only differences are taken).
    virtual uint32_t now_ms() = 0;
};

// While building, status part 3 counts the files done: at most once per this many milliseconds,
// and always at the last file.
constexpr uint32_t kBuildProgressIntervalMs = 100;

// "Load/" and the number of names: status part 2 while building.
std::u16string build_progress_text(int32_t names);

// Folder and name joined with one backslash; false when the result would not fit a path
// buffer, which would otherwise truncate it into another file's name.
bool join_entry_path(const std::u16string& folder, const char16_t* name, std::u16string* path);

// Makes a thumbnail for each name in order into the view's entries (allocated for at least
// names.size()), keeping the loaded ones contiguous. `times` holds the listing's last-write time
// of each name; a name without one is decoded. `failed` gets the number of names that produced
// no thumbnail; `save_needed` whether the cache must be written.
int32_t build_thumbnails(ThumbnailBuildServices& services, ViewState& view, const std::u16string& folder,
                         const std::vector<std::u16string>& names, const std::vector<FileTime>& times,
                         int32_t* failed, bool* save_needed);

// The whole refresh of a view's folder: listing, entries, cells, build, dropping the failed
// tail and writing the cache. `folder` is the view's folder as the refresh starts.
int32_t refresh_view(ThumbnailBuildServices& services, ViewState& view, const std::u16string& folder);
