// The image windows' file list over the system: the tool window "ファイルリスト" with list box
// 703, the listing of the current folder, its rebuild on outside changes, and navigation.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "imagewin/core/image_file_list.h"

constexpr int kFileListBoxId = 703;
constexpr wchar_t kFileListClassName[] = L"Pexaron_list_class";

// Created hidden, owned by the image window; listed at once when an image is loaded.
HWND create_file_list_window();
LRESULT CALLBACK file_list_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;

// Lists `folder` anew under the process-wide lock and watches it for file-name changes. A
// folder that cannot be read leaves the list as it was.
void refresh_image_folder_list();
// Makes the list match the current path: another folder or an outside change rebuilds it,
// else only the current file is selected. An image without a path leaves the list alone.
void sync_image_folder_list();
// Beside the image window, inside the monitor's work area; shown when hidden.
void place_file_list_window();
// Opens the file clicked in the list unless it is the one on show.
void open_selected_list_file();

constexpr int32_t kNavigateNothing = 0;
constexpr int32_t kNavigateFailed = 1;  // the target did not load and left the list
constexpr int32_t kNavigateLoaded = 2;
// `kind`: kNavigateFirst, kNavigateLast, kNavigatePrevious or kNavigateNext.
int32_t navigate_file_list(int32_t kind);

// The list as the list box holds it.
const ImageFileList& image_file_list();
// Removes the current file's entry; the selection is then gone. Returns the removed index or -1.
int32_t remove_selected_list_entry();
// Selects no entry (an image pasted from the clipboard).
void clear_list_selection();
// The full path of an entry, built from `folder` (the current path is empty after a paste).
bool list_entry_full_path(int32_t index, std::u16string* path);
