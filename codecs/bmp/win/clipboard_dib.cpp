#include "codecs/bmp/win/clipboard_dib.h"

#include <windows.h>

namespace {

void release_clipboard(BmpContext* context) {
    if (context->state.clipboard_data)
        GlobalUnlock(reinterpret_cast<HGLOBAL>(context->state.clipboard_memory));
    CloseClipboard();
}

}  // namespace

LoadedImage* read_clipboard_dib(BmpContext* context) {
    if (!IsClipboardFormatAvailable(CF_DIB)) return nullptr;
    if (!OpenClipboard(reinterpret_cast<HWND>(context->clipboard_owner))) return nullptr;
    context->state.release_clipboard = &release_clipboard;
    HANDLE memory = GetClipboardData(CF_DIB);
    context->state.clipboard_memory = reinterpret_cast<OsHandle>(memory);
    if (!memory) return nullptr;
    void* data = GlobalLock(memory);
    if (!data) return nullptr;
    context->state.clipboard_data = static_cast<const uint8_t*>(data);
    // The block's real size bounds every read: a header that promises more rows than the
    // block holds is refused instead of read past its end.
    const SIZE_T size = GlobalSize(memory);
    return parse_packed_dib(context, context->state.clipboard_data, size);
}

bool copy_dib_to_clipboard(BmpContext* context, const RgbQuad* palette, const uint8_t* pixels) {
    EmptyClipboard();
    bool placed = false;
    const uint64_t size = packed_dib_size(&context->conversion);
    if (size != 0 && pixels && (context->conversion.source_bits != 8 || palette)) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(size));
        if (memory) {
            void* block = GlobalLock(memory);
            if (block) {
                fill_packed_dib(context, palette, pixels, static_cast<uint8_t*>(block));
                GlobalUnlock(memory);
                placed = SetClipboardData(CF_DIB, memory) != nullptr;
            }
            // The clipboard owns the block only once it accepted it.
            if (!placed) GlobalFree(memory);
        }
    }
    CloseClipboard();
    return placed;
}
