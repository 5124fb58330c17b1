#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "codecs/file_io.h"
#include "codecs/pixel_memory.h"
#include "common/stride.h"
#include "common/utf16.h"

OsHandle file_open_read(const std::u16string& path) {
    int fd = ::open(utf16_to_utf8(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return kClosedFile;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return kClosedFile;
    }
    return fd;
}

OsHandle file_create_write(const std::u16string& path) {
    int fd = ::open(utf16_to_utf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd < 0 ? kClosedFile : fd;
}

void file_close(OsHandle file) {
    if (file != kClosedFile) ::close(static_cast<int>(file));
}

bool file_read(OsHandle file, void* buffer, uint32_t size, uint32_t* got) {
    *got = 0;
    uint8_t* p = static_cast<uint8_t*>(buffer);
    while (*got < size) {
        ssize_t n = ::read(static_cast<int>(file), p + *got, size - *got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        *got += static_cast<uint32_t>(n);
    }
    return true;
}

bool file_write(OsHandle file, const void* data, uint32_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    uint32_t done = 0;
    while (done < size) {
        ssize_t n = ::write(static_cast<int>(file), p + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        done += static_cast<uint32_t>(n);
    }
    return true;
}

bool file_flush(OsHandle file) {
    return ::fsync(static_cast<int>(file)) == 0;
}

bool file_size(OsHandle file, uint64_t* size) {
    struct stat st;
    if (fstat(static_cast<int>(file), &st) != 0) return false;
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool file_last_write_time(OsHandle file, FileTime* time) {
    struct stat st;
    if (fstat(static_cast<int>(file), &st) != 0) return false;
    // 100-ns intervals since 1601, as Windows keeps them.
    const uint64_t t = (static_cast<uint64_t>(st.st_mtim.tv_sec) + 11644473600ull) * 10000000ull +
                       static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100;
    time->low = static_cast<uint32_t>(t);
    time->high = static_cast<uint32_t>(t >> 32);
    return true;
}

bool file_map_readonly(OsHandle file, uint64_t size, OsHandle* mapping, const uint8_t** view) {
    *view = nullptr;
    if (size == 0) return false;
    void* p = mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, static_cast<int>(file), 0);
    if (p == MAP_FAILED) return false;
    // A POSIX mapping needs no handle of its own; 1 marks that a mapping exists.
    *mapping = 1;
    *view = static_cast<const uint8_t*>(p);
    return true;
}

void file_unmap_view(const uint8_t* view, uint64_t size) {
    if (view) munmap(const_cast<uint8_t*>(view), static_cast<size_t>(size));
}

void file_close_mapping(OsHandle) {}

bool file_delete(const std::u16string& path) {
    return ::unlink(utf16_to_utf8(path).c_str()) == 0;
}

bool file_replace(const std::u16string& source, const std::u16string& target) {
    return ::rename(utf16_to_utf8(source).c_str(), utf16_to_utf8(target).c_str()) == 0;
}

uint8_t* alloc_pixels(int64_t bytes) {
    if (bytes < 0 || bytes > 0x7FFFFFFF) return nullptr;
    return static_cast<uint8_t*>(std::calloc(1, bytes ? static_cast<size_t>(bytes) : 1));
}

void free_pixels(void* block) {
    std::free(block);
}

OsHandle create_dib_section(const BitmapInfoHeader& header, const RgbQuad*, uint8_t** bits) {
    *bits = nullptr;
    if (header.width <= 0 || header.height == 0) return 0;
    const int64_t h = header.height < 0 ? -static_cast<int64_t>(header.height) : header.height;
    const int64_t stride = row_stride_bytes(header.width, header.bit_count);
    *bits = alloc_pixels(stride * h);
    return reinterpret_cast<OsHandle>(*bits);
}

void delete_bitmap(OsHandle bitmap) {
    free_pixels(reinterpret_cast<void*>(bitmap));
}
