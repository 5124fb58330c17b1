// The owner of a file mapped whole and read-only: the open file, its mapping and the view.
// Move-only; the empty value holds no file (kClosedFile), no mapping and no view.
#pragma once

#include <cstdint>
#include <string>

#include "common/win_types.h"

class MappedInput {
public:
    MappedInput() = default;
    ~MappedInput() { close(); }
    MappedInput(MappedInput&& other) noexcept { take(other); }
    MappedInput& operator=(MappedInput&& other) noexcept {
        if (this != &other) {
            close();
            take(other);
        }
        return *this;
    }
    MappedInput(const MappedInput&) = delete;
    MappedInput& operator=(const MappedInput&) = delete;

    // Opens and maps the whole file. False when it cannot be opened or mapped, is empty or
    // has 4 GB or more (more than a 32-bit process can map whole); what was opened stays
    // owned until close() or the destructor.
    [[nodiscard]] bool open(const std::u16string& path);
    // The same for a file the caller opened for reading: the owner takes it over, mapped or
    // not, so that a caller that has already looked at the file need not open it again.
    [[nodiscard]] bool adopt(OsHandle file);
    // Unmaps the view, closes the mapping and the file; the owner is empty afterwards.
    void close();

    // The last-write time, read once when the file was opened; false when it could not be.
    bool last_write_time(FileTime* time) const {
        if (has_write_time_) *time = write_time_;
        return has_write_time_;
    }

    const uint8_t* data() const { return view_; }
    uint64_t size() const { return size_; }
    OsHandle file() const { return file_; }
    bool mapped() const { return view_ != nullptr; }

private:
    void take(MappedInput& other) {
        file_ = other.file_;
        mapping_ = other.mapping_;
        view_ = other.view_;
        size_ = other.size_;
        write_time_ = other.write_time_;
        has_write_time_ = other.has_write_time_;
        other.has_write_time_ = false;
        other.file_ = kClosedFile;
        other.mapping_ = 0;
        other.view_ = nullptr;
        other.size_ = 0;
    }

    OsHandle file_ = kClosedFile;
    OsHandle mapping_ = 0;
    const uint8_t* view_ = nullptr;
    uint64_t size_ = 0;
    FileTime write_time_ = {};
    bool has_write_time_ = false;
};
