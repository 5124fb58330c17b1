#include "shell/thumbnail_cache.h"

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <shlwapi.h>
// clang-format on

#include <algorithm>
#include <functional>
#include <vector>

#include "codecs/file_io.h"
#include "codecs/jpeg/jpeg.h"
#include "common/replaceable.h"
#include "common/stride.h"
#include "common/win/process_lock.h"
#include "loading/browser_load.h"
#include "loading/codec_set.h"
#include "shell/shell_state.h"

namespace {

class SystemCacheFileOps : public CacheFileOps {
public:
    bool read_file(const std::u16string& path, uint64_t limit, std::vector<uint8_t>* bytes) override {
        bytes->clear();
        OsHandle file = file_open_read(path);
        if (file == kClosedFile) return false;
        uint64_t size = 0;
        bool ok = ::file_size(file, &size) && size <= limit;
        if (ok) {
            bytes->resize(static_cast<size_t>(size));
            uint32_t got = 0;
            ok = file_read(file, bytes->data(), static_cast<uint32_t>(size), &got) && got == size;
        }
        file_close(file);
        if (!ok) std::vector<uint8_t>().swap(*bytes);
        return ok;
    }

    bool file_size(const std::u16string& path, uint64_t* size) override {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (!GetFileAttributesExW(wide(path), GetFileExInfoStandard, &data) ||
            (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return false;
        *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        return true;
    }

    bool read_pieces(const std::u16string& path, size_t piece_bytes,
                     const std::function<bool(const uint8_t*, size_t)>& piece) override {
        OsHandle file = file_open_read(path);
        if (file == kClosedFile) return false;
        std::vector<uint8_t> buffer(std::max<size_t>(piece_bytes, 1));
        bool ok = true;
        for (;;) {
            uint32_t got = 0;
            if (!file_read(file, buffer.data(), static_cast<uint32_t>(buffer.size()), &got)) {
                ok = false;
                break;
            }
            if (got == 0) break;
            if (!piece(buffer.data(), got)) {
                ok = false;
                break;
            }
        }
        file_close(file);
        return ok;
    }

    bool file_exists(const std::u16string& path) override { return PathFileExistsW(wide(path)) != FALSE; }

    bool is_directory(const std::u16string& path) override { return PathIsDirectoryW(wide(path)) != FALSE; }

    bool create_directory(const std::u16string& path) override {
        return CreateDirectoryW(wide(path), nullptr) != FALSE || is_directory(path);
    }

    bool write_new_file(const std::u16string& path, const uint8_t* data, size_t size) override {
        return file_write_whole(path, data, size);
    }

    bool replace_file(const std::u16string& source, const std::u16string& target) override {
        return file_replace(source, target);
    }

    void delete_file(const std::u16string& path) override { (void)file_delete(path); }

    bool set_aside(const std::u16string& path) override {
        // The last damaged file is kept under ".bad"; a folder there cannot be replaced, so a
        // few numbered names follow.
        const std::u16string aside = path + u".bad";
        if (MoveFileExW(wide(path), wide(aside), MOVEFILE_REPLACE_EXISTING)) return true;
        for (char16_t n = u'1'; n <= u'9'; ++n)
            if (MoveFileW(wide(path), wide(aside + n))) return true;
        return false;
    }

    std::vector<std::u16string> file_names(const std::u16string& folder) override {
        std::vector<std::u16string> names;
        WIN32_FIND_DATAW found = {};
        HANDLE find = FindFirstFileW(wide(folder + u"*"), &found);
        if (find == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(u16(found.cFileName));
        } while (FindNextFileW(find, &found));
        FindClose(find);
        return names;
    }
};

SystemCacheFileOps g_system_ops;
Replaceable<CacheFileOps> g_ops(g_system_ops);

std::u16string cache_folder() {
    return u16(g_shell.cache_folder);
}

int32_t box_width() {
    return g_browser_options.box_width;
}

int32_t box_height() {
    return g_browser_options.box_height;
}

// The stored JPEG, decoded on the shared reader towards the box. Null when it does not decode
// or is not the thumbnail its header describes: the size check keeps a damaged file from
// asking for a huge decode.
LoadedImage* decode_cached_jpeg(const CacheEntry& entry, const std::u16string& path) {
    JpegReaderContext* c = g_codecs.jpeg_reader;
    if (!c || entry.header.data_size <= 0) return nullptr;
    const size_t size = static_cast<size_t>(entry.header.data_size);
    JpegHeaderFacts facts;
    if (!jpeg_read_header_facts(entry.data, size, &facts) || facts.width != entry.header.thumbnail_width ||
        facts.height != entry.header.thumbnail_height)
        return nullptr;
    jpeg_reader_reset(c);
    reset_codec_handles(c);
    c->in_memory = 1;
    if (box_width() != 0 && box_height() != 0) {
        c->state.scaled_decode = 1;
        c->state.box_width = box_width();
        c->state.box_height = box_height();
    }
    c->state.data_supplied = 1;
    c->loaded.file_size = static_cast<uint32_t>(size);
    LoadedImage* image = read_jpeg_image(c, path, entry.data);
    // The cache wrote this stream itself, so any corrupt-data warning means damage on disk: the
    // image would show it, and the rewrite would carry its bytes on. The file is decoded instead.
    const bool warned = c->state.warning_count != 0;
    jpeg_reader_release(c);
    if (image && (image->info.bit_count != 24 || warned)) {
        free_loaded_image(image);
        image = nullptr;
    }
    return image;
}

// An entry's name, never read past its fixed buffer.
std::u16string entry_name(const FileEntry& entry) {
    size_t length = 0;
    while (length < static_cast<size_t>(kViewPathChars) && entry.name[length]) ++length;
    return std::u16string(entry.name, length);
}

// The thumbnail as a JPEG stream; false when it does not encode.
bool encode_thumbnail(const FileEntry& entry, std::vector<uint8_t>* jpeg) {
    JpegWriterContext* w = g_codecs.jpeg_writer;
    const int32_t width = entry.thumbnail_width;
    const int32_t height = entry.thumbnail_height;
    if (!w || !entry.thumbnail_bits || width <= 0 || height <= 0 || width > kJpegMaxDimension ||
        height > kJpegMaxDimension)
        return false;
    // The headers of a tiny thumbnail outweigh its pixels, so room for them comes on top.
    const uint64_t capacity =
        static_cast<uint64_t>(row_stride_bytes(width, 24)) * static_cast<uint64_t>(height) + 65536;
    if (capacity > UINT32_MAX) return false;
    jpeg->resize(static_cast<size_t>(capacity));
    jpeg_writer_reset(w);
    jpeg_set_save_options(w, 80, 0, 0, 2);
    w->in_memory = 1;
    w->conversion.width = width;
    w->conversion.height = height;
    w->conversion.source_bits = 24;
    uint32_t count = static_cast<uint32_t>(capacity);
    const bool ok = write_jpeg_image_to_memory(w, jpeg->data(), &count, entry.thumbnail_bits);
    jpeg_writer_release(w);
    jpeg->resize(ok ? count : 0);
    return ok;
}

}  // namespace

CacheFileOps& cache_file_ops() {
    return g_ops.get();
}

CacheFileOps* set_cache_file_ops(CacheFileOps* ops) {
    return g_ops.install(ops);
}

CacheFolderFound find_cache_folder(const std::u16string& folder) {
    return cache_find_folder(cache_file_ops(), cache_folder(), folder, box_width(), box_height());
}

bool read_cache_folder(const std::u16string& folder, CacheFolderData* out) {
    return cache_read_folder(cache_file_ops(), cache_folder(), folder, box_width(), box_height(), out);
}

bool take_thumbnail_from_cache(const std::u16string& name, const CacheFolderData& cache,
                               const FileTime& listed) {
    const CacheEntry* entry = cache_find_entry(cache, name);
    if (!entry) return false;
    const FileLoadInfo& info = entry->header.load_info;
    if (listed.low != info.last_write.low || listed.high != info.last_write.high) return false;
    LoadedImage* image = decode_cached_jpeg(*entry, name);
    if (!image) return false;
    LoadResult& r = g_load_result;
    r.time_low = info.last_write.low;
    r.time_high = info.last_write.high;
    r.full_width = info.width;
    r.full_height = info.height;
    r.file_size = static_cast<uint32_t>(info.file_size);
    r.format = info.format;
    r.source_bits = info.bit_depth;
    r.w1 = info.comment_count;
    r.w2 = info.text_count;
    r.w3 = info.interlaced;
    r.w4 = info.alpha;
    r.current_width = image->info.width;
    r.current_height = image->info.height;
    r.header = image->info;
    r.header_pad = 0;
    r.image = image;
    return true;
}

bool register_cache_folder(const std::u16string& folder, std::u16string* path) {
    return cache_register_folder(cache_file_ops(), cache_folder(), folder, box_width(), box_height(), path) ==
           CacheStatus::ok;
}

CacheDataFileBuilder::CacheDataFileBuilder(size_t expected_bytes, uint64_t limit)
    : file_(kCacheFileHeaderBytes), limit_(limit) {
    file_.reserve(static_cast<size_t>(
        std::min<uint64_t>(std::max(expected_bytes, kCacheFileHeaderBytes), std::max<uint64_t>(limit, 8))));
}

void CacheDataFileBuilder::add(const FileEntry& entry, bool from_cache, const CacheFolderData* previous) {
    CacheEntryHeader header;
    header.name = entry_name(entry);
    header.load_info = entry.load_info;
    header.thumbnail_width = entry.thumbnail_width;
    header.thumbnail_height = entry.thumbnail_height;
    const CacheEntry* stored =
        from_cache && previous && entry.thumbnail_bits ? cache_entry_still_valid(*previous, header) : nullptr;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    if (stored) {
        data = stored->data;
        size = static_cast<uint32_t>(stored->header.data_size);
    } else if (encode_thumbnail(entry, &jpeg_)) {
        data = jpeg_.data();
        size = static_cast<uint32_t>(jpeg_.size());
    } else {
        return;
    }
    if (!cache_entry_fits(file_.size(), size, limit_)) {
        ++omitted_;
        return;
    }
    const size_t before = file_.size();
    const uint64_t needed = before + kCacheEntryHeaderBytes + size;
    // Grown by hand so that the room taken never passes the bound either.
    if (needed > file_.capacity())
        file_.reserve(static_cast<size_t>(
            std::min<uint64_t>(limit_, std::max<uint64_t>(needed, 2 * file_.capacity()))));
    if (append_cache_entry(header, data, size, &file_) != CacheRecordError::none) {
        file_.resize(before);
        return;
    }
    ++count_;
    if (stored) ++kept_;
}

CacheStatus CacheDataFileBuilder::write(const std::u16string& folder) {
    build_cache_file_header(count_, file_.data());
    return cache_write_folder(cache_file_ops(), cache_folder(), folder, box_width(), box_height(), file_,
                              limit_);
}

CacheStatus write_cache_folder(const std::u16string& folder, const ViewState& view) {
    CacheDataFileBuilder builder;
    for (int32_t i = 0; view.entries && i < view.count; ++i) builder.add(view.entries[i], false, nullptr);
    return builder.write(folder);
}

CacheStatus compact_cache_index() {
    // Shutdown calls this after the views have ended; the lock still keeps out any other
    // thread that touches the cache files.
    ProcessLockGuard lock;
    return cache_compact_index(cache_file_ops(), cache_folder());
}

void open_thumbnail_cache() {
    ProcessLockGuard lock;
    cache_remove_stale_temp_files(cache_file_ops(), cache_folder());
}

void compact_thumbnail_cache_index() {
    (void)compact_cache_index();
}
