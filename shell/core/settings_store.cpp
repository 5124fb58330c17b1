#include "shell/core/settings_store.h"

#include <cstring>

#include "codecs/file_io.h"
#include "common/replaceable.h"

namespace {

class PortableFileOps : public SettingsFileOps {
public:
    SettingsFileStatus read_file(const std::u16string& path, std::vector<uint8_t>* bytes,
                                 uint32_t limit) override {
        bytes->clear();
        OsHandle file = file_open_read(path);
        if (file == kClosedFile) return SettingsFileStatus::missing;
        uint64_t size = 0;
        SettingsFileStatus status = SettingsFileStatus::failed;
        if (file_size(file, &size)) {
            bytes->resize(static_cast<size_t>(size < limit ? size : limit));
            uint32_t got = 0;
            if (file_read(file, bytes->data(), static_cast<uint32_t>(bytes->size()), &got)) {
                bytes->resize(got);
                status = SettingsFileStatus::ok;
            } else {
                bytes->clear();
            }
        }
        file_close(file);
        return status;
    }

    bool write_new_file(const std::u16string& path, const uint8_t* data, size_t size) override {
        return file_write_whole(path, data, size);
    }

    bool replace_file(const std::u16string& source, const std::u16string& target) override {
        return file_replace(source, target);
    }

    void delete_file(const std::u16string& path) override { (void)file_delete(path); }

