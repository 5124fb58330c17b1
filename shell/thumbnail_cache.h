// The thumbnail cache beside the settings file: the folder `cache` in the settings folder
// (g_shell.cache_folder), used with the thumbnail box of the browser options. Every function
// runs under the process-wide lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/core/folder_listing.h"
#include "shell/core/thumbnail_cache_files.h"

// Whether the folder's data file exists, its path, and how the recorded box compares with the
// current one.
CacheFolderFound find_cache_folder(const std::u16string& folder);

// The folder's data file in memory; false when there is none or it is damaged (the folder is
// then built from its files). `out->where` holds what find_cache_folder reports either way.
bool read_cache_folder(const std::u16string& folder, CacheFolderData* out);

// When the cache holds `name` with the last-write time that the folder listing found for the
// file, decodes its thumbnail, scaled for the thumbnail box, and publishes it in g_load_result
// with the stored load-info words, as a fresh load would. False when the caller must decode the
// file.
bool take_thumbnail_from_cache(const std::u16string& name, const CacheFolderData& cache,
                               const FileTime& listed);

// Makes or updates the folder's index record with the current box; `*path` gets its data file.
bool register_cache_folder(const std::u16string& folder, std::u16string* path);

// A folder's data file being made, one thumbnail after the other.
class CacheDataFileBuilder {
public:
    // `expected_bytes`: room reserved at once, such as the size of the file it replaces, so that
    // a large folder's file is not copied over and over while it grows. `limit`: the data file
    // bound that the reader applies as well; a thumbnail that would take the file past it is
    // left out, as one that does not encode is, and is decoded again at the next refresh.
    explicit CacheDataFileBuilder(size_t expected_bytes = 0, uint64_t limit = kCacheDataFileLimit);
    // Appends the entry's thumbnail. With `from_cache`, the entry holds the thumbnail decoded
    // from `previous`: when that still holds it for the same file at the same size, its stored
    // JPEG bytes are copied, so that a thumbnail is not degraded by encoding it again at every
    // write. Otherwise the thumbnail is encoded; one that does not encode is left out.
    void add(const FileEntry& entry, bool from_cache, const CacheFolderData* previous);
    // Replaces the folder's data file and index record.
    [[nodiscard]] CacheStatus write(const std::u16string& folder);
    uint32_t count() const { return count_; }
    uint32_t kept() const { return kept_; }
    uint32_t omitted() const { return omitted_; }  // left out for the bound
    size_t size() const { return file_.size(); }

private:
    std::vector<uint8_t> file_;
    std::vector<uint8_t> jpeg_;
    uint64_t limit_;
    uint32_t count_ = 0;
    uint32_t kept_ = 0;
    uint32_t omitted_ = 0;
};

// Encodes the view's thumbnails (those that encode) and replaces the folder's data file and
// index record. Anything but ok leaves the previous cache in place; the caller reports it.
[[nodiscard]] CacheStatus write_cache_folder(const std::u16string& folder, const ViewState& view);

// At start-up: removes the temporary files of a write that was cut off before its swap.
void open_thumbnail_cache();

// Drops the records of folders that no longer exist and deletes their data files.
CacheStatus compact_cache_index();
void compact_thumbnail_cache_index();

// The file operations in use (tests install failing ones; null restores the system's).
CacheFileOps& cache_file_ops();
CacheFileOps* set_cache_file_ops(CacheFileOps* ops);
