// The information list under the folder tree: the Exif summary of a JPEG entry or the text
// chunks of any other entry reported by a view.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstring>
#include <memory>
#include <vector>

#include "codecs/codec_context.h"
#include "codecs/file_type.h"
#include "codecs/jpeg/exif.h"
#include "codecs/png/png.h"
#include "common/win/process_lock.h"
#include "shell/core/folder_listing.h"
#include "shell/core/folder_tree_rules.h"
#include "shell/entry_points.h"
#include "shell/folder_tree.h"
#include "shell/shell_state.h"
#include "shell/shell_texts.h"
#include "shell/thumbnail_view.h"

namespace {

constexpr int kExifRows = 12;
constexpr int kExifTextChars = 64;
constexpr int kKeywordChars = kPngKeywordSlot - 1;
constexpr int kChunkTextChars = kPngTextSlot - 1;

struct InfoRow {
    std::wstring label;
    std::wstring value;
};

// An ANSI slot of the chunk list, at most `limit` bytes of it, in the system code page.
std::wstring from_ansi(const uint8_t* slot, int limit) {
    const int length =
        static_cast<int>(strnlen(reinterpret_cast<const char*>(slot), static_cast<size_t>(limit)));
    if (length == 0) return std::wstring();
    std::wstring out(static_cast<size_t>(length), L'\0');
    const int n =
        MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(slot), length, &out[0], length);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

bool read_exif_rows(const std::u16string& path, std::vector<InfoRow>* rows) {
    ExifSummary summary;
    std::memset(&summary, 0, sizeof summary);
    bool found = false;
    {
        ProcessLockGuard hold;
        auto context = std::make_unique<JpegReaderContext>();
        init_codec_context(context.get(), 0);
        found = jpeg_read_exif_file(path, context.get(), &summary);
        close_codec_files(context.get());
    }
    if (!found) return false;
    wchar_t texts[kExifRows][kExifTextChars] = {};
    if (shell_entry_points().format_exif_fields) shell_entry_points().format_exif_fields(&summary, texts);
    for (int i = 0; i < kExifRows; ++i) {
        texts[i][kExifTextChars - 1] = 0;
        rows->push_back({kInfoExifLabels[i], texts[i]});
    }
    return true;
}

void read_text_rows(const std::u16string& path, std::vector<InfoRow>* rows) {
    std::vector<uint8_t> buffer(kPngTextListBytes, 0);
    bool listed = false;
    {
        ProcessLockGuard hold;
        auto context = std::make_unique<PngContext>();
        init_codec_context(context.get(), 0);
        png_build_crc_table(context.get());
        listed = png_list_text_chunks(path, buffer.data(), context.get());
        close_codec_files(context.get());
    }
    if (!listed) return;
    const uint8_t* keywords = buffer.data();
    const uint8_t* texts = buffer.data() + kPngTextEntries * kPngKeywordSlot;
    for (int i = 0; i < kPngTextEntries; ++i) {
        const std::wstring keyword = from_ansi(keywords + i * kPngKeywordSlot, kKeywordChars);
        if (keyword.empty()) continue;
        rows->push_back({keyword, from_ansi(texts + i * kPngTextSlot, kChunkTextChars)});
    }
}

void insert_row(int index, const InfoRow& row) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(row.label.c_str());
    const int at = static_cast<int>(
        SendMessageW(g_shell.info_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (at < 0) return;
    item.iItem = at;
    item.iSubItem = 1;
    item.pszText = const_cast<wchar_t*>(row.value.c_str());
    SendMessageW(g_shell.info_list, LVM_SETITEMTEXTW, static_cast<WPARAM>(at),
                 reinterpret_cast<LPARAM>(&item));
}

}  // namespace

void show_file_info(int view, const FileEntry* entry) {
    if (!g_shell.info_list) return;
    SendMessageW(g_shell.info_list, LVM_DELETEALLITEMS, 0, 0);
    if (!entry || entry->load_info.text_count <= 0) return;
    wchar_t folder[MAX_PATH] = {};
    view_folder(view, folder);
    char16_t path[MAX_PATH];
    // A path too long for the buffer is not shortened into the name of another file.
    if (!join_folder_path(reinterpret_cast<const char16_t*>(folder), entry->name, path, MAX_PATH)) return;
    // The file is read under the lock; the list is filled after it is released.
    std::vector<InfoRow> rows;
    if (entry->load_info.format == kFileJpeg)
        read_exif_rows(path, &rows);
    else
        read_text_rows(path, &rows);
    for (size_t i = 0; i < rows.size(); ++i) insert_row(static_cast<int>(i), rows[i]);
}

void show_entry_info(int view, LPARAM entry) {
    show_file_info(view, reinterpret_cast<const FileEntry*>(entry));
}
