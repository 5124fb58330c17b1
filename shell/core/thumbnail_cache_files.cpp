#include "shell/core/thumbnail_cache_files.h"

#include <cstring>

namespace {

// The index's records; false when it is missing or refused.
bool read_index(CacheFileOps& ops, const std::u16string& cache_folder, std::vector<CacheIndexRecord>* records,
                std::vector<uint8_t>* bytes) {
    records->clear();
    if (!ops.read_file(cache_index_path(cache_folder), kCacheIndexFileLimit, bytes)) return false;
    return parse_cache_index(bytes->data(), bytes->size(), records) == CacheRecordError::none;
}

bool ends_with(const std::u16string& s, const std::u16string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The written file holds exactly `bytes`, checked without holding a second copy of it.
bool file_holds(CacheFileOps& ops, const std::u16string& path, const std::vector<uint8_t>& bytes) {
    uint64_t size = 0;
    if (!ops.file_size(path, &size) || size != bytes.size()) return false;
    size_t at = 0;
    const bool read = ops.read_pieces(path, kCacheCheckPieceBytes, [&](const uint8_t* piece, size_t n) {
        if (n > bytes.size() - at || std::memcmp(piece, bytes.data() + at, n) != 0) return false;
        at += n;
        return true;
    });
    return read && at == bytes.size();
}

}  // namespace

std::u16string cache_index_path(const std::u16string& cache_folder) {
    return cache_folder + u"index.dat";
}

std::u16string cache_data_path(const std::u16string& cache_folder, int32_t id) {
    return cache_folder + cache_data_file_name(id);
}

CacheFolderFound cache_find_folder(CacheFileOps& ops, const std::u16string& cache_folder,
                                   const std::u16string& folder, int32_t box_width, int32_t box_height) {
    CacheFolderFound out;
    std::vector<CacheIndexRecord> records;
    std::vector<uint8_t> bytes;
    if (!read_index(ops, cache_folder, &records, &bytes)) return out;
    const int32_t at = find_cache_index_record(records, folder);
    if (at < 0) return out;
    const CacheIndexRecord& record = records[static_cast<size_t>(at)];
    out.path = cache_data_path(cache_folder, record.id);
    if (!ops.file_exists(out.path)) return out;
    out.found = true;
    out.box = compare_cache_box(record, box_width, box_height);
    return out;
}

bool cache_read_folder(CacheFileOps& ops, const std::u16string& cache_folder, const std::u16string& folder,
                       int32_t box_width, int32_t box_height, CacheFolderData* out, uint64_t limit) {
    out->bytes.clear();
    out->entries.clear();
    out->by_name.clear();
    out->where = cache_find_folder(ops, cache_folder, folder, box_width, box_height);
    if (!out->where.found) return false;
    if (!ops.read_file(out->where.path, limit, &out->bytes) ||
        parse_cache_data_file(out->bytes.data(), out->bytes.size(), &out->entries) !=
            CacheRecordError::none) {
        out->entries.clear();
        std::vector<uint8_t>().swap(out->bytes);
        return false;
    }
    out->by_name.reserve(out->entries.size());
    for (size_t i = 0; i < out->entries.size(); ++i) out->by_name.emplace(out->entries[i].header.name, i);
    return true;
}

const CacheEntry* cache_find_entry(const CacheFolderData& data, const std::u16string& name) {
    if (!data.by_name.empty()) {
        const auto it = data.by_name.find(name);
        return it == data.by_name.end() ? nullptr : &data.entries[it->second];
    }
    for (const CacheEntry& entry : data.entries)
        if (entry.header.name == name) return &entry;
    return nullptr;
}

const CacheEntry* cache_entry_still_valid(const CacheFolderData& data, const CacheEntryHeader& wanted) {
    const CacheEntry* entry = cache_find_entry(data, wanted.name);
    if (!entry) return nullptr;
    const CacheEntryHeader& h = entry->header;
    // The eleven load-info words are packed without padding: equal bytes are the same file.
    const bool same_file = std::memcmp(&h.load_info, &wanted.load_info, sizeof(FileLoadInfo)) == 0;
    const bool same_size =
        h.thumbnail_width == wanted.thumbnail_width && h.thumbnail_height == wanted.thumbnail_height;
    return same_file && same_size && h.data_size > 0 ? entry : nullptr;
}

CacheStatus cache_register_in_memory(CacheFileOps& ops, const std::u16string& cache_folder,
                                     const std::u16string& folder, int32_t box_width, int32_t box_height,
                                     CacheRegistration* out) {
    out->records.clear();
    out->record = -1;
    out->path.clear();
    out->index_damaged = false;
    if (folder.empty() || folder.size() >= static_cast<size_t>(kCacheNameChars) ||
        folder.find(u'\0') != std::u16string::npos)
        return CacheStatus::bad_folder;
    const std::u16string index = cache_index_path(cache_folder);
    std::vector<uint8_t> bytes;
    uint64_t size = 0;
    if (ops.read_file(index, kCacheIndexFileLimit, &bytes)) {
        // A damaged index is replaced by one holding this folder alone; keeping it would leave
        // the cache off for good.
        if (parse_cache_index(bytes.data(), bytes.size(), &out->records) != CacheRecordError::none) {
            out->records.clear();
            out->index_damaged = true;
        }
    } else if (ops.is_directory(index) || (ops.file_size(index, &size) && size > kCacheIndexFileLimit)) {
        out->index_damaged = true;
    } else if (ops.file_exists(index)) {
        return CacheStatus::index_unusable;
    }
    out->record = register_cache_record(&out->records, folder, box_width, box_height);
    if (out->record < 0) return CacheStatus::index_full;
    out->path = cache_data_path(cache_folder, out->records[static_cast<size_t>(out->record)].id);
    return CacheStatus::ok;
}

bool cache_replace_file(CacheFileOps& ops, const std::u16string& path, const std::vector<uint8_t>& bytes) {
    const std::u16string temp = path + u".tmp";
    if (ops.is_directory(temp) && !ops.set_aside(temp)) return false;
    bool written = false;
    if (ops.write_new_file(temp, bytes.data(), bytes.size()) && file_holds(ops, temp, bytes)) {
        written = (!ops.is_directory(path) || ops.set_aside(path)) && ops.replace_file(temp, path);
    }
    if (!written) ops.delete_file(temp);
    return written;
}

bool cache_make_folder(CacheFileOps& ops, const std::u16string& cache_folder) {
    if (ops.is_directory(cache_folder)) return true;
    // The folder's own name, without the separator that ends it, is what a file can be named.
    std::u16string name = cache_folder;
    while (!name.empty() && (name.back() == u'\\' || name.back() == u'/')) name.pop_back();
    if (!name.empty() && ops.file_exists(name) && !ops.is_directory(name)) (void)ops.set_aside(name);
    return ops.create_directory(cache_folder);
}

CacheStatus cache_commit_index(CacheFileOps& ops, const std::u16string& cache_folder,
                               const std::vector<CacheIndexRecord>& records, bool set_aside_old) {
    std::vector<uint8_t> bytes;
    if (build_cache_index(records, &bytes) != CacheRecordError::none) return CacheStatus::index_not_written;
    if (!cache_make_folder(ops, cache_folder)) return CacheStatus::no_cache_folder;
    const std::u16string index = cache_index_path(cache_folder);
    if (set_aside_old && ops.file_exists(index) && !ops.set_aside(index))
        return CacheStatus::index_not_written;
    return cache_replace_file(ops, index, bytes) ? CacheStatus::ok : CacheStatus::index_not_written;
}

CacheStatus cache_register_folder(CacheFileOps& ops, const std::u16string& cache_folder,
                                  const std::u16string& folder, int32_t box_width, int32_t box_height,
                                  std::u16string* path) {
    path->clear();
    CacheRegistration registration;
    CacheStatus status =
        cache_register_in_memory(ops, cache_folder, folder, box_width, box_height, &registration);
    if (status == CacheStatus::ok)
        status = cache_commit_index(ops, cache_folder, registration.records, registration.index_damaged);
    if (status == CacheStatus::ok) *path = registration.path;
    return status;
}

CacheStatus cache_write_folder(CacheFileOps& ops, const std::u16string& cache_folder,
                               const std::u16string& folder, int32_t box_width, int32_t box_height,
                               const std::vector<uint8_t>& data_file, uint64_t limit) {
    CacheRegistration registration;
    const CacheStatus status =
        cache_register_in_memory(ops, cache_folder, folder, box_width, box_height, &registration);
    if (status != CacheStatus::ok) return status;
    if (!cache_make_folder(ops, cache_folder)) return CacheStatus::no_cache_folder;
    // A file the reader would refuse is not worth the disk.
    if (data_file.size() > limit) return CacheStatus::data_not_written;
    // The data file first: until the index names it with the new box, the old record still
    // describes whatever data file is in place.
    if (!cache_replace_file(ops, registration.path, data_file)) return CacheStatus::data_not_written;
    return cache_commit_index(ops, cache_folder, registration.records, registration.index_damaged);
}

void cache_remove_stale_temp_files(CacheFileOps& ops, const std::u16string& cache_folder) {
    for (const std::u16string& name : ops.file_names(cache_folder))
        if (ends_with(name, u".tmp")) ops.delete_file(cache_folder + name);
}

CacheStatus cache_compact_index(CacheFileOps& ops, const std::u16string& cache_folder) {
    std::vector<CacheIndexRecord> records;
    std::vector<uint8_t> bytes;
    if (!read_index(ops, cache_folder, &records, &bytes)) return CacheStatus::index_unusable;
    const CacheCompaction compaction = compact_cache_records(
        records, [&](const std::u16string& folder) { return ops.is_directory(folder); });
    if (compaction.removed_ids.empty()) return CacheStatus::ok;
    // A data file is deleted only once no index on disk names it any more.
    const CacheStatus status = cache_commit_index(ops, cache_folder, compaction.kept);
    if (status != CacheStatus::ok) return status;
    for (int32_t id : compaction.removed_ids) ops.delete_file(cache_data_path(cache_folder, id));
    return CacheStatus::ok;
}
