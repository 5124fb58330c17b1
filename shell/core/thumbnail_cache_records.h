// The two file layouts of the thumbnail cache and the pure rules over them. `index.dat` maps
// folders to numbered data files; each data file holds, per image, its load-info words and a
// small JPEG of its thumbnail. All integers are little-endian 32-bit words; strings are UTF-16
// in fixed fields of 260 characters, zero-terminated, zero-filled after the terminator.
//
// The files are read back from disk, where anything may have happened to them: a parser
// refuses a file whose counts, sizes or names do not hold together, and the caller then treats
// the folder as not cached and writes it anew.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "shell/core/folder_listing.h"

constexpr uint32_t kCacheMagic = 0x00C90000;
constexpr int32_t kMaxCacheIndexRecords = 1000000;
constexpr int32_t kFirstCacheId = 10000000;
constexpr int kCacheNameChars = 260;
constexpr size_t kCacheFileHeaderBytes = 8;
constexpr size_t kCacheIndexRecordBytes = 532;
constexpr size_t kCacheEntryHeaderBytes = 576;

struct CacheIndexRecord {
    std::u16string folder;  // exactly as the view holds it
    int32_t id = 0;         // the data file's number: kFirstCacheId or more, unique
    int32_t box_width = 0;  // the thumbnail box at the last write of this folder
    int32_t box_height = 0;
};

struct CacheEntryHeader {
    std::u16string name;  // without the folder
    FileLoadInfo load_info = {};
    int32_t thumbnail_width = 0;
    int32_t thumbnail_height = 0;
    int32_t data_size = 0;  // JPEG bytes that follow the header
};

// One thumbnail of a data file; `data` points into the parsed bytes.
struct CacheEntry {
    CacheEntryHeader header;
    const uint8_t* data = nullptr;
};

enum class CacheRecordError {
    none,
    truncated,  // the file ends inside its header, a record or a thumbnail's data
    bad_magic,
    bad_count,      // negative, above the index's limit, or more than the file can hold
    bad_name,       // no terminator in the 260 characters, or an empty name
    bad_id,         // below kFirstCacheId, or used by an earlier record
    bad_size,       // a negative size, or a format word out of range
    name_too_long,  // when building: a name that needs all 260 characters or holds a zero
};

[[nodiscard]] CacheRecordError parse_cache_index(const uint8_t* data, size_t size,
                                                 std::vector<CacheIndexRecord>* records);
[[nodiscard]] CacheRecordError parse_cache_data_file(const uint8_t* data, size_t size,
                                                     std::vector<CacheEntry>* entries);

// The whole index file, records in order.
[[nodiscard]] CacheRecordError build_cache_index(const std::vector<CacheIndexRecord>& records,
                                                 std::vector<uint8_t>* out);
// The 8 bytes at a data file's start: the magic and the number of thumbnails.
void build_cache_file_header(uint32_t count, uint8_t out[kCacheFileHeaderBytes]);
// Appends one thumbnail: its header (with `size` as the data size) and the JPEG bytes.
[[nodiscard]] CacheRecordError append_cache_entry(const CacheEntryHeader& header, const uint8_t* jpeg,
                                                  uint32_t size, std::vector<uint8_t>* out);

// "10000000.dat"
std::u16string cache_data_file_name(int32_t id);

// The first record whose folder equals `folder` exactly (case counts); -1 when none.
int32_t find_cache_index_record(const std::vector<CacheIndexRecord>& records, const std::u16string& folder);

struct CacheBoxChange {
    bool larger = false;   // the recorded box is wider or higher than the current one
    bool smaller = false;  // it is narrower or lower
};
CacheBoxChange compare_cache_box(const CacheIndexRecord& record, int32_t box_width, int32_t box_height);

// The smallest id from kFirstCacheId upwards that no record uses.
int32_t smallest_unused_cache_id(const std::vector<CacheIndexRecord>& records);

// Registers `folder` with the current box: the first equal record takes the box, otherwise a
// record with the smallest unused id is appended. Returns the record's index, or -1 when the
// index is already full (a record more would make the whole index unreadable).
int32_t register_cache_record(std::vector<CacheIndexRecord>* records, const std::u16string& folder,
                              int32_t box_width, int32_t box_height);

struct CacheCompaction {
    std::vector<CacheIndexRecord> kept;
    std::vector<int32_t> removed_ids;  // their data files are deleted
};

// Keeps, in order, the records whose folder still exists as a directory.
template <typename FolderExists>
CacheCompaction compact_cache_records(const std::vector<CacheIndexRecord>& records,
                                      FolderExists&& folder_exists) {
    CacheCompaction out;
    for (const CacheIndexRecord& record : records) {
        if (folder_exists(record.folder))
            out.kept.push_back(record);
        else
            out.removed_ids.push_back(record.id);
    }
    return out;
}
