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
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "shell/core/thumbnail_cache_records.h"

// The index can hold kMaxCacheIndexRecords records; a longer file is damaged.
constexpr uint64_t kCacheIndexFileLimit =
    kCacheFileHeaderBytes + static_cast<uint64_t>(kMaxCacheIndexRecords) * kCacheIndexRecordBytes;
// The largest data file, for the writer and the reader alike: the reader takes the file in one
// piece, and a larger one would not fit beside the program in a 32-bit address space. The
// writer leaves out the thumbnails that would take a file past it, so that everything it writes
// is read back; a larger file on disk is damaged or foreign.
constexpr uint64_t kCacheDataFileLimit = 256u << 20;
// Whether a thumbnail of `jpeg_bytes` still fits after the `file_bytes` a data file has so far.
constexpr bool cache_entry_fits(uint64_t file_bytes, uint64_t jpeg_bytes,
                                uint64_t limit = kCacheDataFileLimit) {
    return file_bytes <= limit && jpeg_bytes <= limit - file_bytes &&
           kCacheEntryHeaderBytes <= limit - file_bytes - jpeg_bytes;
}
// A written file is checked against what was meant in pieces of this size, never read whole.
constexpr size_t kCacheCheckPieceBytes = 1u << 20;

class CacheFileOps {
public:
    virtual ~CacheFileOps() = default;
    // The whole file; false when it is missing, unreadable or longer than `limit`.
    virtual bool read_file(const std::u16string& path, uint64_t limit, std::vector<uint8_t>* bytes) = 0;
    // The file's size; false when it is missing or not a file.
    virtual bool file_size(const std::u16string& path, uint64_t* size) = 0;
    // Hands the file to `piece` from start to end in pieces of at most `piece_bytes`; false when
    // the file cannot be read or `piece` says stop.
    virtual bool read_pieces(const std::u16string& path, size_t piece_bytes,
                             const std::function<bool(const uint8_t*, size_t)>& piece) = 0;
    virtual bool file_exists(const std::u16string& path) = 0;
    virtual bool is_directory(const std::u16string& path) = 0;
    // True when the folder exists afterwards.
    virtual bool create_directory(const std::u16string& path) = 0;
    // Creates (or truncates) the file and writes every byte, flushed; true only on success.
    virtual bool write_new_file(const std::u16string& path, const uint8_t* data, size_t size) = 0;
    // Replaces `target` by `source`; on failure the old target is untouched.
    virtual bool replace_file(const std::u16string& source, const std::u16string& target) = 0;
    virtual void delete_file(const std::u16string& path) = 0;
    // Moves a damaged file or folder out of the way under a name of its own beside it, kept for
    // a look; false when it is still in the way.
    virtual bool set_aside(const std::u16string& path) = 0;
    // The names of the files (not folders) in `folder`, which ends in a backslash.
    virtual std::vector<std::u16string> file_names(const std::u16string& folder) = 0;
};

enum class CacheStatus {
    ok,
    index_unusable,   // the index cannot be read (compaction leaves it alone)
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

// False (and no entries) when the folder is not cached or its data file is refused. Every data
// file up to `limit` bytes is read.
bool cache_read_folder(CacheFileOps& ops, const std::u16string& cache_folder, const std::u16string& folder,
                       int32_t box_width, int32_t box_height, CacheFolderData* out,
                       uint64_t limit = kCacheDataFileLimit);

// The first entry whose name equals `name` exactly; null when none.
const CacheEntry* cache_find_entry(const CacheFolderData& data, const std::u16string& name);

// The entry of `wanted.name` when its stored JPEG still is the thumbnail `wanted` describes:
// the same eleven load-info words, so the same file as far as the cache can tell, and the same
// thumbnail size, so not one fitted to another box since. Null otherwise.
const CacheEntry* cache_entry_still_valid(const CacheFolderData& data, const CacheEntryHeader& wanted);

// The index with `folder` registered, in memory only. An index that is missing or damaged (any
// refusal of the parser, a count over the record limit, a file over the size bound, a folder in
// its place) starts anew: its records and data files are forgotten, and a damaged one is set
// aside when the new index replaces it. One that exists but cannot be read now (held open by
// another program) is `index_unusable`.
struct CacheRegistration {
    std::vector<CacheIndexRecord> records;
    int32_t record = -1;         // the folder's record
    std::u16string path;         // its data file
    bool index_damaged = false;  // the index on disk is to be set aside
};
[[nodiscard]] CacheStatus cache_register_in_memory(CacheFileOps& ops, const std::u16string& cache_folder,
                                                   const std::u16string& folder, int32_t box_width,
                                                   int32_t box_height, CacheRegistration* out);

// Writes `bytes` to a temporary file beside `path`, checks its size and, piece by piece, its
// bytes, and swaps it in; false (the old file untouched, the temporary file gone) when any step
// fails. A folder in the way of `path` is set aside first.
[[nodiscard]] bool cache_replace_file(CacheFileOps& ops, const std::u16string& path,
                                      const std::vector<uint8_t>& bytes);

// Makes the cache folder when it is missing; a file in its place is set aside first.
[[nodiscard]] bool cache_make_folder(CacheFileOps& ops, const std::u16string& cache_folder);

// The records replace `index.dat`, making the cache folder if it is missing; with
// `set_aside_old`, the index on disk is set aside first.
[[nodiscard]] CacheStatus cache_commit_index(CacheFileOps& ops, const std::u16string& cache_folder,
                                             const std::vector<CacheIndexRecord>& records,
                                             bool set_aside_old = false);

// Registers the folder and writes its index record; `*path` gets the data file's path.
[[nodiscard]] CacheStatus cache_register_folder(CacheFileOps& ops, const std::u16string& cache_folder,
                                                const std::u16string& folder, int32_t box_width,
                                                int32_t box_height, std::u16string* path);

// Replaces the folder's data file by `data_file` and then records the folder and box in the
// index. On failure the previous data file and index stay in place. A data file over `limit`
// is never written (`data_not_written`).
[[nodiscard]] CacheStatus cache_write_folder(CacheFileOps& ops, const std::u16string& cache_folder,
                                             const std::u16string& folder, int32_t box_width,
                                             int32_t box_height, const std::vector<uint8_t>& data_file,
                                             uint64_t limit = kCacheDataFileLimit);

// Deletes the temporary files that a write interrupted before its swap left in the cache folder.
void cache_remove_stale_temp_files(CacheFileOps& ops, const std::u16string& cache_folder);

// Drops the records of folders that are no longer directories and then deletes their data
// files. An index that is missing or refused stays as it was (`index_unusable`).
[[nodiscard]] CacheStatus cache_compact_index(CacheFileOps& ops, const std::u16string& cache_folder);
