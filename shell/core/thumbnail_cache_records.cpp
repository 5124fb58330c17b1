#include "shell/core/thumbnail_cache_records.h"

#include <algorithm>

#include "codecs/file_type.h"
#include "common/byte_cursor.h"

namespace {

constexpr size_t kNameBytes = 2 * kCacheNameChars;

// Reads a fixed name field; false when it holds no terminator or nothing before it.
bool read_name(ByteCursor& in, std::u16string* name) {
    if (!in.has(kNameBytes)) {
        in.skip(kNameBytes);
        return false;
    }
    name->clear();
    bool ended = false;
    for (int i = 0; i < kCacheNameChars; ++i) {
        const char16_t c = static_cast<char16_t>(in.le16());
        if (c == 0) ended = true;
        if (!ended) name->push_back(c);
    }
    return ended && !name->empty();
}

int32_t read_i32(ByteCursor& in) {
    return static_cast<int32_t>(in.le32());
}

void put_u32(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back(static_cast<uint8_t>(v));
    out->push_back(static_cast<uint8_t>(v >> 8));
    out->push_back(static_cast<uint8_t>(v >> 16));
    out->push_back(static_cast<uint8_t>(v >> 24));
}

void put_i32(std::vector<uint8_t>* out, int32_t v) {
    put_u32(out, static_cast<uint32_t>(v));
}

CacheRecordError check_name(const std::u16string& name) {
    if (name.empty()) return CacheRecordError::bad_name;
    if (name.size() >= static_cast<size_t>(kCacheNameChars) || name.find(u'\0') != std::u16string::npos)
        return CacheRecordError::name_too_long;
    return CacheRecordError::none;
}

void put_name(std::vector<uint8_t>* out, const std::u16string& name) {
    for (int i = 0; i < kCacheNameChars; ++i) {
        const char16_t c = static_cast<size_t>(i) < name.size() ? name[static_cast<size_t>(i)] : u'\0';
        out->push_back(static_cast<uint8_t>(c));
        out->push_back(static_cast<uint8_t>(c >> 8));
    }
}

bool valid_box(int32_t width, int32_t height) {
    return width >= 0 && height >= 0;
}

bool valid_entry_header(const CacheEntryHeader& h) {
    const FileLoadInfo& li = h.load_info;
    return li.width >= 0 && li.height >= 0 && li.file_size >= 0 && li.format >= kFileUnknown &&
           li.format <= kFileTooShort && h.thumbnail_width >= 0 && h.thumbnail_height >= 0 &&
           h.data_size >= 0;
}

// Ids are unique: an id found twice would let one folder's data file serve, and at
// compaction delete, another's.
bool ids_unique(const std::vector<CacheIndexRecord>& records) {
    std::vector<int32_t> ids;
    ids.reserve(records.size());
    for (const CacheIndexRecord& r : records) ids.push_back(r.id);
    std::sort(ids.begin(), ids.end());
    return std::adjacent_find(ids.begin(), ids.end()) == ids.end();
}

}  // namespace

CacheRecordError parse_cache_index(const uint8_t* data, size_t size, std::vector<CacheIndexRecord>* records) {
    records->clear();
    ByteCursor in(data, size);
    const uint32_t magic = in.le32();
    const int32_t count = read_i32(in);
    if (in.overrun()) return CacheRecordError::truncated;
    if (magic != kCacheMagic) return CacheRecordError::bad_magic;
    if (count < 0 || count > kMaxCacheIndexRecords) return CacheRecordError::bad_count;
    if (static_cast<uint64_t>(count) * kCacheIndexRecordBytes > in.remaining())
        return CacheRecordError::truncated;
    records->reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        CacheIndexRecord r;
        const bool named = read_name(in, &r.folder);
        r.id = read_i32(in);
        r.box_width = read_i32(in);
        r.box_height = read_i32(in);
        if (in.overrun()) return CacheRecordError::truncated;
        if (!named) return CacheRecordError::bad_name;
        if (r.id < kFirstCacheId) return CacheRecordError::bad_id;
        if (!valid_box(r.box_width, r.box_height)) return CacheRecordError::bad_size;
        records->push_back(std::move(r));
    }
    if (!ids_unique(*records)) {
        records->clear();
        return CacheRecordError::bad_id;
    }
    return CacheRecordError::none;
}

CacheRecordError parse_cache_data_file(const uint8_t* data, size_t size, std::vector<CacheEntry>* entries) {
    entries->clear();
    ByteCursor in(data, size);
    const uint32_t magic = in.le32();
    const int32_t count = read_i32(in);
    if (in.overrun()) return CacheRecordError::truncated;
    if (magic != kCacheMagic) return CacheRecordError::bad_magic;
    // Every thumbnail takes a header at least, so a count the file cannot hold is refused
    // before anything is reserved for it.
    if (count < 0 || static_cast<uint64_t>(count) * kCacheEntryHeaderBytes > in.remaining())
        return CacheRecordError::bad_count;
    entries->reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        CacheEntry e;
        CacheEntryHeader& h = e.header;
        const bool named = read_name(in, &h.name);
        FileLoadInfo& li = h.load_info;
        li.last_write.low = in.le32();
        li.last_write.high = in.le32();
        li.width = read_i32(in);
        li.height = read_i32(in);
        li.file_size = read_i32(in);
        li.format = read_i32(in);
        li.bit_depth = read_i32(in);
        li.comment_count = read_i32(in);
        li.text_count = read_i32(in);
        li.interlaced = read_i32(in);
        li.alpha = read_i32(in);
        h.thumbnail_width = read_i32(in);
        h.thumbnail_height = read_i32(in);
        h.data_size = read_i32(in);
        if (in.overrun()) return CacheRecordError::truncated;
        if (!named) return CacheRecordError::bad_name;
        if (!valid_entry_header(h)) return CacheRecordError::bad_size;
        e.data = in.data();
        if (!in.skip(static_cast<uint32_t>(h.data_size))) return CacheRecordError::truncated;
        entries->push_back(std::move(e));
    }
    return CacheRecordError::none;
}

