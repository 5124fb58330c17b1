// The operating-system file operations that the codecs need: opening, reading, writing,
// read-only mappings and file times. Windows and POSIX implementations live in codecs/win
// and codecs/native; paths are UTF-16 on both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/win_types.h"

OsHandle file_open_read(const std::u16string& path);
// Creates or truncates the file for writing.
OsHandle file_create_write(const std::u16string& path);
void file_close(OsHandle file);

// Reads up to `size` bytes; false on an I/O error. `*got` is the count actually read.
bool file_read(OsHandle file, void* buffer, uint32_t size, uint32_t* got);
// True only when every byte was written.
[[nodiscard]] bool file_write(OsHandle file, const void* data, uint32_t size);
[[nodiscard]] bool file_flush(OsHandle file);

// Creates or truncates the file and writes all of `data`, flushed; false when any step failed
// (the file may then hold part of it).
[[nodiscard]] bool file_write_whole(const std::u16string& path, const uint8_t* data, size_t size);

bool file_size(OsHandle file, uint64_t* size);
bool file_last_write_time(OsHandle file, FileTime* time);

// Maps the whole file read-only. The mapping handle is 0 when none was made.
bool file_map_readonly(OsHandle file, uint64_t size, OsHandle* mapping, const uint8_t** view);
void file_unmap_view(const uint8_t* view, uint64_t size);
void file_close_mapping(OsHandle mapping);

bool file_delete(const std::u16string& path);
// Replaces `target` by `source` (both on one volume); the old target is gone only on success.
bool file_replace(const std::u16string& source, const std::u16string& target);
