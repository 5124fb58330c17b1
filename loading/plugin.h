// External image plug-ins (.spi libraries): import filters for the formats that no built-in
// reader handles. A library is loaded only for one operation; the one that decoded a picture
// stays loaded, with the two memory blocks it returned, until plugin_release_handles.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codecs/codec_context.h"

// The plug-ins are 32-bit Windows libraries with stdcall exports; natively (tests) the same
// signatures are plain functions.
#if defined(_WIN32) && !defined(_WIN64)
#define PX_PLUGIN_CALL __stdcall
#else
#define PX_PLUGIN_CALL
#endif

using PluginProgressFn = int32_t(PX_PLUGIN_CALL*)(int32_t num, int32_t denom, intptr_t data);
using GetPluginInfoFn = int32_t(PX_PLUGIN_CALL*)(int32_t info_number, char* buffer, int32_t buffer_length);
using IsSupportedFn = int32_t(PX_PLUGIN_CALL*)(const char* file_name, uintptr_t first_bytes);
using GetPictureInfoFn = int32_t(PX_PLUGIN_CALL*)(const char* file_name, intptr_t offset, uint32_t input_kind,
                                                  uint8_t* picture_info);
using GetPictureFn = int32_t(PX_PLUGIN_CALL*)(const char* file_name, intptr_t offset, uint32_t input_kind,
                                              OsHandle* info_memory, OsHandle* pixel_memory,
                                              PluginProgressFn progress, intptr_t user_data);
using ConfigurationDlgFn = int32_t(PX_PLUGIN_CALL*)(OsHandle parent, int32_t function);

// Limits of the plug-in interface.
constexpr int kPluginHeadBytes = 2176;  // first bytes handed to IsSupported
constexpr int kPluginSecondHeadOffset = 128;
constexpr int kPluginMaxPlugins = 100;
constexpr int kPluginMaxPatterns = 100;
constexpr int kPluginTextBytes = 260;
constexpr int kPluginMaxInfoBytes = 40 + 256 * 4;  // header and a full palette
constexpr int32_t kPluginMaxSide = 25000;
// The picture-info record is 26 packed bytes: left, top, width, height (32-bit), x and y
// density (16-bit), colour depth (16-bit signed), text-information handle (32-bit).
constexpr int kPictureInfoBytes = 26;
constexpr int kPictureInfoDepthOffset = 20;
constexpr int kPictureInfoTextOffset = 22;

struct PluginContext : CodecContext {
    OsHandle module = 0;
    OsHandle info_memory = 0;   // BITMAPINFO block returned by GetPicture
    OsHandle pixel_memory = 0;  // bottom-up rows returned by GetPicture
    int32_t head_offset = 0;    // 0 or 128: where the plug-in recognised the file

    void free_format_buffers() override;
};

// One plug-in's exports, looked up by name; any of them may be missing.
struct PluginExports {
    GetPluginInfoFn get_plugin_info = nullptr;
    IsSupportedFn is_supported = nullptr;
    GetPictureInfoFn get_picture_info = nullptr;
    GetPictureFn get_picture = nullptr;
    ConfigurationDlgFn configuration_dlg = nullptr;
};

// Lists the folder's "*.spi" files. With want_patterns the file patterns of the valid
// plug-ins are collected into `list` (lower case, built-in types and repeats left out, at
// most 100); otherwise the valid plug-ins' file names (at most 100). The record's module slot
// is used while each library is examined and is null again afterwards.
void plugin_scan_folder(std::vector<std::u16string>* list, PluginContext* record,
                        const std::u16string& folder, bool want_patterns);

// Adds the loaded plug-in's patterns (info numbers 2, 4, 6, ...) to `list`.
void plugin_collect_extensions(const PluginExports& exports, std::vector<std::u16string>* list);

// Splits one pattern text of a plug-in at ";" and adds each new non-built-in pattern in lower
// case; false once the list is full.
bool plugin_add_patterns(const char* text, std::vector<std::u16string>* list);

// Finds the plug-in for the file and decodes it into the record's loaded image (rows in plain
// memory when the record's in-memory flag is set, else a DIB section). Null on any failure;
// after a plug-in was chosen its module and memory stay in the record for the release.
LoadedImage* read_plugin_image(const std::u16string& path, const std::u16string& folder,
                               PluginContext* record);

// One plug-in's joined patterns (";" between) and descriptions ("/" between) for the options
// dialog; the outputs are left untouched when the plug-in gives no first pair.
void plugin_describe(std::u16string* patterns, std::u16string* description,
                     const std::u16string& plugin_path);

// Shows the plug-in's own settings dialog, when it has one; false when it has none.
bool plugin_open_configuration(const std::u16string& plugin_path, OsHandle parent_window);

// Unlocks and frees the pixel block, then the information block, then unloads the module.
void plugin_release_handles(PluginContext* record);

// Platform layer: library loading, local-memory blocks and the folder listing. Windows uses
// the system's loader; the native build serves registered in-process plug-ins so that the
// decoding rules run under the sanitizers.
OsHandle plugin_load_module(const std::u16string& path);
void plugin_unload_module(OsHandle module);
PluginExports plugin_module_exports(OsHandle module);
// Names (not paths) of the folder's files matching "*.spi", in the file system's order.
std::vector<std::u16string> plugin_list_folder(const std::u16string& folder);
bool plugin_folder_exists(const std::u16string& folder);
// The path in the system code page, at most 259 bytes plus the terminating zero.
std::string plugin_ansi_path(const std::u16string& path);
std::u16string plugin_text_to_wide(const char* text);
std::u16string plugin_lower_case(const std::u16string& text);
std::u16string plugin_join_path(const std::u16string& folder, const std::u16string& name);
// Local-memory blocks as plug-ins return them.
uint8_t* plugin_memory_lock(OsHandle block);
void plugin_memory_unlock(OsHandle block);
uint64_t plugin_memory_size(OsHandle block);
void plugin_memory_free(OsHandle block);
// The text-information handle of the picture-info record is global memory.
void plugin_global_free(OsHandle block);
