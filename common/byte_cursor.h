// Bounded little- and big-endian readers over a byte range. A read past the end yields zero
// and leaves the cursor marked as overrun, so a parser can read a whole record and test once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class ByteCursor {
public:
    ByteCursor() = default;
    ByteCursor(const uint8_t* begin, size_t size) : begin_(begin), pos_(begin), end_(begin + size) {}

    bool overrun() const { return overrun_; }
    size_t remaining() const { return static_cast<size_t>(end_ - pos_); }
    size_t offset() const { return static_cast<size_t>(pos_ - begin_); }
    size_t size() const { return static_cast<size_t>(end_ - begin_); }
    const uint8_t* data() const { return pos_; }
    const uint8_t* begin() const { return begin_; }
    const uint8_t* end() const { return end_; }

    bool has(size_t n) const { return !overrun_ && remaining() >= n; }

    // Moves to an absolute offset; an offset beyond the end marks the cursor.
    bool seek(uint64_t offset) {
        if (offset > size()) {
            overrun_ = true;
            pos_ = end_;
            return false;
        }
        pos_ = begin_ + offset;
        return true;
    }

    bool skip(uint64_t n) {
        if (overrun_ || n > remaining()) {
            overrun_ = true;
            pos_ = end_;
            return false;
        }
        pos_ += n;
        return true;
    }

    // Copies n bytes; on a short range nothing is copied and out is zero-filled.
    bool read_bytes(void* out, size_t n) {
        if (!has(n)) {
            std::memset(out, 0, n);
            overrun_ = true;
            pos_ = end_;
            return false;
        }
        std::memcpy(out, pos_, n);
        pos_ += n;
        return true;
    }

    uint8_t u8() {
        if (!has(1)) return fail8();
        return *pos_++;
    }
    uint16_t le16() {
        if (!has(2)) return static_cast<uint16_t>(fail8());
        uint16_t v = static_cast<uint16_t>(pos_[0] | (pos_[1] << 8));
        pos_ += 2;
        return v;
    }
    uint16_t be16() {
        if (!has(2)) return static_cast<uint16_t>(fail8());
        uint16_t v = static_cast<uint16_t>((pos_[0] << 8) | pos_[1]);
        pos_ += 2;
        return v;
    }
    uint32_t le32() {
        if (!has(4)) return fail8();
        uint32_t v = static_cast<uint32_t>(pos_[0]) | (static_cast<uint32_t>(pos_[1]) << 8) |
                     (static_cast<uint32_t>(pos_[2]) << 16) | (static_cast<uint32_t>(pos_[3]) << 24);
        pos_ += 4;
        return v;
    }
    uint32_t be32() {
        if (!has(4)) return fail8();
        uint32_t v = (static_cast<uint32_t>(pos_[0]) << 24) | (static_cast<uint32_t>(pos_[1]) << 16) |
                     (static_cast<uint32_t>(pos_[2]) << 8) | static_cast<uint32_t>(pos_[3]);
        pos_ += 4;
        return v;
    }

private:
    uint8_t fail8() {
        overrun_ = true;
        pos_ = end_;
        return 0;
    }

    const uint8_t* begin_ = nullptr;
    const uint8_t* pos_ = nullptr;
    const uint8_t* end_ = nullptr;
    bool overrun_ = false;
};

inline uint16_t swap16(uint16_t v) {
    return static_cast<uint16_t>((v >> 8) | (v << 8));
}
inline uint32_t swap32(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}
