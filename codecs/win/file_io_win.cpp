#include <windows.h>

#include <cstring>
#include <mutex>
#include <utility>

#include "codecs/file_io.h"
#include "codecs/pixel_memory.h"

namespace {

const wchar_t* wide(const std::u16string& path) {
    return reinterpret_cast<const wchar_t*>(path.c_str());
}
HANDLE as_handle(OsHandle h) {
    return reinterpret_cast<HANDLE>(h);
}
OsHandle from_handle(HANDLE h) {
    return reinterpret_cast<OsHandle>(h);
}

}  // namespace

OsHandle file_open_read(const std::u16string& path) {
    HANDLE h = CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? kClosedFile : from_handle(h);
}

OsHandle file_create_write(const std::u16string& path) {
    HANDLE h =
        CreateFileW(wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? kClosedFile : from_handle(h);
}

void file_close(OsHandle file) {
    if (file != kClosedFile) CloseHandle(as_handle(file));
}

bool file_read(OsHandle file, void* buffer, uint32_t size, uint32_t* got) {
    DWORD n = 0;
    BOOL ok = ReadFile(as_handle(file), buffer, size, &n, nullptr);
    *got = n;
    return ok != FALSE;
}

bool file_write(OsHandle file, const void* data, uint32_t size) {
    DWORD n = 0;
    return WriteFile(as_handle(file), data, size, &n, nullptr) && n == size;
}

bool file_flush(OsHandle file) {
    return FlushFileBuffers(as_handle(file)) != FALSE;
}

bool file_size(OsHandle file, uint64_t* size) {
    DWORD high = 0;
    DWORD low = GetFileSize(as_handle(file), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    *size = (static_cast<uint64_t>(high) << 32) | low;
    return true;
}

bool file_last_write_time(OsHandle file, FileTime* time) {
    FILETIME ft;
    if (!GetFileTime(as_handle(file), nullptr, nullptr, &ft)) return false;
    time->low = ft.dwLowDateTime;
    time->high = ft.dwHighDateTime;
    return true;
}

bool file_map_readonly(OsHandle file, uint64_t size, OsHandle* mapping, const uint8_t** view) {
    *view = nullptr;
    if (size == 0) return false;
    HANDLE m = CreateFileMappingW(as_handle(file), nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!m) return false;
    *mapping = from_handle(m);
    void* v = MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0);
    if (!v) return false;
    *view = static_cast<const uint8_t*>(v);
    return true;
}

void file_unmap_view(const uint8_t* view, uint64_t) {
    if (view) UnmapViewOfFile(view);
}

void file_close_mapping(OsHandle mapping) {
    if (mapping) CloseHandle(as_handle(mapping));
}

bool file_delete(const std::u16string& path) {
    return DeleteFileW(wide(path)) != FALSE;
}

bool file_replace(const std::u16string& source, const std::u16string& target) {
    return MoveFileExW(wide(source), wide(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
           FALSE;
}

namespace {

// One released block of up to this size is kept for the next request of about its size: a
// folder's thumbnails decode one picture after another at much the same size, and under Wine
// a fresh block's mapping and first touch cost a good part of a small decode.
constexpr SIZE_T kSpareBlockLimit = SIZE_T{8} << 20;

struct SpareBlock {
    std::mutex lock;
    void* block = nullptr;
    SIZE_T size = 0;
};

SpareBlock& spare_block() {
    static SpareBlock spare;
    return spare;
}

}  // namespace

uint8_t* alloc_pixels(int64_t bytes) {
    if (bytes < 0 || bytes > 0x7FFFFFFF) return nullptr;
    const SIZE_T wanted = bytes ? static_cast<SIZE_T>(bytes) : 1;
    {
        SpareBlock& spare = spare_block();
        std::lock_guard<std::mutex> hold(spare.lock);
        // Only a request that fills at least half of the block takes it, so that a small one
        // does not hold a large block for its lifetime.
        if (spare.block && wanted <= spare.size && wanted >= spare.size / 2) {
            void* block = spare.block;
            spare.block = nullptr;
            spare.size = 0;
            // A fresh block reads as zeros, and the readers rely on that.
            std::memset(block, 0, wanted);
            return static_cast<uint8_t*>(block);
        }
    }
    return static_cast<uint8_t*>(VirtualAlloc(nullptr, wanted, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
}

void free_pixels(void* block) {
    if (!block) return;
    MEMORY_BASIC_INFORMATION info = {};
    if (VirtualQuery(block, &info, sizeof info) == sizeof info && info.BaseAddress == block &&
        info.RegionSize <= kSpareBlockLimit) {
        // The newer block is kept; the one it replaces goes back to the system.
        SpareBlock& spare = spare_block();
        std::lock_guard<std::mutex> hold(spare.lock);
        std::swap(spare.block, block);
        spare.size = info.RegionSize;
    }
    if (block) VirtualFree(block, 0, MEM_RELEASE);
}

OsHandle create_dib_section(const BitmapInfoHeader& header, const RgbQuad* palette, uint8_t** bits) {
    *bits = nullptr;
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colours[256];
    } info = {};
    info.h.biSize = sizeof(BITMAPINFOHEADER);
    info.h.biWidth = header.width;
    info.h.biHeight = header.height;
    info.h.biPlanes = 1;
    info.h.biBitCount = header.bit_count;
    info.h.biCompression = BI_RGB;
    info.h.biXPelsPerMeter = header.x_pels_per_meter;
    info.h.biYPelsPerMeter = header.y_pels_per_meter;
    if (palette && header.bit_count <= 8) {
        const int n = 1 << header.bit_count;
        for (int i = 0; i < n; ++i) {
            info.colours[i].rgbBlue = palette[i].blue;
            info.colours[i].rgbGreen = palette[i].green;
            info.colours[i].rgbRed = palette[i].red;
        }
    }
    void* p = nullptr;
    HBITMAP bmp =
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &p, nullptr, 0);
    if (!bmp) return 0;
    *bits = static_cast<uint8_t*>(p);
    return reinterpret_cast<OsHandle>(bmp);
}

void delete_bitmap(OsHandle bitmap) {
    if (bitmap) DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap));
}
