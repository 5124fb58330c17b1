// Settings kept in a plain struct and described by a static table: each row names a slot, the
// field that holds it, its default and its limits. One call reads every row from a settings
// reader (or the file) and one writes them back, so a tool or dialog never touches the store's
// directory itself.
//
//     struct BrushSettings { int32_t size; int32_t opacity; int32_t colour; };
//     constexpr SettingsSlot<BrushSettings> kBrushSlots[] = {
//         {317, &BrushSettings::size, 24, 3, 128},                 // clamped to 3 ... 128
//         {318, &BrushSettings::opacity, 50, 0, 100},
//         {319, &BrushSettings::colour, 0xFFFFFF, SlotRule::colour},
//     };
//     load_settings_file(path, kBrushSlots, &settings);
//     (void)save_settings_file(path, kBrushSlots, settings);
//
// A field is a pointer to member, or, for an array element or a nested field, a generic lambda
// `[](auto& s) -> decltype(auto) { return (s.place.left); }` (the same lambda serves loading
// and saving; without the parentheses it returns a copy and the table does not compile). A
// lambda that also takes an `int` gets the row's index, so one lambda serves a whole array:
// `{49, {wheel, 0}, 0}`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "shell/core/settings_store.h"

// How a slot's stored value becomes a setting. A missing slot, or one of the wrong kind, always
// gives the default; the rule applies to the default as well as to a stored value.
enum class SlotRule : uint8_t {
    value,             // the stored integer as it is
    flag,              // bit 0
    colour,            // the low 24 bits, 0x00BBGGRR
    low16,             // the low 16 bits
    clamp,             // clamped to low ... high
    in_range,          // a value outside low ... high gives the default
    bits,              // 1 to 8 or 24; anything else gives the default
    quality,           // the default (4, halftone) when stored as it, else 3 (fast)
    computed,          // the owner's loader works the value out (its default or limits depend on the
                       // screen or on other slots); the table only gives the default and writes it back
    text,              // a string of up to 259 characters; empty (absent, wrong kind or too long) gives
                       // the row's text default when it has one
    text_unless_read,  // the same, but the text default only when no settings file was read:
                       // a readable file's empty slot stays empty
    long_text,         // a string of up to 10,000 characters, else empty
    text_list,         // `count` string slots from the first, read up to the first empty one; all
                       // `count` are written, the unused ones empty
};

// A stored integer (present or not) through a slot's rule; `computed` slots give `fallback`.
int32_t apply_slot_rule(SlotRule rule, bool present, int32_t stored, int32_t fallback, int32_t low,
                        int32_t high);

// Where a row's value lives in the settings struct `S`.
template <typename S, typename T>
class SlotField {
public:
    constexpr SlotField() = default;
    constexpr SlotField(T S::*member) : member_(member) {}
    template <typename F, std::enable_if_t<std::is_convertible_v<F, T& (*)(S&)>, int> = 0>
    constexpr SlotField(F accessor)
        : get_(accessor), read_(checked_read<F, const T& (*)(const S&)>(accessor)) {}
    template <typename F, std::enable_if_t<std::is_convertible_v<F, T& (*)(S&, int)>, int> = 0>
    constexpr SlotField(F accessor, int index)
        : get_at_(accessor),
          read_at_(checked_read<F, const T& (*)(const S&, int)>(accessor)),
          index_(index) {}

    constexpr explicit operator bool() const { return member_ || get_ || get_at_; }
    T& operator()(S& s) const { return member_ ? s.*member_ : get_ ? get_(s) : get_at_(s, index_); }
    const T& operator()(const S& s) const {
        return member_ ? s.*member_ : read_ ? read_(s) : read_at_(s, index_);
    }

private:
    template <typename F, typename Read>
    static constexpr Read checked_read(F accessor) {
        static_assert(std::is_convertible_v<F, Read>,
                      "a settings field accessor must take `auto&` so that it also reads a const struct");
        return accessor;
    }

    T S::*member_ = nullptr;
    T& (*get_)(S&) = nullptr;
    const T& (*read_)(const S&) = nullptr;
    T& (*get_at_)(S&, int) = nullptr;
    const T& (*read_at_)(const S&, int) = nullptr;
    int index_ = 0;
};

template <typename S>
struct SettingsSlot {
    int16_t slot = 0;
    SlotRule rule = SlotRule::value;
    int32_t fallback = 0;
    int32_t low = 0;
    int32_t high = 0;
    SlotField<S, int32_t> number;
    SlotField<S, std::u16string> text;
    SlotField<S, std::vector<std::u16string>> list;
    int16_t count = 1;  // slots the row takes: 1, or the length of a text list
    const char16_t* text_fallback = nullptr;

