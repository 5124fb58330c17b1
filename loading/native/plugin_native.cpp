// The native library loader: see plugin_native.h.
#include "loading/native/plugin_native.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "common/utf16.h"

namespace {

struct Block {
    std::vector<uint8_t> bytes;
};

std::map<std::u16string, PluginExports>& registry() {
    static std::map<std::u16string, PluginExports> r;
    return r;
}

// Handles are small numbers so that they fit the 32-bit handle field of the picture-info
// record, as real handles do in the 32-bit program.
std::vector<std::unique_ptr<Block>>& blocks() {
    static std::vector<std::unique_ptr<Block>> b;
    return b;
}

std::vector<std::unique_ptr<PluginExports>>& modules() {
    static std::vector<std::unique_ptr<PluginExports>> m;
    return m;
}

Block* block_of(OsHandle handle) {
    auto& b = blocks();
    if (handle <= 0 || static_cast<size_t>(handle) > b.size()) return nullptr;
    return b[handle - 1].get();
}

OsHandle new_block(const void* data, uint64_t size) {
    auto block = std::make_unique<Block>();
    block->bytes.assign(size, 0);
    if (data && size) std::copy_n(static_cast<const uint8_t*>(data), size, block->bytes.begin());
    auto& b = blocks();
    for (size_t i = 0; i < b.size(); ++i) {
        if (!b[i]) {
            b[i] = std::move(block);
            return static_cast<OsHandle>(i + 1);
        }
    }
    b.push_back(std::move(block));
    return static_cast<OsHandle>(b.size());
}

std::u16string file_name_of(const std::u16string& path) {
    const size_t slash = path.find_last_of(u"/\\");
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void plugin_native_register(const std::u16string& file_name, const PluginExports& exports) {
    registry()[file_name] = exports;
}

void plugin_native_clear_registry() {
    registry().clear();
}

OsHandle plugin_native_alloc(const void* data, uint64_t size) {
    return new_block(data, size);
}
OsHandle plugin_native_global_alloc(uint64_t size) {
    return new_block(nullptr, size);
}

int plugin_native_live_blocks() {
    int n = 0;
    for (auto& b : blocks()) n += b ? 1 : 0;
    return n;
}

int plugin_native_loaded_modules() {
    int n = 0;
    for (auto& m : modules()) n += m ? 1 : 0;
    return n;
}

OsHandle plugin_load_module(const std::u16string& path) {
    struct stat st;
    if (stat(utf16_to_utf8(path).c_str(), &st) != 0) return 0;
    auto it = registry().find(file_name_of(path));
    if (it == registry().end()) return 0;
    auto& m = modules();
    m.push_back(std::make_unique<PluginExports>(it->second));
    return static_cast<OsHandle>(m.size());
}

void plugin_unload_module(OsHandle module) {
    auto& m = modules();
    if (module > 0 && static_cast<size_t>(module) <= m.size()) m[module - 1].reset();
}

PluginExports plugin_module_exports(OsHandle module) {
    auto& m = modules();
    if (module <= 0 || static_cast<size_t>(module) > m.size() || !m[module - 1]) return PluginExports();
    return *m[module - 1];
}

std::vector<std::u16string> plugin_list_folder(const std::u16string& folder) {
    std::vector<std::u16string> names;
    DIR* dir = opendir(utf16_to_utf8(folder).c_str());
    if (!dir) return names;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > 4 &&
            compare_ascii_nocase(utf8_to_utf16(name.substr(name.size() - 4)), u".spi") == 0) {
            names.push_back(utf8_to_utf16(name));
        }
    }
    closedir(dir);
    return names;
}

bool plugin_folder_exists(const std::u16string& folder) {
    struct stat st;
    return !folder.empty() && stat(utf16_to_utf8(folder).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string plugin_ansi_path(const std::u16string& path) {
    const std::string text = utf16_to_utf8(path);
    return text.size() < 260 ? text : std::string();
}

std::u16string plugin_text_to_wide(const char* text) {
    std::u16string wide = utf8_to_utf16(text);
    if (wide.size() > 259) wide.resize(259);
    return wide;
}

std::u16string plugin_lower_case(const std::u16string& text) {
    std::u16string lower = text;
    for (char16_t& c : lower) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return lower;
}

std::u16string plugin_join_path(const std::u16string& folder, const std::u16string& name) {
    std::u16string path = folder;
    if (!path.empty() && path.back() != u'/' && path.back() != u'\\') path += u'/';
    return path + name;
}

uint8_t* plugin_memory_lock(OsHandle block) {
    Block* b = block_of(block);
    return b ? b->bytes.data() : nullptr;
}

void plugin_memory_unlock(OsHandle) {}

uint64_t plugin_memory_size(OsHandle block) {
    Block* b = block_of(block);
    return b ? b->bytes.size() : 0;
}

void plugin_memory_free(OsHandle block) {
    if (block_of(block)) blocks()[block - 1].reset();
}

void plugin_global_free(OsHandle block) {
    plugin_memory_free(block);
}
