// The folder refresh and thumbnail build of the two views, run on each view's own thread when
// it receives the refresh message.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/win_types.h"

// Lists the view's folder, builds its thumbnails and writes the cache; 0 when done, 311 or 312
// when a clear or close request ended it (the view is then cleared, and closed for 312).
int refresh_view_1();
int refresh_view_2();

// Makes the thumbnails of `names` (in listing order, with the last-write times the listing
// found) into the view's published entries.
int build_thumbnails_1(int32_t* failed, uint8_t* save_needed, const std::u16string& folder,
                       const std::vector<std::u16string>& names, const std::vector<FileTime>& times);
int build_thumbnails_2(int32_t* failed, uint8_t* save_needed, const std::u16string& folder,
                       const std::vector<std::u16string>& names, const std::vector<FileTime>& times);

// Serves the view's waiting messages that keep it usable during a build and drops the others;
// 0 when none of interest remains, else the clear (311) or close (312) code that arrived.
int pump_view_messages_1();
int pump_view_messages_2();
// The same over the messages of `frame` and its children, handing 300, 302 and 304 to `view`.
int pump_view_messages_for(int view, HWND frame);

// The decode of one file for its thumbnail, under the process-wide lock; tests count or fail
// decodes through it. Null restores the loader's; returns the previous one.
using ThumbnailDecoder = bool (*)(const std::u16string& path);
ThumbnailDecoder set_thumbnail_decoder(ThumbnailDecoder decoder);
bool decode_thumbnail_file(const std::u16string& path);
