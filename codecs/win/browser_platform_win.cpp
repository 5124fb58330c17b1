// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <cstring>

#include "codecs/browser_load.h"
#include "codecs/codec_set.h"
#include "codecs/pixel_memory.h"

uint8_t* browser_resample_24(const uint8_t* rows, int32_t width, int32_t height, int32_t fitted_width,
                             int32_t fitted_height) {
    const int64_t stride = (3 * int64_t(fitted_width) + 3) & ~int64_t(3);
    uint8_t* out = alloc_pixels(stride * fitted_height);
    if (!out) return nullptr;
    HDC dc = reinterpret_cast<HDC>(g_codecs.memory_dc);
    HDC own_dc = nullptr;
    if (!dc) dc = own_dc = CreateCompatibleDC(nullptr);
    BITMAPINFO target = {};
    target.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    target.bmiHeader.biWidth = fitted_width;
    target.bmiHeader.biHeight = fitted_height;
    target.bmiHeader.biPlanes = 1;
    target.bmiHeader.biBitCount = 24;
    target.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = dc ? CreateDIBSection(dc, &target, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (!section) {
        if (own_dc) DeleteDC(own_dc);
        free_pixels(out);
        return nullptr;
    }
    HGDIOBJ old = SelectObject(dc, section);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    BITMAPINFO source = target;
    source.bmiHeader.biWidth = width;
    source.bmiHeader.biHeight = height;
    const int copied = StretchDIBits(dc, 0, 0, fitted_width, fitted_height, 0, 0, width, height, rows,
                                     &source, DIB_RGB_COLORS, SRCCOPY);
    GdiFlush();
    const bool drawn = copied != 0 && copied != static_cast<int>(GDI_ERROR);
    if (drawn) std::memcpy(out, bits, static_cast<size_t>(stride * fitted_height));
    SelectObject(dc, old);
    DeleteObject(section);
    if (own_dc) DeleteDC(own_dc);
    if (!drawn) {
        free_pixels(out);
        return nullptr;
    }
    return out;
}

bool browser_recycle_file(const std::u16string& path) {
    // The shell wants a double-zero-terminated list.
    std::u16string list = path;
    list.push_back(u'\0');
    list.push_back(u'\0');
    SHFILEOPSTRUCTW op = {};
    // No image window hands its frame over here: the bin operation runs without an owner.
    op.hwnd = nullptr;
    op.wFunc = FO_DELETE;
    op.pFrom = reinterpret_cast<const wchar_t*>(list.c_str());
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted;
}

void browser_show_wait_cursor(bool waiting) {
    SetCursor(LoadCursorW(nullptr, waiting ? IDC_WAIT : IDC_ARROW));
}
