// The user-editable keyboard shortcuts: a fixed list of commands, each with the key bound to
// it. The stored form is the list of 6-byte accelerator entries as the system lays them out.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shell/core/settings_store.h"

// Accelerator modifier bits.
constexpr uint8_t kFVirtKey = 0x01;
constexpr uint8_t kFShift = 0x04;
constexpr uint8_t kFControl = 0x08;
constexpr uint8_t kFAlt = 0x10;

struct KeyEntry {
    uint8_t fVirt = 0;
    uint16_t key = 0;  // virtual-key code; 0 means the command has no key
    uint16_t cmd = 0;
};

constexpr int kMainKeyCount = 60;
constexpr int kViewKeyCount = 90;
constexpr int kKeyEntryBytes = 6;
constexpr int kMainKeySlot = 137;
constexpr int kViewKeySlot = 138;

struct KeyTable {
    int count = 0;
    KeyEntry entries[kViewKeyCount];
};

void fill_default_main_keys(KeyEntry* table);  // 60 entries
void fill_default_view_keys(KeyEntry* table);  // 90 entries

// For each table entry, the first stored entry with the same command sets its key; Alt and
// key codes above 0xFF never survive. Commands absent from the stored list keep their key.
void merge_stored_keys(KeyEntry* table, int count, const uint8_t* stored, size_t stored_count);

// Defaults merged with slot 137 (a data slot of at most 360 bytes that reads whole).
void load_main_key_table(const SettingsReader& reader, KeyTable* table);
// Defaults merged with slot 138 (a blob of at most 540 bytes).
void load_view_key_table(const SettingsReader& reader, KeyTable* table);

void encode_key_entries(const KeyEntry* entries, int count, uint8_t* out);
void decode_key_entries(const uint8_t* bytes, int count, KeyEntry* out);
void store_key_table(SettingsWriter& writer, int slot, const KeyEntry* entries, int count);

// The image windows' accelerator table: the 90 image-window entries, then the main table's
// entries 28-35 (the external tools 1-8), so that the tools run from the image windows too.
constexpr int kImageAcceleratorCount = kViewKeyCount + 8;
constexpr int kFirstToolKeyIndex = 28;
void compose_image_accelerators(const KeyEntry* view_entries, const KeyEntry* main_entries,
                                KeyEntry* out /* kImageAcceleratorCount */);

// The command's name in the key customisation list, in table order.
const char16_t* main_key_name(int index);

// The texts the key lists and tooltips show. Indexed by the accelerator's fVirt byte, only the
// three modifier combinations have a name; by the virtual-key code, codes without a name give
// the empty string.
const char16_t* modifier_name(uint8_t fVirt);
const char16_t* key_name(uint16_t key);
