#include "shell/core/settings_table.h"

namespace {

int32_t clamp(int32_t v, int32_t low, int32_t high) {
    return v < low ? low : v > high ? high : v;
}

}  // namespace

int32_t apply_slot_rule(SlotRule rule, bool present, int32_t stored, int32_t fallback, int32_t low,
                        int32_t high) {
    const int32_t v = present ? stored : fallback;
    switch (rule) {
        case SlotRule::flag: return v & 1;
        case SlotRule::colour: return v & 0xFFFFFF;
        case SlotRule::low16: return v & 0xFFFF;
        case SlotRule::clamp: return clamp(v, low, high);
        case SlotRule::in_range: return v < low || v > high ? fallback : v;
        case SlotRule::bits: return (v >= 1 && v <= 8) || v == 24 ? v : fallback;
        case SlotRule::quality: return v == fallback ? v : 3;
        case SlotRule::computed: return fallback;
        default: return v;
    }
}

bool settings_file_was_read(const SettingsReader& reader) {
    return reader.status == SettingsFileStatus::ok || reader.status == SettingsFileStatus::missing;
}

int32_t read_slot_number(const SettingsReader& reader, int slot, SlotRule rule, int32_t fallback, int32_t low,
                         int32_t high) {
    const SettingsEntry stored = settings_entry(reader, slot);
    return apply_slot_rule(rule, stored.offset == 1, stored.size, fallback, low, high);
}

std::u16string read_slot_text(const SettingsReader& reader, int slot, SlotRule rule,
                              const char16_t* fallback) {
    if (rule == SlotRule::long_text) return settings_long_string(reader, slot);
    std::u16string value = settings_string(reader, slot);
    const bool use_fallback = rule == SlotRule::text_unless_read ? !reader.ok : value.empty();
    if (use_fallback && fallback) value = fallback;
    return value;
}

std::vector<std::u16string> read_slot_text_list(const SettingsReader& reader, int first, int count) {
    std::vector<std::u16string> items;
    for (int i = 0; i < count; ++i) {
        std::u16string item = settings_string(reader, first + i);
        if (item.empty()) break;
        items.push_back(std::move(item));
    }
    return items;
}

void write_slot_text_list(SettingsWriter& writer, int first, int count,
                          const std::vector<std::u16string>& items) {
    for (int i = 0; i < count; ++i) {
        const size_t n = static_cast<size_t>(i);
        settings_write_string(writer, first + i, n < items.size() ? items[n] : std::u16string());
    }
}
