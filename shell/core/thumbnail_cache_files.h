// The thumbnail cache's files on disk: finding and reading a folder's data file, registering a
// folder in `index.dat`, replacing a data file and compacting the index. Everything runs over
// injectable file operations, so that tests can make any step fail.
//
// Nothing read from disk is trusted: a file the records parser refuses is no cache. Every file
// is replaced whole through a temporary file beside it, so a failed write leaves the previous
// cache as it was, and a data file is in place before the index names it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "shell/core/thumbnail_cache_records.h"

// The index can hold kMaxCacheIndexRecords records; a longer file is damaged.
constexpr uint64_t kCacheIndexFileLimit =
    kCacheFileHeaderBytes + static_cast<uint64_t>(kMaxCacheIndexRecords) * kCacheIndexRecordBytes;
// A data file holds at most one thumbnail per listed file; larger ones are damaged or foreign and
// would not fit beside the program in a 32-bit address space.
constexpr uint64_t kCacheDataFileLimit = 256u << 20;

class CacheFileOps {
public:
    virtual ~CacheFileOps() = default;
    // The whole file; false when it is missing, unreadable or longer than `limit`.
    virtual bool read_file(const std::u16string& path, uint64_t limit, std::vector<uint8_t>* bytes) = 0;
    virtual bool file_exists(const std::u16string& path) = 0;
    virtual bool is_directory(const std::u16string& path) = 0;
    // True when the folder exists afterwards.
    virtual bool create_directory(const std::u16string& path) = 0;
    // Creates (or truncates) the file and writes every byte, flushed; true only on success.
    virtual bool write_new_file(const std::u16string& path, const uint8_t* data, size_t size) = 0;
    // Replaces `target` by `source`; on failure the old target is untouched.
    virtual bool replace_file(const std::u16string& source, const std::u16string& target) = 0;
    virtual void delete_file(const std::u16string& path) = 0;
};

enum class CacheStatus {
    ok,
    index_unusable,   // the index holds more records than allowed, or cannot be read
    index_full,       // no room for another folder's record
    bad_folder,       // the folder name does not fit a record
    no_cache_folder,  // the cache folder is missing and cannot be made
    index_not_written,
    data_not_written,
};

// "index.dat" in the cache folder (which ends in a backslash).
std::u16string cache_index_path(const std::u16string& cache_folder);
std::u16string cache_data_path(const std::u16string& cache_folder, int32_t id);

struct CacheFolderFound {
    bool found = false;       // the folder has a record and its data file exists
    std::u16string path;      // the data file, also when it is missing
    CacheBoxChange box = {};  // both clear unless found
};

CacheFolderFound cache_find_folder(CacheFileOps& ops, const std::u16string& cache_folder,
                                   const std::u16string& folder, int32_t box_width, int32_t box_height);

// A folder's data file in memory; the entries point into `bytes`.
struct CacheFolderData {
    CacheFolderFound where;
    std::vector<uint8_t> bytes;
    std::vector<CacheEntry> entries;
    // Each name's first entry, so that a refresh looks every file up in constant time.
    std::unordered_map<std::u16string, size_t> by_name;
};

// False (and no entries) when the folder is not cached or its data file is refused.
bool cache_read_folder(CacheFileOps& ops, const std::u16string& cache_folder, const std::u16string& folder,
                       int32_t box_width, int32_t box_height, CacheFolderData* out);

// The first entry whose name equals `name` exactly; null when none.
const CacheEntry* cache_find_entry(const CacheFolderData& data, const std::u16string& name);

// The entry of `wanted.name` when its stored JPEG still is the thumbnail `wanted` describes:
// the same eleven load-info words, so the same file as far as the cache can tell, and the same
// thumbnail size, so not one fitted to another box since. Null otherwise.
const CacheEntry* cache_entry_still_valid(const CacheFolderData& data, const CacheEntryHeader& wanted);

// The index with `folder` registered, in memory only: an index that is missing or refused
// starts anew (its records and data files are forgotten); one over the record limit is
// `index_unusable`.
struct CacheRegistration {
    std::vector<CacheIndexRecord> records;
    int32_t record = -1;  // the folder's record
    std::u16string path;  // its data file
};
[[nodiscard]] CacheStatus cache_register_in_memory(CacheFileOps& ops, const std::u16string& cache_folder,
                                                   const std::u16string& folder, int32_t box_width,
                                                   int32_t box_height, CacheRegistration* out);

// Writes `bytes` to a temporary file beside `path`, reads it back and swaps it in; false (the
// old file untouched, the temporary file gone) when any step fails.
[[nodiscard]] bool cache_replace_file(CacheFileOps& ops, const std::u16string& path,
                                      const std::vector<uint8_t>& bytes);

// The registration's index replaces `index.dat`, making the cache folder if it is missing.
[[nodiscard]] CacheStatus cache_commit_index(CacheFileOps& ops, const std::u16string& cache_folder,
                                             const std::vector<CacheIndexRecord>& records);

// Registers the folder and writes its index record; `*path` gets the data file's path.
[[nodiscard]] CacheStatus cache_register_folder(CacheFileOps& ops, const std::u16string& cache_folder,
                                                const std::u16string& folder, int32_t box_width,
                                                int32_t box_height, std::u16string* path);

// Replaces the folder's data file by `data_file` and then records the folder and box in the
// index. On failure the previous data file and index stay in place.
[[nodiscard]] CacheStatus cache_write_folder(CacheFileOps& ops, const std::u16string& cache_folder,
                                             const std::u16string& folder, int32_t box_width,
                                             int32_t box_height, const std::vector<uint8_t>& data_file);

// Drops the records of folders that are no longer directories and then deletes their data
// files. An index that is missing or refused stays as it was (`index_unusable`).
[[nodiscard]] CacheStatus cache_compact_index(CacheFileOps& ops, const std::u16string& cache_folder);
