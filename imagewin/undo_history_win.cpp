#include "imagewin/undo_history_win.h"

#include <windows.h>

#include <cstring>

#include "codecs/file_type.h"
#include "common/win/error_message.h"
#include "imagewin/edit_state.h"

namespace {

HANDLE as_handle(OsHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

OsHandle from_handle(HANDLE h) {
    return h == INVALID_HANDLE_VALUE ? kClosedFile : reinterpret_cast<OsHandle>(h);
}

const wchar_t* wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

class SystemUndoFileOps : public UndoFileOps {
public:
    bool create_temp_file(std::u16string* path) override {
        wchar_t folder[MAX_PATH + 1] = {};
        const DWORD n = GetTempPathW(MAX_PATH, folder);
        if (n == 0 || n > MAX_PATH) return false;
        wchar_t name[MAX_PATH] = {};
        if (!GetTempFileNameW(folder, L"tmp", 0, name)) return false;
        *path = reinterpret_cast<const char16_t*>(name);
        return true;
    }

    OsHandle open_write(const std::u16string& path) override {
        return from_handle(CreateFileW(wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_TEMPORARY, nullptr));
    }

    bool write(OsHandle file, const void* data, uint32_t size) override {
        DWORD written = 0;
        return WriteFile(as_handle(file), data, size, &written, nullptr) && written == size;
    }

    OsHandle open_read(const std::u16string& path) override {
        return from_handle(CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    }

    bool size(OsHandle file, uint64_t* size) override {
        DWORD high = 0;
        const DWORD low = GetFileSize(as_handle(file), &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
        *size = (uint64_t(high) << 32) | low;
        return true;
    }

    bool read(OsHandle file, void* buffer, uint32_t size, uint32_t* got) override {
        DWORD n = 0;
        const BOOL ok = ReadFile(as_handle(file), buffer, size, &n, nullptr);
        *got = n;
        return ok != FALSE;
    }

    void close(OsHandle file) override {
        if (file != kClosedFile) CloseHandle(as_handle(file));
    }

    void delete_file(const std::u16string& path) override { DeleteFileW(wide(path)); }
};

SystemUndoFileOps g_system_ops;

StepImage shown_step_image() {
    const EditState& s = g_edit_state;
    StepImage step;
    step.header.width = s.image.width;
    step.header.height = s.image.height;
    step.header.bit_count = s.image.bit_count;
    step.palette = s.image.palette;
    step.bits = s.bits;
    return step;
}

}  // namespace

UndoFileOps& system_undo_file_ops() {
    return g_system_ops;
}

bool history_push_step(const char16_t* step_name) {
    EditState& s = g_edit_state;
    if (!edit_image_loaded()) return false;
    const UndoResult result = history_push_step(s.history, shown_step_image(), step_name);
    if (result == UndoResult::ok) return true;
    report_view_error(s.image_window, undo_error_box_code(result));
    return false;
}

bool history_move(int32_t delta, bool* size_changed) {
    EditState& s = g_edit_state;
    *size_changed = false;
    StepHeader shown;
    shown.width = s.image.width;
    shown.height = s.image.height;
    shown.bit_count = s.image.bit_count;
    HBITMAP bitmap = nullptr;
    // The rows are read straight into the DIB section that becomes the image.
    const StepRowsAllocator allocate = [&](const StepHeader& h, const RgbQuad* palette) -> uint8_t* {
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD colours[256];
        } info = {};
        info.header.biSize = sizeof info.header;
        info.header.biWidth = h.width;
        info.header.biHeight = h.height;
        info.header.biPlanes = 1;
        info.header.biBitCount = WORD(h.bit_count);
        info.header.biCompression = BI_RGB;
        if (h.bit_count == 8) std::memcpy(info.colours, palette, sizeof info.colours);
        void* bits = nullptr;
        bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits,
                                  nullptr, 0);
        return bitmap ? static_cast<uint8_t*>(bits) : nullptr;
    };
    UndoMove move;
    const UndoResult result = history_move(s.history, delta, shown, allocate, &move);
    if (result != UndoResult::ok) {
        if (bitmap) DeleteObject(bitmap);
        const int code = undo_error_box_code(result);
        if (code >= 0) report_view_error(s.image_window, code);
        return false;
    }
    LoadedImage image = {};
    image.info.size = sizeof(BITMAPINFOHEADER);
    image.info.width = move.image.header.width;
    image.info.height = move.image.header.height;
    image.info.planes = 1;
    image.info.bit_count = uint16_t(move.image.header.bit_count);
    std::memcpy(image.palette, move.image.palette, sizeof image.palette);
    image.format = move.source_format;
    image.pixels = move.image.bits;
    image.bitmap = reinterpret_cast<OsHandle>(bitmap);
    image.file_size = move.file_size;
    image.source_bits = move.source_bits;
    image.info.x_pels_per_meter = s.image.x_resolution;
    image.info.y_pels_per_meter = s.image.y_resolution;
    (void)install_edit_image(image, false, !move.keep_selection);
    (void)take_format_flags(s.image);
    (void)set_current_image_info(image, nullptr, kHistoryLeave, nullptr, kResetAllSaveChoices);
    *size_changed = move.size_changed;
    return true;
}

void history_clear() {
    history_clear(g_edit_state.history, g_edit_state.image.source_format);
}
