#include <cstddef>
#include <cstdint>
#include <vector>

#include "shell/core/thumbnail_cache_records.h"

namespace {

bool same_header(const CacheEntryHeader& a, const CacheEntryHeader& b) {
    const FileLoadInfo& x = a.load_info;
    const FileLoadInfo& y = b.load_info;
    return a.name == b.name && x.last_write.low == y.last_write.low &&
           x.last_write.high == y.last_write.high && x.width == y.width && x.height == y.height &&
           x.file_size == y.file_size && x.format == y.format && x.bit_depth == y.bit_depth &&
           x.comment_count == y.comment_count && x.text_count == y.text_count &&
           x.interlaced == y.interlaced && x.alpha == y.alpha && a.thumbnail_width == b.thumbnail_width &&
           a.thumbnail_height == b.thumbnail_height && a.data_size == b.data_size;
}

}  // namespace

// Parses the input both as an index and as a data file. Whatever a parser accepts lies inside
// the input, and writes back into a file that parses to the same records.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<CacheIndexRecord> records;
    if (parse_cache_index(data, size, &records) == CacheRecordError::none) {
        std::vector<uint8_t> built;
        if (build_cache_index(records, &built) != CacheRecordError::none) __builtin_trap();
        std::vector<CacheIndexRecord> back;
        if (parse_cache_index(built.data(), built.size(), &back) != CacheRecordError::none) __builtin_trap();
        if (back.size() != records.size()) __builtin_trap();
        for (size_t i = 0; i < back.size(); ++i)
            if (back[i].folder != records[i].folder || back[i].id != records[i].id ||
                back[i].box_width != records[i].box_width || back[i].box_height != records[i].box_height)
                __builtin_trap();
        const int32_t id = smallest_unused_cache_id(records);
        for (const CacheIndexRecord& r : records)
            if (r.id == id) __builtin_trap();
        if (!records.empty() && register_cache_record(&records, records[0].folder, 1, 2) != 0)
            __builtin_trap();
    }

    std::vector<CacheEntry> entries;
    if (parse_cache_data_file(data, size, &entries) == CacheRecordError::none) {
        std::vector<uint8_t> built(kCacheFileHeaderBytes);
        build_cache_file_header(static_cast<uint32_t>(entries.size()), built.data());
        for (const CacheEntry& e : entries) {
            if (e.data < data || e.data + e.header.data_size > data + size) __builtin_trap();
            if (append_cache_entry(e.header, e.data, static_cast<uint32_t>(e.header.data_size), &built) !=
                CacheRecordError::none)
                __builtin_trap();
        }
        std::vector<CacheEntry> back;
        if (parse_cache_data_file(built.data(), built.size(), &back) != CacheRecordError::none)
            __builtin_trap();
        if (back.size() != entries.size()) __builtin_trap();
        for (size_t i = 0; i < back.size(); ++i) {
            if (!same_header(back[i].header, entries[i].header)) __builtin_trap();
            for (int32_t k = 0; k < back[i].header.data_size; ++k)
                if (back[i].data[k] != entries[i].data[k]) __builtin_trap();
        }
    }
    return 0;
}
