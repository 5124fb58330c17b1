#include "shell/core/thumbnail_build.h"

#include <algorithm>
#include <cstring>

namespace {

std::u16string decimal(int64_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

// Holds the process-wide lock for one step and lets it go before messages are served.
class LockedStep {
public:
    explicit LockedStep(ThumbnailBuildServices& services) : services_(services) { services_.lock(); }
    ~LockedStep() { services_.unlock(); }
    LockedStep(const LockedStep&) = delete;
    LockedStep& operator=(const LockedStep&) = delete;

private:
    ThumbnailBuildServices& services_;
};

void set_entry_name(FileEntry* entry, const std::u16string& name) {
    const size_t n = std::min(name.size(), static_cast<size_t>(kViewPathChars - 1));
    std::memcpy(entry->name, name.data(), n * sizeof(char16_t));
    entry->name[n] = 0;
}

// The count of files done in status part 3. Drawing the status bar costs more than decoding a
// small file (several milliseconds a time under Wine), so the count is drawn at a pace the eye
// can follow rather than once per file; the last count is always drawn.
class ProgressCount {
public:
    explicit ProgressCount(ThumbnailBuildServices& services) : services_(services) {}
    void done(int32_t count, bool last) {
        const uint32_t now = services_.now_ms();
        if (!last && drawn_ && now - drawn_at_ < kBuildProgressIntervalMs) return;
        services_.set_status(3, decimal(count), false);
        drawn_ = true;
        drawn_at_ = now;
    }

private:
    ThumbnailBuildServices& services_;
    bool drawn_ = false;
    uint32_t drawn_at_ = 0;
};

enum class Made { none, kept, not_kept };

// Publishes, fits and stores one thumbnail under the lock. A thumbnail that was read but cannot
// be kept (memory short for fitting or storing) is told apart from a file that did not load.
Made make_thumbnail(ThumbnailBuildServices& s, bool published, bool size_only, FileEntry* entry) {
    if (!published) return Made::none;
    int32_t size[2] = {0, 0};
    if (!s.shrink(size_only, size)) {
        s.release_load();
        return Made::not_kept;
    }
    if (!s.store(entry)) {
        s.release_load();
        return Made::not_kept;
    }
    entry->display_width = size[0];
    entry->display_height = size[1];
    return Made::kept;
}

}  // namespace

std::u16string build_progress_text(int32_t names) {
    return u"Load/" + decimal(names);
}

bool join_entry_path(const std::u16string& folder, const char16_t* name, std::u16string* path) {
    std::u16string joined = with_backslash(folder);
    joined += name;
    if (joined.size() >= static_cast<size_t>(kViewPathChars)) return false;
    *path = std::move(joined);
    return true;
}

namespace {

// The build loop without freeing the cache file's data, which the cache write still reads.
// `from_cached_data[j]` is 1 while entry j holds the thumbnail decoded from the cache file.
int32_t build_entries(ThumbnailBuildServices& s, ViewState& view, const std::u16string& folder,
                      const std::vector<std::u16string>& names, const std::vector<FileTime>& times,
                      int32_t* failed, bool* save_needed, std::vector<uint8_t>* from_cached_data) {
    *save_needed = false;
    from_cached_data->clear();
    const int32_t total = static_cast<int32_t>(names.size());
    s.set_status(2, build_progress_text(total), false);

    BuildCacheRead cache;
    if (s.use_cache()) {
        LockedStep hold(s);
        cache = s.read_cache(folder);
    }
    if (cache.box_larger) *save_needed = true;

    // Only the entries made from the cache's smaller thumbnails are decoded again in the second
    // pass. A file decoded here is fitted at once, so that no unreduced bitmap is kept per entry
    // while the folder builds.
    int32_t loaded = 0;
    int32_t result = kBuildDone;
    bool reported = false;
    ProgressCount progress(s);
    for (int32_t i = 0; i < total; ++i) {
        std::u16string path;
        Made made = Made::none;
        bool took = false;
        if (join_entry_path(folder, names[i].c_str(), &path)) {
            LockedStep hold(s);
            FileEntry* entry = &view.entries[loaded];
            took =
                cache.read && static_cast<size_t>(i) < times.size() && s.take_from_cache(names[i], times[i]);
            bool published = took;
            if (!took && s.load(path)) {
                published = true;
                *save_needed = true;
            }
            made = make_thumbnail(s, published, took && cache.box_smaller, entry);
            if (made == Made::kept) {
                set_entry_name(entry, names[i]);
                entry->from_cache = cache.read ? 1 : 0;
            }
        }
        if (made == Made::kept) {
            from_cached_data->push_back(took ? 1 : 0);
            s.repaint_entry(loaded);
            ++loaded;
        } else if (made == Made::not_kept && !reported) {
            s.post_error(kBuildErrorMemory);
            reported = true;
        }
        result = s.pump();
        progress.done(i + 1, i + 1 == total);
        if (result != kBuildDone) break;
    }

    if (result == kBuildDone && cache.box_smaller) {
        ProgressCount second_progress(s);
        for (int32_t j = 0; j < loaded; ++j) {
            if ((*from_cached_data)[static_cast<size_t>(j)]) {
                std::u16string path;
                FileEntry* entry = &view.entries[j];
                Made made = Made::none;
                if (join_entry_path(folder, entry->name, &path)) {
                    LockedStep hold(s);
                    made = make_thumbnail(s, s.load(path), false, entry);
                }
                if (made == Made::kept) {
                    *save_needed = true;
                    (*from_cached_data)[static_cast<size_t>(j)] = 0;
                    s.repaint_entry(j);
                } else if (made == Made::not_kept && !reported) {
                    s.post_error(kBuildErrorMemory);
                    reported = true;
                }
            }
            result = s.pump();
            second_progress.done(j + 1, j + 1 == loaded);
            if (result != kBuildDone) break;
        }
    }
    *failed = total - loaded;
    return result;
}

void free_cache_data(ThumbnailBuildServices& s) {
    if (!s.use_cache()) return;
    LockedStep hold(s);
    s.free_cache();
}

// Writes the loaded entries to the cache file, letting the lock go between two entries so that
// the main thread and the other view are not held up by a whole folder's encoding.
bool write_entries_to_cache(ThumbnailBuildServices& s, const ViewState& view, const std::u16string& folder,
                            const std::vector<uint8_t>& from_cached_data) {
    {
        LockedStep hold(s);
        s.start_cache_file();
    }
    for (int32_t i = 0; i < view.count; ++i) {
        LockedStep hold(s);
        const size_t at = static_cast<size_t>(i);
        s.add_to_cache_file(view.entries[i], at < from_cached_data.size() && from_cached_data[at] != 0);
    }
    LockedStep hold(s);
    return s.write_cache(folder);
}

}  // namespace

int32_t build_thumbnails(ThumbnailBuildServices& s, ViewState& view, const std::u16string& folder,
                         const std::vector<std::u16string>& names, const std::vector<FileTime>& times,
                         int32_t* failed, bool* save_needed) {
    std::vector<uint8_t> from_cached_data;
    const int32_t result =
        build_entries(s, view, folder, names, times, failed, save_needed, &from_cached_data);
    free_cache_data(s);
    return result;
}

int32_t refresh_view(ThumbnailBuildServices& s, ViewState& view, const std::u16string& folder) {
    s.refresh_starting();
    s.set_status(3, folder, false);
    if (folder.empty()) return kBuildDone;

    std::vector<std::u16string> names;
    std::vector<FileTime> times;
    {
        LockedStep hold(s);
        s.list_folder(folder, &names, &times);
    }
    if (names.empty()) return kBuildDone;

    s.set_busy(kViewBuilding);
    names.resize(static_cast<size_t>(capped_entry_count(static_cast<int64_t>(names.size()))));
    if (times.size() > names.size()) times.resize(names.size());
    const int32_t count = static_cast<int32_t>(names.size());
    int32_t result = kBuildDone;
    FileEntry* entries = s.allocate_entries(count);
    if (!entries) {
        s.post_error(kBuildErrorMemory);
    } else {
        view.entries = entries;
        view.count = count;
        view.marked_count = 0;
        s.create_cells();
        int32_t failed = 0;
        bool save_needed = false;
        std::vector<uint8_t> from_cached_data;
        result = build_entries(s, view, folder, names, times, &failed, &save_needed, &from_cached_data);
        if (result != kBuildDone) {
            free_cache_data(s);
            s.clear_view();
        } else {
            if (failed > 0) s.drop_failed_cells(failed);
            if (s.use_cache() && save_needed) {
                s.set_busy(kViewWritingCache);
                s.set_status(2, u"Save", false);
                if (!write_entries_to_cache(s, view, folder, from_cached_data))
                    s.post_error(kBuildErrorCacheWrite);
            }
            free_cache_data(s);
        }
    }
    names.clear();
    s.set_busy(kViewIdle);
    s.update_status_text();
    s.set_status(3, folder, true);
    // The busy word is back to 0 before the frame goes, so that shutdown waiting for an idle
    // view is not left waiting.
    if (result == kBuildClosed) s.close_view();
    return result;
}
