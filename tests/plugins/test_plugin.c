/* A test import filter for the project's own trivial format (see CMakeLists.txt). One source
   gives four plug-ins:
     raw        reads the format at offset 0 and has a settings dialog;
     off128     reads it (magic "PX28") only behind a 128-byte prefix and insists on being told offset 128;
     fail       accepts files starting "PXFL" but then fails in GetPicture after allocating;
     notfilter  answers as an export filter, so the program must skip it. */
#include <string.h>
#include <windows.h>

#define EXPORT __declspec(dllexport)

#if defined(PX_PLUGIN_VARIANT_raw)
static const char* const kInfo[] = {
    "00IN", "raw test plug-in", "*.pxr;*.JPG;;*.PXR", "Raw test", "*.XYZ", "Xyz test", NULL};
static const char kMagic[4] = {'P', 'X', 'R', 'W'};
#define HEAD_OFFSET 0
#elif defined(PX_PLUGIN_VARIANT_off128)
static const char* const kInfo[] = {"00IN", "offset test plug-in", "*.px128;*.xyz", "Prefixed raw", NULL};
static const char kMagic[4] = {'P', 'X', '2', '8'};
#define HEAD_OFFSET 128
#elif defined(PX_PLUGIN_VARIANT_fail)
static const char* const kInfo[] = {"00IN", "failing test plug-in", "*.pxf", "Failing", NULL};
static const char kMagic[4] = {'P', 'X', 'F', 'L'};
#define HEAD_OFFSET 0
#else
static const char* const kInfo[] = {"00AM", "export filter", "*.nope", "Not an import filter", NULL};
static const char kMagic[4] = {'P', 'X', 'R', 'W'};
#define HEAD_OFFSET 0
#endif

static unsigned le32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | (unsigned)p[3] << 24;
}
static unsigned le16(const unsigned char* p) {
    return p[0] | p[1] << 8;
}

EXPORT int WINAPI GetPluginInfo(int number, LPSTR buffer, int length) {
    int n = 0;
    while (kInfo[n]) ++n;
    if (number < 0 || number >= n || length <= 0) return 0;
    lstrcpynA(buffer, kInfo[number], length);
    return lstrlenA(buffer);
}

EXPORT int WINAPI IsSupported(LPCSTR name, DWORD_PTR data) {
    const unsigned char* head = (const unsigned char*)data;
    (void)name;
    return head && memcmp(head, kMagic, 4) == 0;
}

/* Reads the whole file; the caller frees the result with HeapFree. */
static unsigned char* read_file(LPCSTR name, DWORD* size) {
    HANDLE f = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    unsigned char* data;
    DWORD got = 0;
    if (f == INVALID_HANDLE_VALUE) return NULL;
    *size = GetFileSize(f, NULL);
    data = (unsigned char*)HeapAlloc(GetProcessHeap(), 0, *size + 1);
    if (data && !ReadFile(f, data, *size, &got, NULL)) got = 0;
    CloseHandle(f);
    if (data && got != *size) {
        HeapFree(GetProcessHeap(), 0, data);
        data = NULL;
    }
    return data;
}

#pragma pack(push, 1)
typedef struct {
    long left, top, width, height;
    WORD x_density, y_density;
    short colour_depth;
    HLOCAL info_text;
} PictureInfo;
#pragma pack(pop)

EXPORT int WINAPI GetPictureInfo(LPCSTR name, LONG_PTR offset, unsigned flag, PictureInfo* info) {
    DWORD size = 0;
    unsigned char* data;
    const unsigned char* p;
    int result = 1;
    if (flag != 0 || offset != HEAD_OFFSET) return 2;
    data = read_file(name, &size);
    if (!data) return 1;
    p = data + offset;
    if (size >= (DWORD)offset + 24 && memcmp(p, kMagic, 4) == 0) {
        memset(info, 0, sizeof *info);
        info->width = (long)le32(p + 4);
        info->height = (long)le32(p + 8);
        info->colour_depth = (short)le16(p + 20);
        /* Text the caller must free, as real plug-ins hand it over. */
        info->info_text = GlobalAlloc(GMEM_FIXED, 16);
        result = 0;
    }
    HeapFree(GetProcessHeap(), 0, data);
    return result;
}

EXPORT int WINAPI GetPicture(LPCSTR name, LONG_PTR offset, unsigned flag, HLOCAL* info_out,
                             HLOCAL* pixels_out, FARPROC progress, LONG_PTR user) {
    DWORD size = 0;
    unsigned char* data;
    const unsigned char* p;
    unsigned width, bits, entries, flags, stride, rows, available;
    int height, adjust;
    long pixel_bytes;
    BITMAPINFOHEADER* header;
    unsigned char* out;
    (void)progress;
    (void)user;
    if (flag != 0 || offset != HEAD_OFFSET) return 2;
    data = read_file(name, &size);
    if (!data) return 1;
    p = data + offset;
    if (size < (DWORD)offset + 24 || memcmp(p, kMagic, 4) != 0) {
        HeapFree(GetProcessHeap(), 0, data);
        return 1;
    }
    width = le32(p + 4);
    height = (int)le32(p + 8);
    bits = le16(p + 12);
    entries = le16(p + 14);
    adjust = (int)le32(p + 16);
    flags = le16(p + 22);
    stride = ((width * bits + 31) / 32) * 4;
    rows = (unsigned)(height < 0 ? -height : height);
    pixel_bytes = (long)stride * rows + adjust;
    if (pixel_bytes < 1) pixel_bytes = 1;

    *info_out = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, sizeof(BITMAPINFOHEADER) + entries * 4);
    *pixels_out = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, (SIZE_T)pixel_bytes);
    if (!*info_out || !*pixels_out) {
        HeapFree(GetProcessHeap(), 0, data);
        return 4;
    }
    header = (BITMAPINFOHEADER*)LocalLock(*info_out);
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = (LONG)width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = (WORD)bits;
    header->biCompression = (flags & 1) ? BI_RLE8 : BI_RGB;
    header->biXPelsPerMeter = 2835;
    header->biYPelsPerMeter = 2835;
    header->biClrUsed = entries;
    if (size >= (DWORD)offset + 24 + entries * 4) memcpy(header + 1, p + 24, entries * 4);
    LocalUnlock(*info_out);

    out = (unsigned char*)LocalLock(*pixels_out);
    available = size - (DWORD)offset - 24 - entries * 4;
    if (size < (DWORD)offset + 24 + entries * 4) available = 0;
    memcpy(out, p + 24 + entries * 4, available < (unsigned)pixel_bytes ? available : (unsigned)pixel_bytes);
    LocalUnlock(*pixels_out);
    HeapFree(GetProcessHeap(), 0, data);
#if defined(PX_PLUGIN_VARIANT_fail)
    return 1;
#else
    return 0;
#endif
}

#if defined(PX_PLUGIN_VARIANT_raw)
/* No real dialog: the test sees that it was reached through the parent window's caption. */
EXPORT int WINAPI ConfigurationDlg(HWND parent, int function) {
    char text[32];
    wsprintfA(text, "configured %d", function);
    SetWindowTextA(parent, text);
    return 0;
}
#endif
