#include "loading/plugin.h"

#include <cstring>

#include "codecs/file_io.h"
#include "codecs/file_type.h"
#include "codecs/pixel_memory.h"

namespace {

uint32_t le32_at(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t le16_at(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// Asks for one info entry into a zeroed buffer; the text is cut at the buffer's last byte
// so that a plug-in that fills it without a terminating zero cannot run a reader off it.
int32_t plugin_info_text(const PluginExports& exports, int32_t number, char (&buffer)[kPluginTextBytes]) {
    std::memset(buffer, 0, sizeof buffer);
    const int32_t result = exports.get_plugin_info(number, buffer, kPluginTextBytes);
    buffer[kPluginTextBytes - 1] = 0;
    return result;
}

// The program shows no progress and never cancels a decode.
int32_t PX_PLUGIN_CALL plugin_progress(int32_t, int32_t, intptr_t) {
    return 0;
}

bool is_import_filter(const PluginExports& exports) {
    if (!exports.get_plugin_info) return false;
    char buffer[8] = {};
    exports.get_plugin_info(0, buffer, sizeof buffer);
    return buffer[0] == '0' && buffer[1] == '0' && buffer[2] == 'I' && buffer[3] == 'N';
}

// Reads the first bytes of the file into `head` (zero-filled beyond the file) and its size.
bool read_file_head(const std::u16string& path, uint8_t* head, uint32_t* file_bytes) {
    OsHandle file = file_open_read(path);
    if (file == kClosedFile) return false;
    uint64_t size = 0;
    if (file_size(file, &size))
        *file_bytes = size > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(size);
    uint32_t got = 0;
    uint32_t total = 0;
    while (total < static_cast<uint32_t>(kPluginHeadBytes)) {
        if (!file_read(file, head + total, kPluginHeadBytes - total, &got) || got == 0) break;
        total += got;
    }
    file_close(file);
    return total > 0;
}

// Loads the folder's plug-ins in listing order and keeps the first that accepts the file,
// at its start or from byte 128 on.
bool choose_plugin(const std::u16string& path, const std::u16string& folder, const uint8_t* head,
                   PluginContext* record, PluginExports* chosen) {
    std::vector<std::u16string> names;
    plugin_scan_folder(&names, record, folder, false);
    const std::string ansi = plugin_ansi_path(path);
    for (const std::u16string& name : names) {
        record->module = plugin_load_module(plugin_join_path(folder, name));
        if (!record->module) continue;
        const PluginExports exports = plugin_module_exports(record->module);
        if (exports.is_supported) {
            if (exports.is_supported(ansi.c_str(), reinterpret_cast<uintptr_t>(head)) != 0) {
                record->head_offset = 0;
                *chosen = exports;
                return true;
            }
            if (exports.is_supported(ansi.c_str(),
                                     reinterpret_cast<uintptr_t>(head + kPluginSecondHeadOffset)) != 0) {
                record->head_offset = kPluginSecondHeadOffset;
                *chosen = exports;
                return true;
            }
        }
        plugin_unload_module(record->module);
        record->module = 0;
    }
    return false;
}

}  // namespace

void PluginContext::free_format_buffers() {
    plugin_release_handles(this);
}

bool plugin_add_patterns(const char* text, std::vector<std::u16string>* list) {
    const char* p = text;
    while (*p) {
        const char* end = std::strchr(p, ';');
        const size_t length = end ? static_cast<size_t>(end - p) : std::strlen(p);
        if (length > 0) {
            const std::string part(p, length);
            std::u16string pattern = plugin_lower_case(plugin_text_to_wide(part.c_str()));
            if (pattern.size() > static_cast<size_t>(kPluginTextBytes - 1))
                pattern.resize(kPluginTextBytes - 1);
            bool known = detect_type_from_extension(pattern) != kFileUnknown;
            for (size_t i = 0; !known && i < list->size(); ++i) known = (*list)[i] == pattern;
            if (!known) {
                list->push_back(pattern);
                if (list->size() >= static_cast<size_t>(kPluginMaxPatterns)) return false;
            }
        }
        if (!end) break;
        p = end + 1;
    }
    return list->size() < static_cast<size_t>(kPluginMaxPatterns);
}

void plugin_collect_extensions(const PluginExports& exports, std::vector<std::u16string>* list) {
    if (!exports.get_plugin_info || list->size() >= static_cast<size_t>(kPluginMaxPatterns)) return;
    char buffer[kPluginTextBytes];
    // A plug-in that answers every number would otherwise keep the loop going for ever.
    for (int32_t number = 2; number <= 2 * kPluginMaxPatterns; number += 2) {
        if (plugin_info_text(exports, number, buffer) == 0) return;
        if (!plugin_add_patterns(buffer, list)) return;
    }
}

void plugin_scan_folder(std::vector<std::u16string>* list, PluginContext* record,
                        const std::u16string& folder, bool want_patterns) {
    int accepted = 0;
    for (const std::u16string& name : plugin_list_folder(folder)) {
        record->module = plugin_load_module(plugin_join_path(folder, name));
        if (!record->module) continue;
        const PluginExports exports = plugin_module_exports(record->module);
        const bool valid = is_import_filter(exports);
        if (valid) {
            ++accepted;
            if (want_patterns) {
                plugin_collect_extensions(exports, list);
            } else {
                list->push_back(name);
            }
        }
        plugin_unload_module(record->module);
        record->module = 0;
        if (want_patterns && list->size() >= static_cast<size_t>(kPluginMaxPatterns)) break;
        if (accepted >= kPluginMaxPlugins) break;
    }
}

LoadedImage* read_plugin_image(const std::u16string& path, const std::u16string& folder,
                               PluginContext* record) {
    uint8_t head[kPluginHeadBytes] = {};
    if (!read_file_head(path, head, &record->loaded.file_size)) return nullptr;
    PluginExports exports;
    if (!choose_plugin(path, folder, head, record, &exports)) return nullptr;
    const std::string ansi = plugin_ansi_path(path);

    // Room beyond the 26 packed bytes in case a plug-in writes a padded record.
    uint8_t picture_info[64] = {};
    int32_t depth = 0;
    if (exports.get_picture_info &&
        exports.get_picture_info(ansi.c_str(), record->head_offset, 0, picture_info) == 0) {
        const OsHandle text = static_cast<OsHandle>(le32_at(picture_info + kPictureInfoTextOffset));
        if (text) plugin_global_free(text);
        depth = static_cast<int16_t>(le16_at(picture_info + kPictureInfoDepthOffset));
    }

    if (!exports.get_picture) return nullptr;
    OsHandle info_block = 0;
    OsHandle pixel_block = 0;
    const int32_t status = exports.get_picture(ansi.c_str(), record->head_offset, 0, &info_block,
                                               &pixel_block, plugin_progress, 0);
    // Whatever the plug-in handed back is the record's to free, success or not.
    record->info_memory = info_block;
    record->pixel_memory = pixel_block;
    if (status != 0 || !info_block || !pixel_block) return nullptr;

    // Only the bytes the plug-in declared are ever read from its blocks.
    const uint64_t info_size = plugin_memory_size(info_block);
    const uint8_t* info = plugin_memory_lock(info_block);
    if (!info || info_size < 40) return nullptr;
    BitmapInfoHeader header;
    header.size = le32_at(info);
    header.width = static_cast<int32_t>(le32_at(info + 4));
    header.height = static_cast<int32_t>(le32_at(info + 8));
    header.planes = le16_at(info + 12);
    header.bit_count = le16_at(info + 14);
    header.compression = le32_at(info + 16);
    header.size_image = le32_at(info + 20);
    header.x_pels_per_meter = static_cast<int32_t>(le32_at(info + 24));
    header.y_pels_per_meter = static_cast<int32_t>(le32_at(info + 28));
    header.clr_used = le32_at(info + 32);
    header.clr_important = le32_at(info + 36);
    const int bits = header.bit_count;
    if (header.compression != kBiRgb || header.width < 1 || header.width > kPluginMaxSide ||
        header.height < 1 || header.height > kPluginMaxSide ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 24)) {
        return nullptr;
    }

    LoadedImage& image = record->loaded;
    image.info = header;
    std::memset(image.palette, 0, sizeof image.palette);
    const uint64_t info_copy =
        info_size < static_cast<uint64_t>(kPluginMaxInfoBytes) ? info_size : kPluginMaxInfoBytes;
    for (uint64_t i = 0; 40 + 4 * i + 4 <= info_copy; ++i) {
        const uint8_t* e = info + 40 + 4 * i;
        image.palette[i] = RgbQuad{e[0], e[1], e[2], e[3]};
    }
    image.source_bits = depth != 0 ? depth : bits;

    const uint64_t pixel_size = plugin_memory_size(pixel_block);
    const uint8_t* pixels = plugin_memory_lock(pixel_block);
    if (!pixels || pixel_size == 0) return nullptr;
    const int64_t needed = stride_for_depth(header.width, bits) * header.height;
    const uint64_t copy =
        pixel_size < static_cast<uint64_t>(needed) ? pixel_size : static_cast<uint64_t>(needed);
    if (!allocate_loaded_rows(record, needed)) {
        record->error = kCodecOk;  // plug-in failures carry no codec error
        return nullptr;
    }
    std::memcpy(image.pixels, pixels, static_cast<size_t>(copy));

    image.format = kFileUnknown;
    OsHandle file = file_open_read(path);
    if (file != kClosedFile) {
        FileTime time;
        if (file_last_write_time(file, &time)) image.last_write_time = time;
        file_close(file);
    }
    return &image;
}

void plugin_describe(std::u16string* patterns, std::u16string* description,
                     const std::u16string& plugin_path) {
    OsHandle module = plugin_load_module(plugin_path);
    if (!module) return;
    const PluginExports exports = plugin_module_exports(module);
    if (exports.get_plugin_info) {
        char pattern_text[kPluginTextBytes];
        char description_text[kPluginTextBytes];
        const int32_t have_pattern = plugin_info_text(exports, 2, pattern_text);
        const int32_t have_description = plugin_info_text(exports, 3, description_text);
        if (have_pattern != 0 && have_description != 0) {
            std::string joined_patterns = pattern_text;
            std::string joined_descriptions = description_text;
            // Running lengths as the fixed 260-byte texts of the dialog would hold them.
            size_t pattern_total = joined_patterns.size() + 1;
            size_t description_total = joined_descriptions.size() + 1;
            char buffer[kPluginTextBytes];
            for (int32_t number = 4;; number += 2) {
                if (plugin_info_text(exports, number, buffer) == 0) break;
                pattern_total += std::strlen(buffer) + 1;
                if (pattern_total > static_cast<size_t>(kPluginTextBytes - 1)) break;
                joined_patterns += ';';
                joined_patterns += buffer;
                if (plugin_info_text(exports, number + 1, buffer) == 0) break;
                description_total += std::strlen(buffer) + 1;
                if (description_total > static_cast<size_t>(kPluginTextBytes - 1)) break;
                joined_descriptions += '/';
                joined_descriptions += buffer;
            }
            *patterns = plugin_text_to_wide(joined_patterns.c_str());
            *description = plugin_text_to_wide(joined_descriptions.c_str());
            if (patterns->size() > static_cast<size_t>(kPluginTextBytes - 1))
                patterns->resize(kPluginTextBytes - 1);
            if (description->size() > static_cast<size_t>(kPluginTextBytes - 1)) {
                description->resize(kPluginTextBytes - 1);
            }
        }
    }
    plugin_unload_module(module);
}

bool plugin_open_configuration(const std::u16string& plugin_path, OsHandle parent_window) {
    OsHandle module = plugin_load_module(plugin_path);
    if (!module) return false;
    const PluginExports exports = plugin_module_exports(module);
    const bool has_dialog = exports.configuration_dlg != nullptr;
    if (has_dialog) exports.configuration_dlg(parent_window, 1);
    plugin_unload_module(module);
    return has_dialog;
}

void plugin_release_handles(PluginContext* record) {
    if (record->pixel_memory) {
        plugin_memory_unlock(record->pixel_memory);
        plugin_memory_free(record->pixel_memory);
        record->pixel_memory = 0;
    }
    if (record->info_memory) {
        plugin_memory_unlock(record->info_memory);
        plugin_memory_free(record->info_memory);
        record->info_memory = 0;
    }
    if (record->module) {
        plugin_unload_module(record->module);
        record->module = 0;
    }
}