    void pause_ms(uint32_t) override {}
};

PortableFileOps g_portable_ops;
Replaceable<SettingsFileOps> g_ops(g_portable_ops);
std::mutex g_write_pass;

// Fewer than this many bytes: at most 10,000 units and the terminator fit the buffer.
constexpr uint32_t kLongStringBytes = 2 * kSettingsLongStringChars;

// How long a busy file is waited for: a writing pass holds it for a few milliseconds only.
constexpr int kBusyAttempts = 8;
constexpr uint32_t kBusyPauseMs = 50;

// Runs `attempt` until it reports that it is done, pausing between tries; false when every
// try was refused.
template <typename Attempt>
bool retry_while_busy(SettingsFileOps& ops, Attempt attempt) {
    for (int i = 0; i < kBusyAttempts; ++i) {
        if (i) ops.pause_ms(kBusyPauseMs);
        if (attempt()) return true;
    }
    return false;
}

SettingsFileStatus read_whole_file(SettingsFileOps& ops, const std::u16string& path,
                                   std::vector<uint8_t>* bytes) {
    SettingsFileStatus status = SettingsFileStatus::busy;
    retry_while_busy(ops, [&] {
        status = ops.read_file(path, bytes, kSettingsFileLimit);
        return status != SettingsFileStatus::busy;
    });
    return status;
}

int32_t read_i32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

void put_i32(uint8_t* p, int32_t value) {
    const uint32_t v = static_cast<uint32_t>(value);
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

bool valid_slot(int slot) {
    return slot >= 0 && slot < kSettingsSlotCount;
}

void parse_directory(const uint8_t* bytes, std::vector<SettingsEntry>* directory) {
    directory->assign(kSettingsSlotCount, SettingsEntry{});
    for (int s = 0; s < kSettingsSlotCount; ++s) {
        (*directory)[s].offset = read_i32(bytes + 4 + 8 * s);
        (*directory)[s].size = read_i32(bytes + 8 + 8 * s);
    }
}

// The stored bytes of a data slot when they lie wholly inside the file, else null.
const uint8_t* slot_bytes(const SettingsReader& reader, const SettingsEntry& e) {
    if (e.offset <= 1 || e.size < 0) return nullptr;
    const uint64_t end = static_cast<uint64_t>(e.offset) + static_cast<uint64_t>(e.size);
    if (end > reader.file.size()) return nullptr;
    return reader.file.data() + e.offset;
}

void read_text(const SettingsReader& reader, int slot, uint32_t byte_bound, char16_t* buffer) {
    buffer[0] = 0;
    const SettingsEntry e = settings_entry(reader, slot);
    if (e.offset <= 1 || static_cast<uint32_t>(e.size) >= byte_bound) return;
    const uint8_t* p = slot_bytes(reader, e);
    if (!p) return;
    const int32_t units = e.size / 2;
    for (int32_t i = 0; i < units; ++i) buffer[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    buffer[units] = 0;
}

}  // namespace

SettingsFileOps& portable_settings_file_ops() {
    return g_portable_ops;
}

SettingsFileOps* set_settings_file_ops(SettingsFileOps* ops) {
    return g_ops.install(ops);
}

SettingsFileOps& settings_file_ops() {
    return g_ops.get();
}

SettingsReader settings_parse(const uint8_t* data, size_t size) {
    SettingsReader reader;
    reader.status = SettingsFileStatus::ok;
    if (size > kSettingsFileLimit) size = kSettingsFileLimit;
    reader.file.assign(data, data + size);
    if (size < 4 || static_cast<uint32_t>(read_i32(data)) != kSettingsMagic) return reader;
    if (size < kSettingsDataStart) return reader;
    parse_directory(reader.file.data(), &reader.directory);
    reader.ok = true;
    return reader;
}

SettingsReader settings_open_read(const std::u16string& path) {
    SettingsFileOps& ops = settings_file_ops();
    std::vector<uint8_t> bytes;
    const SettingsFileStatus status = read_whole_file(ops, path, &bytes);
    if (status != SettingsFileStatus::ok) {
        SettingsReader reader;
        reader.status = status;
        return reader;
    }
    return settings_parse(bytes.data(), bytes.size());
}

void settings_close_read(SettingsReader& reader) {
    reader.ok = false;
    std::vector<uint8_t>().swap(reader.file);
    std::vector<SettingsEntry>().swap(reader.directory);
}

SettingsEntry settings_entry(const SettingsReader& reader, int slot) {
    if (!reader.ok || !valid_slot(slot) || reader.directory.size() != kSettingsSlotCount) return {};
    return reader.directory[slot];
}

int32_t settings_int(const SettingsReader& reader, int slot, int32_t fallback) {
    const SettingsEntry e = settings_entry(reader, slot);
    return e.offset == 1 ? e.size : fallback;
}

void settings_read_string(const SettingsReader& reader, int slot, char16_t* buffer) {
    read_text(reader, slot, 520, buffer);
}

std::u16string settings_string(const SettingsReader& reader, int slot) {
    char16_t buffer[kSettingsStringChars];
    settings_read_string(reader, slot, buffer);
    return buffer;
}

void settings_read_long_string(const SettingsReader& reader, char16_t* buffer) {
    read_text(reader, kSettingsLongStringSlot, kLongStringBytes, buffer);
}

std::u16string settings_long_string(const SettingsReader& reader, int slot) {
    std::u16string buffer(kSettingsLongStringChars, u'\0');
    read_text(reader, slot, kLongStringBytes, &buffer[0]);
    return buffer.c_str();
}

bool settings_read_blob(const SettingsReader& reader, int slot, void* buffer, uint32_t capacity) {
    const SettingsEntry e = settings_entry(reader, slot);
    if (e.offset <= 1 || e.size < 0 || static_cast<uint32_t>(e.size) > capacity) return false;
    const uint8_t* p = slot_bytes(reader, e);
    if (!p) return false;
    if (e.size) std::memcpy(buffer, p, static_cast<size_t>(e.size));
    return true;
}

SettingsWriter settings_begin_write(const uint8_t* old_file, size_t size) {
    SettingsWriter writer;
    writer.ok = true;
    writer.directory.assign(kSettingsSlotCount, SettingsEntry{});
    writer.rewritten.assign(kSettingsSlotCount, 0);
    if (size > kSettingsFileLimit) size = kSettingsFileLimit;
    if (size >= 4 && static_cast<uint32_t>(read_i32(old_file)) == kSettingsMagic &&
        size >= kSettingsDataStart) {
        parse_directory(old_file, &writer.directory);
        writer.old_data.assign(old_file + kSettingsDataStart, old_file + size);
        writer.has_old_data = true;
    }
    // A short directory or a foreign file leaves every slot absent.
    return writer;
}

SettingsWriter settings_open_write(const std::u16string& path) {
    std::unique_lock<std::mutex> pass(g_write_pass);
    SettingsFileOps& ops = settings_file_ops();
    std::vector<uint8_t> bytes;
    const SettingsFileStatus status = read_whole_file(ops, path, &bytes);
    SettingsWriter writer;
    if (status == SettingsFileStatus::ok) {
        writer = settings_begin_write(bytes.data(), bytes.size());
    } else if (status == SettingsFileStatus::missing) {
        writer = settings_begin_write(nullptr, 0);
    } else {
        // The old file exists but cannot be read: writing now would lose every slot this pass
        // does not write itself.
        writer.directory.assign(kSettingsSlotCount, SettingsEntry{});
        writer.rewritten.assign(kSettingsSlotCount, 0);
        writer.ok = false;
    }
    writer.path = path;
    writer.pass = std::move(pass);
    return writer;
}

void settings_write_int(SettingsWriter& writer, int slot, int32_t value) {
    if (!writer.ok || !valid_slot(slot)) return;
    writer.directory[slot] = SettingsEntry{1, value};
    writer.rewritten[slot] = 1;
}

void settings_write_blob(SettingsWriter& writer, int slot, const void* bytes, uint32_t size) {
    if (!writer.ok || !valid_slot(slot)) return;
    writer.rewritten[slot] = 1;
    const uint64_t offset = kSettingsDataStart + static_cast<uint64_t>(writer.data.size());
    if (size == 0 || offset + size > kSettingsFileLimit) {
        // Nothing to keep, or no room for it: the slot reads back as its default.
        writer.directory[slot] = SettingsEntry{};
        return;
    }
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    writer.data.insert(writer.data.end(), p, p + size);
    writer.directory[slot] = SettingsEntry{static_cast<int32_t>(offset), static_cast<int32_t>(size)};
}

void settings_write_string(SettingsWriter& writer, int slot, const std::u16string& text) {
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    settings_write_blob(writer, slot, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void settings_write_string(SettingsWriter& writer, int slot, const char16_t* text) {
    settings_write_string(writer, slot, std::u16string(text ? text : u""));
}

std::vector<uint8_t> settings_build_image(SettingsWriter& writer) {
    // Old data slots that this pass left alone are carried over after the new ones. The copy
    // position comes from the old directory, so it is checked against the old data area.
    for (int s = 0; s < kSettingsSlotCount && writer.ok; ++s) {
        SettingsEntry& e = writer.directory[s];
        if (writer.rewritten[s] || e.offset <= 1) continue;
        const int64_t from = static_cast<int64_t>(e.offset) - kSettingsDataStart;
        const bool inside =
            writer.has_old_data && e.size > 0 && from >= 0 &&
            static_cast<uint64_t>(from) + static_cast<uint64_t>(e.size) <= writer.old_data.size();
        if (!inside) {
            e = SettingsEntry{};
            continue;
        }
        std::vector<uint8_t> copy(writer.old_data.begin() + from, writer.old_data.begin() + from + e.size);
        settings_write_blob(writer, s, copy.data(), static_cast<uint32_t>(copy.size()));
    }
    std::vector<uint8_t> image(kSettingsDataStart + writer.data.size());
    put_i32(image.data(), static_cast<int32_t>(kSettingsMagic));
    for (int s = 0; s < kSettingsSlotCount; ++s) {
        put_i32(image.data() + 4 + 8 * s, writer.directory[s].offset);
        put_i32(image.data() + 8 + 8 * s, writer.directory[s].size);
    }
    if (!writer.data.empty())
        std::memcpy(image.data() + kSettingsDataStart, writer.data.data(), writer.data.size());
    return image;
}

bool settings_close_write(SettingsWriter& writer) {
    bool written = false;
    if (writer.ok && !writer.path.empty()) {
        const std::vector<uint8_t> image = settings_build_image(writer);
        SettingsFileOps& ops = settings_file_ops();
        const std::u16string temp = writer.path + u".tmp";
        if (ops.write_new_file(temp, image.data(), image.size())) {
            std::vector<uint8_t> back;
            if (ops.read_file(temp, &back, kSettingsFileLimit) == SettingsFileStatus::ok && back == image) {
                // A reader of the other program may hold the old file for a moment.
                written = retry_while_busy(ops, [&] { return ops.replace_file(temp, writer.path); });
            }
        }
        if (!written) ops.delete_file(temp);
    }
    writer.ok = false;
    std::vector<uint8_t>().swap(writer.old_data);
    std::vector<uint8_t>().swap(writer.data);
    std::vector<SettingsEntry>().swap(writer.directory);
    if (writer.pass.owns_lock()) writer.pass.unlock();
    return written;
}
