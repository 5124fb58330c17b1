#include "imagewin/save_preview.h"

#include <windows.h>

#include <string>

#include "common/stride.h"
#include "common/win/error_message.h"
#include "imagewin/edit_state.h"
#include "imagewin/image_file_list_win.h"
#include "imagewin/image_view_win.h"
#include "imagewin/save_edit_image.h"
#include "imagewin/save_window_seam.h"

namespace {

struct DibInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};

}  // namespace

bool fit_preview_to_image_size() {
    EditState& s = g_edit_state;
    DIBSECTION decoded = {};
    if (!s.save_preview_bitmap ||
        GetObjectW(s.save_preview_bitmap, sizeof decoded, &decoded) != sizeof decoded)
        return false;
    const int32_t width = decoded.dsBmih.biWidth;
    const int32_t height = decoded.dsBmih.biHeight < 0 ? -decoded.dsBmih.biHeight : decoded.dsBmih.biHeight;
    const int32_t bits = decoded.dsBmih.biBitCount;
    if (width == s.image.width && height == s.image.height) return true;
    if ((bits != 8 && bits != 24) || !decoded.dsBm.bmBits) return false;

    DibInfo info = {};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = s.image.width;
    info.header.biHeight = s.image.height;
    info.header.biPlanes = 1;
    info.header.biBitCount = WORD(bits);
    info.header.biCompression = BI_RGB;
    if (bits == 8) {
        info.header.biClrUsed = GetDIBColorTable(s.save_preview_dc, 0, 256, info.colours);
        if (info.header.biClrUsed == 0) info.header.biClrUsed = 256;
    }
    void* rows = nullptr;
    HBITMAP canvas = CreateDIBSection(s.save_preview_dc, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                      &rows, nullptr, 0);
    if (!canvas || !rows) {
        if (canvas) DeleteObject(canvas);
        return false;
    }
    place_preview_rows(static_cast<const uint8_t*>(decoded.dsBm.bmBits), width, height,
                       static_cast<uint8_t*>(rows), s.image.width, s.image.height, bits);
    SelectObject(s.save_preview_dc, canvas);
    DeleteObject(s.save_preview_bitmap);
    s.save_preview_bitmap = canvas;
    return true;
}

void discard_save_preview() {
    EditState& s = g_edit_state;
    if (!s.save_preview_shown) return;
    if (s.save_preview_dc && s.save_preview_old_bitmap)
        SelectObject(s.save_preview_dc, s.save_preview_old_bitmap);
    if (s.save_preview_bitmap) DeleteObject(s.save_preview_bitmap);
    s.save_preview_bitmap = nullptr;
    s.save_preview_shown = false;
    s.save_preview_file_size = 0;
    repaint_edited_pane();
    if (!save_file_ops().delete_file(std::u16string(s.save_preview_temp_path)))
        report_save_error(kErrorTempFileDelete);
    s.save_preview_temp_path[0] = 0;
}

bool show_save_preview() {
    EditState& s = g_edit_state;
    if (save_preview_is_current()) return true;
    if (s.image_window) SetWindowTextW(s.image_window, L"wait...");
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    bool shown = false;
    if (write_temp_save_file()) {
        const std::u16string name(s.save_preview_temp_path);
        uint32_t size = 0;
        bool decoded = false;
        {
            SaveLockScope lock;
            if (!s.save_preview_dc) s.save_preview_dc = CreateCompatibleDC(nullptr);
            switch (s.save_record.preview_settings.stored.save_format) {
                case kSaveBmp: decoded = load_bmp_into_edit_state(name, &size); break;
                case kSavePng: decoded = load_png_into_edit_state(name, &size); break;
                case kSaveTiff: decoded = load_tiff_into_edit_state(name, &size); break;
                case kSaveGif: decoded = load_gif_into_edit_state(name, &size); break;
                case kSaveJpeg:
                case kSaveJpegLossless:
                    decoded = load_jpeg_into_edit_state(name, &size);
                    if (decoded && !fit_preview_to_image_size()) {
                        SelectObject(s.save_preview_dc, s.save_preview_old_bitmap);
                        DeleteObject(s.save_preview_bitmap);
                        s.save_preview_bitmap = nullptr;
                        decoded = false;
                    }
                    break;
                default: break;
            }
            if (decoded) {
                s.save_preview_shown = true;
                s.save_preview_file_size = size;
                shown = true;
            } else {
                report_save_error(kErrorImageDisplay);
            }
        }
        if (!shown) {
            (void)save_file_ops().delete_file(name);
            s.save_preview_temp_path[0] = 0;
        }
    }
    update_image_window_title();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    return shown;
}
