// The binary settings file: a magic word, a directory of 500 numbered slots and a data area.
// A slot is absent, an integer kept in the directory itself, or a run of bytes (a UTF-16
// string without terminator, or a blob) in the data area.
//
// Reading works on a copy of the file held in memory, so a damaged directory can never make a
// lookup touch anything outside the file. Writing builds the whole new file in memory and
// swaps it in through a temporary file beside the old one: the old file is never opened for
// writing, so a failed pass leaves it as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

constexpr uint32_t kSettingsMagic = 0x006401F4;  // low word: slot count, high word: 100
constexpr int kSettingsSlotCount = 500;
constexpr uint32_t kSettingsDirectoryBytes = 8 * kSettingsSlotCount;
constexpr uint32_t kSettingsDataStart = 4 + kSettingsDirectoryBytes;
// Larger files are damaged or foreign: only this much is read, the rest never referenced.
constexpr uint32_t kSettingsFileLimit = 16u << 20;
constexpr int kSettingsStringChars = 260;  // buffer of settings_read_string
constexpr int kSettingsLongStringSlot = 120;
constexpr int kSettingsLongStringChars = 10001;  // buffer of settings_read_long_string

// Directory entry: offset 0 absent, 1 integer (the value is `size`), above 1 a data slot.
struct SettingsEntry {
    int32_t offset = 0;
    int32_t size = 0;
};

enum class SettingsFileStatus {
    ok,
    missing,  // no such file: every setting takes its default
    busy,     // held by another writer or being swapped: worth another try
    failed,   // any other I/O error
};

// The file operations the store needs. The Windows shell installs its own (which tells a
// missing file from a busy one); tests install ones that fail on purpose.
class SettingsFileOps {
public:
    virtual ~SettingsFileOps() = default;
    // Reads at most `limit` bytes of the file into `bytes`.
    virtual SettingsFileStatus read_file(const std::u16string& path, std::vector<uint8_t>* bytes,
                                         uint32_t limit) = 0;
    // Creates (or truncates) the file and writes every byte, flushed; true only on success.
    virtual bool write_new_file(const std::u16string& path, const uint8_t* data, size_t size) = 0;
    // Replaces `target` by `source`; on failure the old target is untouched.
    virtual bool replace_file(const std::u16string& source, const std::u16string& target) = 0;
    virtual void delete_file(const std::u16string& path) = 0;
    virtual void pause_ms(uint32_t milliseconds) = 0;
};

// Operations over the portable file layer; they cannot tell a busy file from a missing one.
SettingsFileOps& portable_settings_file_ops();
// Replaces the operations in use (null restores the portable ones); returns the previous.
SettingsFileOps* set_settings_file_ops(SettingsFileOps* ops);
SettingsFileOps& settings_file_ops();

struct SettingsReader {
    SettingsFileStatus status = SettingsFileStatus::missing;
    // True only when the magic matched and the whole directory was present.
    bool ok = false;
    std::vector<uint8_t> file;
    std::vector<SettingsEntry> directory;  // kSettingsSlotCount entries when ok
};

// Reads the file, trying again for a while when it is busy.
SettingsReader settings_open_read(const std::u16string& path);
// The same over bytes already in memory (the fuzz target and tests start here).
SettingsReader settings_parse(const uint8_t* data, size_t size);
void settings_close_read(SettingsReader& reader);

// The directory entry of a slot; an absent entry for a reader that is not ok or a bad slot.
SettingsEntry settings_entry(const SettingsReader& reader, int slot);
// The stored integer when the slot holds one, else `fallback`.
int32_t settings_int(const SettingsReader& reader, int slot, int32_t fallback);

// A string of fewer than 520 bytes, terminated after size / 2 code units (an odd last byte is
// dropped); anything else gives the empty string. `buffer` holds kSettingsStringChars units.
void settings_read_string(const SettingsReader& reader, int slot, char16_t* buffer);
std::u16string settings_string(const SettingsReader& reader, int slot);
// Slot 120 with the bound of 20002 bytes; `buffer` holds kSettingsLongStringChars units.
void settings_read_long_string(const SettingsReader& reader, char16_t* buffer);
// Any slot under the same bound: up to kSettingsLongStringChars - 1 units, else empty.
std::u16string settings_long_string(const SettingsReader& reader, int slot);
// False when the slot holds no data, its size is negative or above `capacity`, or the bytes
// lie outside the file. A shorter blob fills the start of `buffer` and leaves the rest.
bool settings_read_blob(const SettingsReader& reader, int slot, void* buffer, uint32_t capacity);

struct SettingsWriter {
    bool ok = false;
    std::u16string path;
    std::vector<SettingsEntry> directory;  // in memory
    std::vector<uint8_t> rewritten;        // per slot: set by this pass, so old bytes are stale
    bool has_old_data = false;
    std::vector<uint8_t> old_data;      // the bytes after kSettingsDataStart of the old file
    std::vector<uint8_t> data;          // the new data area, appended to by each write
    std::unique_lock<std::mutex> pass;  // one writing pass at a time in this process
};

// Starts a pass over the file at `path`. Not ok when the file exists but cannot be read;
// callers then skip their writes and close.
SettingsWriter settings_open_write(const std::u16string& path);
// The same over the old file's bytes, with nothing on disk (tests and the fuzz target).
SettingsWriter settings_begin_write(const uint8_t* old_file, size_t size);

void settings_write_int(SettingsWriter& writer, int slot, int32_t value);
// An empty text is stored as an absent entry.
void settings_write_string(SettingsWriter& writer, int slot, const std::u16string& text);
void settings_write_string(SettingsWriter& writer, int slot, const char16_t* text);
void settings_write_blob(SettingsWriter& writer, int slot, const void* bytes, uint32_t size);

// Appends the old data slots this pass did not rewrite (in slot order, dropping any whose
// bytes lay outside the old data area) and returns the complete new file.
std::vector<uint8_t> settings_build_image(SettingsWriter& writer);
// Writes the new file beside the old one, reads it back, then swaps it in. False (and the old
// file untouched) when the writer was not ok or any step failed.
[[nodiscard]] bool settings_close_write(SettingsWriter& writer);
