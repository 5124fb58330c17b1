// Builds settings files byte by byte for the tests, independently of the store's own writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class SettingsFileBuilder {
public:
    SettingsFileBuilder() : bytes_(4004, 0) { put(0, 0x006401F4u); }

    SettingsFileBuilder& integer(int slot, int32_t value) { return entry(slot, 1, value); }
    SettingsFileBuilder& entry(int slot, int32_t offset, int32_t size) {
        put(4 + 8 * slot, static_cast<uint32_t>(offset));
        put(8 + 8 * slot, static_cast<uint32_t>(size));
        return *this;
    }
    SettingsFileBuilder& data(int slot, const std::vector<uint8_t>& data) {
        entry(slot, static_cast<int32_t>(bytes_.size()), static_cast<int32_t>(data.size()));
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        return *this;
    }
    SettingsFileBuilder& text(int slot, const std::u16string& text) {
        std::vector<uint8_t> b;
        for (char16_t c : text) {
            b.push_back(static_cast<uint8_t>(c));
            b.push_back(static_cast<uint8_t>(c >> 8));
        }
        return data(slot, b);
    }
    std::vector<uint8_t>& bytes() { return bytes_; }

private:
    void put(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    std::vector<uint8_t> bytes_;
};

inline uint32_t le32_at(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