CacheRecordError build_cache_index(const std::vector<CacheIndexRecord>& records, std::vector<uint8_t>* out) {
    out->clear();
    if (records.size() > static_cast<size_t>(kMaxCacheIndexRecords)) return CacheRecordError::bad_count;
    for (const CacheIndexRecord& r : records) {
        const CacheRecordError name = check_name(r.folder);
        if (name != CacheRecordError::none) return name;
        if (r.id < kFirstCacheId) return CacheRecordError::bad_id;
        if (!valid_box(r.box_width, r.box_height)) return CacheRecordError::bad_size;
    }
    if (!ids_unique(records)) return CacheRecordError::bad_id;
    out->reserve(kCacheFileHeaderBytes + records.size() * kCacheIndexRecordBytes);
    put_u32(out, kCacheMagic);
    put_u32(out, static_cast<uint32_t>(records.size()));
    for (const CacheIndexRecord& r : records) {
        put_name(out, r.folder);
        put_i32(out, r.id);
        put_i32(out, r.box_width);
        put_i32(out, r.box_height);
    }
    return CacheRecordError::none;
}

void build_cache_file_header(uint32_t count, uint8_t out[kCacheFileHeaderBytes]) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(kCacheMagic >> (8 * i));
        out[4 + i] = static_cast<uint8_t>(count >> (8 * i));
    }
}

CacheRecordError append_cache_entry(const CacheEntryHeader& header, const uint8_t* jpeg, uint32_t size,
                                    std::vector<uint8_t>* out) {
    const CacheRecordError name = check_name(header.name);
    if (name != CacheRecordError::none) return name;
    CacheEntryHeader h = header;
    if (size > static_cast<uint32_t>(INT32_MAX)) return CacheRecordError::bad_size;
    h.data_size = static_cast<int32_t>(size);
    if (!valid_entry_header(h)) return CacheRecordError::bad_size;
    const FileLoadInfo& li = h.load_info;
    // No exact reserve here: reserving only what this entry adds would reallocate and copy the
    // whole file at every append, quadratic in a folder's size.
    put_name(out, h.name);
    put_u32(out, li.last_write.low);
    put_u32(out, li.last_write.high);
    for (int32_t v :
         {li.width, li.height, li.file_size, li.format, li.bit_depth, li.comment_count, li.text_count,
          li.interlaced, li.alpha, h.thumbnail_width, h.thumbnail_height, h.data_size})
        put_i32(out, v);
    if (size) out->insert(out->end(), jpeg, jpeg + size);
    return CacheRecordError::none;
}

std::u16string cache_data_file_name(int32_t id) {
    std::u16string out;
    for (char c : std::to_string(id)) out.push_back(static_cast<char16_t>(c));
    return out + u".dat";
}

int32_t find_cache_index_record(const std::vector<CacheIndexRecord>& records, const std::u16string& folder) {
    for (size_t i = 0; i < records.size(); ++i)
        if (records[i].folder == folder) return static_cast<int32_t>(i);
    return -1;
}

CacheBoxChange compare_cache_box(const CacheIndexRecord& record, int32_t box_width, int32_t box_height) {
    CacheBoxChange change;
    change.larger = box_width < record.box_width || box_height < record.box_height;
    change.smaller = record.box_width < box_width || record.box_height < box_height;
    return change;
}

int32_t smallest_unused_cache_id(const std::vector<CacheIndexRecord>& records) {
    std::vector<int32_t> ids;
    ids.reserve(records.size());
    for (const CacheIndexRecord& r : records) ids.push_back(r.id);
    std::sort(ids.begin(), ids.end());
    // Among the count + 1 ids from the first one at least one is free, so this stays far
    // below the largest id.
    int32_t id = kFirstCacheId;
    for (int32_t used : ids) {
        if (used > id) break;
        if (used == id) ++id;
    }
    return id;
}

int32_t register_cache_record(std::vector<CacheIndexRecord>* records, const std::u16string& folder,
                              int32_t box_width, int32_t box_height) {
    const int32_t found = find_cache_index_record(*records, folder);
    if (found >= 0) {
        (*records)[static_cast<size_t>(found)].box_width = box_width;
        (*records)[static_cast<size_t>(found)].box_height = box_height;
        return found;
    }
    if (records->size() >= static_cast<size_t>(kMaxCacheIndexRecords)) return -1;
    CacheIndexRecord r;
    r.folder = folder;
    r.id = smallest_unused_cache_id(*records);
    r.box_width = box_width;
    r.box_height = box_height;
    records->push_back(std::move(r));
    return static_cast<int32_t>(records->size() - 1);
}
