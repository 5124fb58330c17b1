#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/core/key_table.h"
#include "shell/core/settings_groups.h"
#include "shell/core/settings_slots.h"
#include "shell/core/settings_store.h"

// Reads every kind of slot from an arbitrary file, loads the three groups and both key tables,
// then rewrites the file through the exit pass and checks that every data entry of the result
// lies inside it and that the groups read back as they were written.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SettingsReader r = settings_parse(data, size);
    char16_t text[kSettingsStringChars];
    static char16_t long_text[kSettingsLongStringChars];
    uint8_t blob[540];
    for (int slot = 0; slot < kSettingsSlotCount; slot += 7) {
        (void)settings_int(r, slot, 0);
        settings_read_string(r, slot, text);
        (void)settings_read_blob(r, slot, blob, sizeof blob);
    }
    settings_read_long_string(r, long_text);
    MainSettingsEnvironment env;
    env.work_area = ScreenRect{0, 0, 1024, 768};
    env.largest_square = 700;
    MainSettings main_settings;
    load_main_settings(r, env, &main_settings);
    SingleViewSettings view_settings;
    load_single_view_settings(r, WindowPlace{0, 0, 800, 600}, &view_settings);
    ConversionSettings conversion;
    load_conversion_settings(r, &conversion);
    KeyTable main_keys;
    load_main_key_table(r, &main_keys);
    KeyTable view_keys;
    load_view_key_table(r, &view_keys);

    SettingsWriter w = settings_begin_write(data, size);
    SettingsAtExit at_exit;
    at_exit.read = SettingsGroupsRead{true, size % 2 == 0, size % 3 == 0};
    at_exit.main = &main_settings;
    at_exit.main_keys = main_keys.entries;
    at_exit.single_view = &view_settings;
    at_exit.view_keys = view_keys.entries;
    at_exit.conversion = &conversion;
    write_settings_at_exit(w, at_exit);
    const std::vector<uint8_t> image = settings_build_image(w);
    SettingsReader back = settings_parse(image.data(), image.size());
    if (!back.ok) __builtin_trap();
    for (int slot = 0; slot < kSettingsSlotCount; ++slot) {
        const SettingsEntry e = settings_entry(back, slot);
        if (e.offset > 1 && (e.offset < static_cast<int32_t>(kSettingsDataStart) || e.size < 0 ||
                             static_cast<uint64_t>(e.offset) + static_cast<uint64_t>(e.size) > image.size()))
            __builtin_trap();
    }
    // Loading is a fixed point: what was loaded and written loads the same again.
    MainSettings main_again;
    load_main_settings(back, env, &main_again);
    if (main_again.thumb_width != main_settings.thumb_width ||
        main_again.tool_path[7] != main_settings.tool_path[7] ||
        main_again.presets[7].height != main_settings.presets[7].height)
        __builtin_trap();
    if (at_exit.read.conversion) {
        ConversionSettings conversion_again;
        load_conversion_settings(back, &conversion_again);
        if (conversion_again.comment != conversion.comment || conversion_again.history != conversion.history)
            __builtin_trap();
    }
    return 0;
}
