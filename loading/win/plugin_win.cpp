// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <shlwapi.h>
// clang-format on

#include <cstring>

#include "loading/plugin.h"

namespace {

const wchar_t* wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
HMODULE as_module(OsHandle h) {
    return reinterpret_cast<HMODULE>(h);
}
HLOCAL as_local(OsHandle h) {
    return reinterpret_cast<HLOCAL>(h);
}

template <typename Fn>
Fn find_export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

OsHandle plugin_load_module(const std::u16string& path) {
    // A broken plug-in must not bring up the system's "cannot load" box in the middle of a
    // folder listing.
    const UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryW(wide(path));
    SetErrorMode(old_mode);
    return reinterpret_cast<OsHandle>(module);
}

void plugin_unload_module(OsHandle module) {
    if (module) FreeLibrary(as_module(module));
}

PluginExports plugin_module_exports(OsHandle module) {
    PluginExports e;
    HMODULE m = as_module(module);
    e.get_plugin_info = find_export<GetPluginInfoFn>(m, "GetPluginInfo");
    e.is_supported = find_export<IsSupportedFn>(m, "IsSupported");
    e.get_picture_info = find_export<GetPictureInfoFn>(m, "GetPictureInfo");
    e.get_picture = find_export<GetPictureFn>(m, "GetPicture");
    e.configuration_dlg = find_export<ConfigurationDlgFn>(m, "ConfigurationDlg");
    return e;
}

std::vector<std::u16string> plugin_list_folder(const std::u16string& folder) {
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wide(plugin_join_path(folder, u"*.spi")), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        names.emplace_back(reinterpret_cast<const char16_t*>(found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

bool plugin_folder_exists(const std::u16string& folder) {
    return !folder.empty() && PathIsDirectoryW(wide(folder)) != FALSE;
}

namespace {

// False when the name does not fit or a character has no equivalent in the code page.
bool to_ansi(const wchar_t* path, char (&buffer)[MAX_PATH]) {
    BOOL lossy = FALSE;
    std::memset(buffer, 0, sizeof buffer);
    return WideCharToMultiByte(CP_ACP, 0, path, -1, buffer, MAX_PATH, nullptr, &lossy) != 0 && !lossy;
}

}  // namespace

std::string plugin_ansi_path(const std::u16string& path) {
    char buffer[MAX_PATH];
    if (to_ansi(wide(path), buffer)) return std::string(buffer);
    // The plug-ins take code-page names only: a name the code page cannot spell is handed
    // over in its short form, and otherwise empty rather than garbled, so that no plug-in
    // opens some other file.
    wchar_t short_path[MAX_PATH] = {};
    const DWORD n = GetShortPathNameW(wide(path), short_path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || !to_ansi(short_path, buffer)) return std::string();
    return std::string(buffer);
}

std::u16string plugin_text_to_wide(const char* text) {
    wchar_t buffer[MAX_PATH] = {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, MAX_PATH);
    if (n == 0) {
        // Too long: keep what fits.
        MultiByteToWideChar(CP_ACP, 0, text, MAX_PATH - 1, buffer, MAX_PATH - 1);
        buffer[MAX_PATH - 1] = 0;
    }
    return std::u16string(reinterpret_cast<const char16_t*>(buffer));
}

std::u16string plugin_lower_case(const std::u16string& text) {
    std::u16string lower = text;
    if (!lower.empty())
        CharLowerBuffW(reinterpret_cast<wchar_t*>(&lower[0]), static_cast<DWORD>(lower.size()));
    return lower;
}

std::u16string plugin_join_path(const std::u16string& folder, const std::u16string& name) {
    std::u16string path = folder;
    if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path += u'\\';
    return path + name;
}

uint8_t* plugin_memory_lock(OsHandle block) {
    return static_cast<uint8_t*>(LocalLock(as_local(block)));
}

void plugin_memory_unlock(OsHandle block) {
    LocalUnlock(as_local(block));
}

uint64_t plugin_memory_size(OsHandle block) {
    return LocalSize(as_local(block));
}

void plugin_memory_free(OsHandle block) {
    LocalFree(as_local(block));
}

void plugin_global_free(OsHandle block) {
    GlobalFree(reinterpret_cast<HGLOBAL>(block));
}