    // An integer with a rule that needs no limits.
    constexpr SettingsSlot(int slot_number, SlotField<S, int32_t> field, int32_t default_value,
                           SlotRule slot_rule = SlotRule::value)
        : slot(static_cast<int16_t>(slot_number)), rule(slot_rule), fallback(default_value), number(field) {}
    // An integer limited to low ... high: clamped unless the rule says otherwise.
    constexpr SettingsSlot(int slot_number, SlotField<S, int32_t> field, int32_t default_value,
                           int32_t low_limit, int32_t high_limit, SlotRule slot_rule = SlotRule::clamp)
        : slot(static_cast<int16_t>(slot_number)),
          rule(slot_rule),
          fallback(default_value),
          low(low_limit),
          high(high_limit),
          number(field) {}
    constexpr SettingsSlot(int slot_number, SlotField<S, std::u16string> field,
                           const char16_t* default_text = nullptr, SlotRule slot_rule = SlotRule::text)
        : slot(static_cast<int16_t>(slot_number)),
          rule(slot_rule),
          text(field),
          text_fallback(default_text) {}
    constexpr SettingsSlot(int first_slot, SlotField<S, std::vector<std::u16string>> field, int slot_count)
        : slot(static_cast<int16_t>(first_slot)),
          rule(SlotRule::text_list),
          list(field),
          count(static_cast<int16_t>(slot_count)) {}
};

// The rows' non-template work.
// True when the reader found the file, or found none (the rows then hold their defaults): only a
// file that exists but stayed busy or failed to read was not read.
bool settings_file_was_read(const SettingsReader& reader);
int32_t read_slot_number(const SettingsReader& reader, int slot, SlotRule rule, int32_t fallback, int32_t low,
                         int32_t high);
std::u16string read_slot_text(const SettingsReader& reader, int slot, SlotRule rule,
                              const char16_t* fallback);
std::vector<std::u16string> read_slot_text_list(const SettingsReader& reader, int first, int count);
void write_slot_text_list(SettingsWriter& writer, int first, int count,
                          const std::vector<std::u16string>& items);

// Every row of the table into `out`; fields that no row names are left as they are.
template <typename S>
void load_settings_slots(const SettingsReader& reader, const SettingsSlot<S>* table, size_t rows, S* out) {
    for (size_t i = 0; i < rows; ++i) {
        const SettingsSlot<S>& e = table[i];
        if (e.number)
            e.number(*out) = read_slot_number(reader, e.slot, e.rule, e.fallback, e.low, e.high);
        else if (e.text)
            e.text(*out) = read_slot_text(reader, e.slot, e.rule, e.text_fallback);
        else if (e.list)
            e.list(*out) = read_slot_text_list(reader, e.slot, e.count);
    }
}

// Every row of the table, in table order (the order decides where strings land in the file).
template <typename S>
void save_settings_slots(SettingsWriter& writer, const SettingsSlot<S>* table, size_t rows, const S& in) {
    for (size_t i = 0; i < rows; ++i) {
        const SettingsSlot<S>& e = table[i];
        if (e.number)
            settings_write_int(writer, e.slot, e.number(in));
        else if (e.text)
            settings_write_string(writer, e.slot, e.text(in));
        else if (e.list)
            write_slot_text_list(writer, e.slot, e.count, e.list(in));
    }
}

template <typename S, size_t N>
void load_settings_slots(const SettingsReader& reader, const SettingsSlot<S> (&table)[N], S* out) {
    load_settings_slots(reader, table, N, out);
}

template <typename S>
void load_settings_slots(const SettingsReader& reader, const std::vector<SettingsSlot<S>>& table, S* out) {
    load_settings_slots(reader, table.data(), table.size(), out);
}

template <typename S, size_t N>
void save_settings_slots(SettingsWriter& writer, const SettingsSlot<S> (&table)[N], const S& in) {
    save_settings_slots(writer, table, N, in);
}

template <typename S>
void save_settings_slots(SettingsWriter& writer, const std::vector<SettingsSlot<S>>& table, const S& in) {
    save_settings_slots(writer, table.data(), table.size(), in);
}

// Reads the table's rows from the settings file at `path` and closes it at once. Without a
// readable file every row takes its default. False when the file exists but stayed busy or
// failed to read.
template <typename S, size_t N>
bool load_settings_file(const std::u16string& path, const SettingsSlot<S> (&table)[N], S* out) {
    SettingsReader reader = settings_open_read(path);
    load_settings_slots(reader, table, out);
    const bool read = settings_file_was_read(reader);
    settings_close_read(reader);
    return read;
}

// Writes the table's rows into the settings file at `path`, keeping every other slot. False
// (and the file as it was) when the file could not be read or written.
template <typename S, size_t N>
[[nodiscard]] bool save_settings_file(const std::u16string& path, const SettingsSlot<S> (&table)[N],
                                      const S& in) {
    SettingsWriter writer = settings_open_write(path);
    if (writer.ok) save_settings_slots(writer, table, in);
    return settings_close_write(writer);
}
