// The owner of a file opened for writing: closed on scope exit. A write that fails can discard
// what it made, so no partial output is left under the target's name.
#pragma once

#include <string>

#include "common/win_types.h"

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile() { close(); }
    OutputFile(OutputFile&& other) noexcept : handle_(other.handle_), path_(std::move(other.path_)) {
        other.handle_ = kClosedFile;
        other.path_.clear();
    }
    OutputFile& operator=(OutputFile&& other) noexcept {
        if (this != &other) {
            close();
            handle_ = other.handle_;
            path_ = std::move(other.path_);
            other.handle_ = kClosedFile;
            other.path_.clear();
        }
        return *this;
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Closes what is held, then creates or truncates the file; false when it cannot be made.
    [[nodiscard]] bool create(const std::u16string& path);
    // Closes the file; it stays on disk.
    void close();
    // Closes the file and deletes it: the partial output of a failed write.
    void discard();

    OsHandle get() const { return handle_; }
    bool is_open() const { return handle_ != kClosedFile; }

private:
    OsHandle handle_ = kClosedFile;
    std::u16string path_;
};
