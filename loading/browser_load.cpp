#include "loading/browser_load.h"

#include <cstdlib>
#include <cstring>

#include "codecs/conversion.h"
#include "codecs/file_io.h"
#include "codecs/file_type.h"
#include "codecs/pixel_memory.h"
#include "kernels/geometry.h"
#include "loading/browser_load_jpeg.h"
#include "loading/codec_set.h"
#include "loading/plugin.h"

LoadResult g_load_result;
BrowserOptions g_browser_options;
PreviewImage g_preview;

namespace {

// The 44-byte header of a 24-bit image of the given size.
BitmapInfoHeader header_24(int32_t width, int32_t height) {
    BitmapInfoHeader h = {};
    h.size = 40;
    h.width = width;
    h.height = height;
    h.planes = 1;
    h.bit_count = 24;
    return h;
}

void publish_full_size(const LoadedImage* image) {
    g_load_result.full_width = image->info.width;
    g_load_result.full_height = image->info.height;
}

PluginContext* plugin_record() {
    static PluginContext fallback;
    return g_codecs.plugin ? g_codecs.plugin : &fallback;
}

ConversionContext* base_context() {
    static ConversionContext fallback;
    if (g_codecs.base) return g_codecs.base;
    init_conversion_context(&fallback);
    return &fallback;
}

// Round half away from zero of a / b for a >= 0, b > 0.
int32_t round_ratio(int64_t a, int64_t b) {
    return static_cast<int32_t>((2 * a + b) / (2 * b));
}

// Sets the JPEG box for the length of one load, so that a preview's or thumbnail's box never
// shrinks the decode of a later caller that wants the full image.
class JpegBoxScope {
public:
    JpegBoxScope(int32_t width, int32_t height)
        : width_(g_browser_options.jpeg_box_width), height_(g_browser_options.jpeg_box_height) {
        g_browser_options.jpeg_box_width = width;
        g_browser_options.jpeg_box_height = height;
    }
    ~JpegBoxScope() {
        g_browser_options.jpeg_box_width = width_;
        g_browser_options.jpeg_box_height = height_;
    }
    JpegBoxScope(const JpegBoxScope&) = delete;
    JpegBoxScope& operator=(const JpegBoxScope&) = delete;

private:
    int32_t width_;
    int32_t height_;
};

// A JPEG is read whole into one buffer kept from load to load rather than mapped: mapping and
// unmapping a view per file costs more than the copy (a fault on every page of the view, a
// server round trip each way under Wine), while the reused buffer stays in the page tables.
// Files above kBrowserReadBufferLimit are mapped, so the buffer never grows beyond it. Shared
// like every published record here, it is used only under the lock.
struct ReadBuffer {
    uint8_t* bytes = nullptr;
    uint64_t capacity = 0;
};
ReadBuffer g_read_buffer;

bool reserve_read_buffer(uint64_t size) {
    if (size <= g_read_buffer.capacity) return true;
    // Grown in whole megabytes, so that a folder of similar photos settles on one block.
    const uint64_t capacity = (size + 0xFFFFF) & ~uint64_t{0xFFFFF};
    uint8_t* bytes = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(capacity)));
    if (!bytes) return false;
    std::free(g_read_buffer.bytes);
    g_read_buffer.bytes = bytes;
    g_read_buffer.capacity = capacity;
    return true;
}

// Reads up to `size` bytes from the file's current position into `out`; the count read.
uint64_t read_up_to(OsHandle file, uint8_t* out, uint64_t size) {
    uint64_t total = 0;
    while (total < size) {
        const uint64_t left = size - total;
        uint32_t got = 0;
        if (!file_read(file, out + total, left > 0x40000000 ? 0x40000000u : static_cast<uint32_t>(left),
                       &got) ||
            got == 0)
            break;
        total += got;
    }
    return total;
}

// The opened file when it is a JPEG that fits the read buffer: its bytes are read into the
// buffer (unless the caller passed the data) and decoded from there. Null with *handled false
// when the file is to go the mapped way; *handled true once the JPEG reader ran.
LoadedImage* load_buffered_jpeg(OsHandle file, const uint8_t* data, uint32_t size, const std::u16string& path,
                                bool* handled) {
    *handled = false;
    uint64_t file_bytes = 0;
    if (!file_size(file, &file_bytes) || file_bytes < 2 || file_bytes > kBrowserReadBufferLimit)
        return nullptr;
    if (!reserve_read_buffer(data ? 2 : file_bytes)) return nullptr;
    uint8_t* bytes = g_read_buffer.bytes;
    // The first two bytes tell a JPEG from every other type.
    if (read_up_to(file, bytes, 2) != 2 || detect_file_type_bytes(bytes, 2) != kFileJpeg) return nullptr;
    *handled = true;
    if (data) return load_jpeg_bits_mapped(nullptr, data, size, path);
    const uint64_t got = 2 + read_up_to(file, bytes + 2, file_bytes - 2);
    return load_jpeg_bits_mapped(nullptr, bytes, static_cast<uint32_t>(got), path);
}

// The rows that shrink_loaded_image_to_box made: a block from alloc_thumbnail_bits, which the
// entry takes over as it is where a load's own rows are copied. Null while the current rows
// are a load's own.
uint8_t* g_fitted_rows = nullptr;

// Frees the image's rows by the routine that pairs with their allocation.
void free_current_rows(LoadedImage* image) {
    if (image->pixels && image->pixels == g_fitted_rows) {
        free_thumbnail_bits(image->pixels);
        image->pixels = nullptr;
        image->bitmap = 0;
        g_fitted_rows = nullptr;
        return;
    }
    free_loaded_image(image);
}

// Shrinks 24-bit rows into `out`, a block of the fitted size.
bool resample_24_into(const uint8_t* rows, int32_t width, int32_t height, int32_t fitted_width,
                      int32_t fitted_height, uint8_t* out) {
    // The kernels' area average rather than the display's halftone stretch: the same
    // thumbnail on every system, and under Wine the halftone stretch neither averages nor
    // keeps up with the scaled decode.
    DibPair pair;
    pair.width = width;
    pair.height = height;
    pair.source = rows;
    pair.destination = out;
    if (fitted_width == width && fitted_height == height) {
        std::memcpy(out, rows, static_cast<size_t>(stride_for_depth(width, 24) * height));
        return true;
    }
    return resize_pixels(pair, fitted_width, fitted_height);
}

}  // namespace

void prepare_plugin_record(PluginContext* record, uint8_t in_memory) {
    record->module = 0;
    record->info_memory = 0;
    record->pixel_memory = 0;
    std::memset(record->loaded.palette, 0, sizeof record->loaded.palette);
    record->in_memory = in_memory;
}

LoadedImage* load_plugin_bits(const std::u16string& path) {
    PluginContext* record = plugin_record();
    prepare_plugin_record(record, 1);
    LoadedImage* image = nullptr;
    const std::u16string& folder = g_browser_options.plugin_folder;
    if (!folder.empty() && plugin_folder_exists(folder)) image = read_plugin_image(path, folder, record);
    // The rows were copied out of the plug-in's blocks: nothing of the plug-in is kept.
    plugin_release_handles(record);
    if (image) publish_full_size(image);
    return image;
}

LoadedImage* load_image_24(const uint8_t* data, uint32_t size, const std::u16string& path, int32_t* loaded) {
    LoadResult& r = g_load_result;
    // The alpha word is cleared too: a stale flag of an earlier PNG must not mark this file.
    r.w1 = r.w2 = r.w3 = r.w4 = 0;
    FileTime time = {};
    bool have_time = false;
    LoadedImage* image = nullptr;
    bool buffered = false;
    // The file is opened once. A JPEG is decoded from the read buffer; everything else, and a
    // JPEG too large for the buffer, from a mapping of the same open file, which then serves
    // the type sniff, the reader and the file's time. A file that opens but does not map (an
    // empty one) is sniffed by reading, as the readers would then fail.
    MappedInput input;
    const OsHandle file = file_open_read(path);
    if (file == kClosedFile) return nullptr;
    image = load_buffered_jpeg(file, data, size, path, &buffered);
    if (buffered) {
        have_time = file_last_write_time(file, &time);
        file_close(file);
    } else {
        const bool mapped = input.adopt(file);
        have_time = input.last_write_time(&time);
        const MappedInput* view = mapped ? &input : nullptr;
        const FileTypeCode type =
            mapped ? detect_file_type_bytes(input.data(), static_cast<size_t>(input.size()))
                   : detect_file_type(path);
        switch (type) {
            case kFileBmp: image = load_bmp_bits_mapped(view, path); break;
            case kFilePng: image = load_png_bits_mapped(view, path); break;
            case kFileJpeg: image = load_jpeg_bits_mapped(view, data, size, path); break;
            case kFileTiff: image = load_tiff_bits_mapped(view, path); break;
            case kFileGif: image = load_gif_bits_mapped(view, path); break;
            case kFileUnknown: break;
            default: return nullptr;  // too short to tell: not offered to the plug-ins
        }
    }
    if (!image) {
        r.w1 = r.w2 = r.w3 = r.w4 = 0;
        // A plug-in opens the file itself, perhaps without sharing it.
        input.close();
        image = load_plugin_bits(path);
        if (!image) return nullptr;
    }

    r.file_size = image->file_size;
    r.format = image->format;
    r.source_bits = image->source_bits;
    r.current_width = image->info.width;
    r.current_height = image->info.height;
    r.image = image;

    if (image->info.bit_count != 24) {
        ConversionContext* c = base_context();
        c->width = image->info.width;
        c->height = image->info.height;
        c->source_bits = image->info.bit_count;
        c->target_bits = 24;
        compute_row_sizes(c);
        uint8_t* rows = c->size_overflow ? nullptr : alloc_pixels(c->image_bytes);
        const bool converted = rows && convert_pixel_depth(nullptr, rows, c, image->palette, image->pixels);
        free_loaded_image(image);
        if (!converted) {
            free_pixels(rows);
            r.image = nullptr;
            return nullptr;
        }
        image->pixels = rows;
        image->info.bit_count = 24;
        image->info.clr_used = 0;
        image->info.clr_important = 0;
    }
    r.header = header_24(image->info.width, image->info.height);
    r.header.x_pels_per_meter = image->info.x_pels_per_meter;
    r.header.y_pels_per_meter = image->info.y_pels_per_meter;
    r.header_pad = 0;

    if (have_time) {
        r.time_low = time.low;
        r.time_high = time.high;
    }
    if (loaded) *loaded = 1;
    return image;
}

LoadedImage* load_thumbnail_image_24(const uint8_t* data, uint32_t size, const std::u16string& path,
                                     int32_t* loaded) {
    JpegBoxScope box(g_browser_options.box_width, g_browser_options.box_height);
    return load_image_24(data, size, path, loaded);
}

void release_load_result() {
    if (g_load_result.image) free_current_rows(g_load_result.image);
    g_load_result.image = nullptr;
}

uint8_t* browser_resample_24(const uint8_t* rows, int32_t width, int32_t height, int32_t fitted_width,
                             int32_t fitted_height) {
    if (!rows) return nullptr;
    uint8_t* out = alloc_pixels(stride_for_depth(fitted_width, 24) * fitted_height);
    if (!out) return nullptr;
    if (!resample_24_into(rows, width, height, fitted_width, fitted_height, out)) {
        free_pixels(out);
        return nullptr;
    }
    return out;
}

void fit_size_to_box(int32_t box_width, int32_t box_height, int32_t size[2]) {
    const int64_t w = size[0] > 0 ? size[0] : 1;
    const int64_t h = size[1] > 0 ? size[1] : 1;
    // Exact ratios in 64 bits. Factors truncated to 14 bits would put a square picture in a
    // square box one pixel narrower than high (a 6 x 6 one in a 2 x 2 box even 1 x 2), and a
    // 4000 x 3000 photo in a 144 x 108 box at 143 x 108; the dependent side never becomes 0.
    if (int64_t(box_width) * h < int64_t(box_height) * w) {
        const int64_t fitted = h * box_width / w;
        size[0] = box_width;
        size[1] = fitted < 1 ? 1 : static_cast<int32_t>(fitted);
    } else {
        const int64_t fitted = w * box_height / h;
        size[1] = box_height;
        size[0] = fitted < 1 ? 1 : static_cast<int32_t>(fitted);
    }
}

void fit_to_box(int32_t size[2]) {
    fit_size_to_box(g_browser_options.box_width, g_browser_options.box_height, size);
}

bool shrink_loaded_image_to_box(int32_t size[2], bool size_only) {
    LoadResult& r = g_load_result;
    const int32_t bw = g_browser_options.box_width;
    const int32_t bh = g_browser_options.box_height;
    if (size_only) {
        if (bw >= r.full_width && bh >= r.full_height) {
            size[0] = r.full_width;
            size[1] = r.full_height;
        } else {
            size[0] = r.current_width;
            size[1] = r.current_height;
            fit_to_box(size);
        }
        return true;
    }
    size[0] = r.current_width;
    size[1] = r.current_height;
    if (bw >= r.current_width && bh >= r.current_height) return true;
    fit_to_box(size);
    LoadedImage* image = r.image;
    // The fitted rows go to the entry as they are: a block of the entry's own kind, so that
    // storing them needs neither a second block nor a copy.
    const int64_t bytes = stride_for_depth(size[0], 24) * size[1];
    uint8_t* rows = image && image->pixels ? alloc_thumbnail_bits(bytes) : nullptr;
    if (rows) {
        std::memset(rows, 0, static_cast<size_t>(bytes));
        if (!resample_24_into(image->pixels, r.current_width, r.current_height, size[0], size[1], rows)) {
            free_thumbnail_bits(rows);
            rows = nullptr;
        }
    }
    if (image) free_current_rows(image);
    if (!rows) return false;
    image->pixels = rows;
    g_fitted_rows = rows;
    image->info = header_24(size[0], size[1]);
    r.header = image->info;
    r.header_pad = 0;
    r.current_width = size[0];
    r.current_height = size[1];
    return true;
}

PreviewLayout compute_preview_layout(int32_t width, int32_t height, int32_t size, int32_t frame_width,
                                     int32_t frame_height, int32_t max_size) {
    PreviewLayout l;
    const int64_t w = width > 0 ? width : 1;
    const int64_t h = height > 0 ? height : 1;
    if (h < w) {
        l.min_width = frame_width + 100;
        l.min_height = round_ratio(100 * h, w) + frame_height;
        l.max_width = frame_width + max_size;
        l.max_height = frame_height + round_ratio(int64_t(max_size) * h, w);
        l.fitted_width = size;
        const int32_t fitted = round_ratio(int64_t(size) * h, w);
        l.fitted_height = fitted < 1 ? 1 : fitted;
    } else {
        l.min_height = frame_height + 100;
        l.min_width = round_ratio(100 * w, h) + frame_width;
        l.max_height = frame_height + max_size;
        l.max_width = frame_width + round_ratio(int64_t(max_size) * w, h);
        l.fitted_height = size;
        const int32_t fitted = round_ratio(int64_t(size) * w, h);
        l.fitted_width = fitted < 1 ? 1 : fitted;
    }
    return l;
}

void release_preview_image() {
    free_pixels(g_preview.pixels);
    g_preview.pixels = nullptr;
}

bool load_preview_image(const std::u16string& path, const uint8_t* data, uint32_t size) {
    // Each preview replaces the last one; its rows would otherwise leak on every click.
    release_preview_image();
    const int32_t s = g_browser_options.preview_size;
    LoadedImage* image;
    {
        JpegBoxScope box(s, s);
        image = load_image_24(data, size, path, nullptr);
    }
    if (!image) return false;
    const LoadResult& r = g_load_result;
    const int32_t w = r.current_width;
    const int32_t h = r.current_height;
    const PreviewLayout l =
        compute_preview_layout(w, h, s, g_browser_options.preview_frame_width,
                               g_browser_options.preview_frame_height, g_browser_options.preview_max_size);
    g_preview.layout[0] = l.min_width;
    g_preview.layout[1] = l.min_height;
    g_preview.layout[2] = l.max_width;
    g_preview.layout[3] = l.max_height;
    g_preview.header_pad = 0;
    if (s >= w && s >= h) {
        g_preview.header = r.header;
        g_preview.pixels = image->pixels;
        // The preview set owns the rows now.
        image->pixels = nullptr;
        image->bitmap = 0;
        g_load_result.image = nullptr;
        return true;
    }
    uint8_t* rows = browser_resample_24(image->pixels, w, h, l.fitted_width, l.fitted_height);
    free_loaded_image(image);
    g_load_result.image = nullptr;
    if (!rows) return false;
    g_preview.pixels = rows;
    g_preview.header = header_24(l.fitted_width, l.fitted_height);
    return true;
}

namespace {

void move_thumbnail(ThumbnailTarget* entry, int words) {
    LoadResult& r = g_load_result;
    // The entry holds its rows in a block of their own size: a page-granular block per entry
    // (64 KB each under Windows) would run a 32-bit process out of address space long before a
    // folder reaches its entry limit. Fitted rows already are such a block; a load's own rows
    // are copied into one.
    uint8_t* rows = nullptr;
    if (r.image && r.image->pixels && r.image->pixels == g_fitted_rows) {
        rows = r.image->pixels;
        r.image->pixels = nullptr;
        g_fitted_rows = nullptr;
    } else if (r.image && r.image->pixels) {
        const int64_t height = r.header.height < 0 ? -int64_t{r.header.height} : int64_t{r.header.height};
        const int64_t bytes = stride_for_depth(r.header.width, 24) * height;
        rows = alloc_thumbnail_bits(bytes);
        // Memory short: the entry keeps what it had and the load stays published, for the
        // caller to release.
        if (!rows) return;
        std::memcpy(rows, r.image->pixels, static_cast<size_t>(bytes));
    }
    if (r.image) free_loaded_image(r.image);
    r.image = nullptr;
    // A refreshed entry replaces its old thumbnail; keeping the old rows would leak them.
    free_thumbnail_bits(entry->bits);
    entry->bits = rows;
    entry->header = r.header;
    entry->header_pad = 0;
    const uint32_t info[kLoadInfoWords] = {r.time_low,
                                           r.time_high,
                                           static_cast<uint32_t>(r.full_width),
                                           static_cast<uint32_t>(r.full_height),
                                           r.file_size,
                                           static_cast<uint32_t>(r.format),
                                           static_cast<uint32_t>(r.source_bits),
                                           static_cast<uint32_t>(r.w1),
                                           static_cast<uint32_t>(r.w2),
                                           static_cast<uint32_t>(r.w3),
                                           static_cast<uint32_t>(r.w4)};
    for (int i = 0; i < words; ++i) entry->load_info[i] = info[i];
    entry->thumbnail_width = r.current_width;
    entry->thumbnail_height = r.current_height;
}

}  // namespace

uint8_t* alloc_thumbnail_bits(int64_t bytes) {
    if (bytes <= 0 || bytes > kMaxImageBytes) return nullptr;
    return static_cast<uint8_t*>(std::malloc(static_cast<size_t>(bytes)));
}

void free_thumbnail_bits(uint8_t* bits) {
    std::free(bits);
}

void store_thumbnail_in_entry(ThumbnailTarget* entry) {
    move_thumbnail(entry, kLoadInfoWords);
}

void refresh_thumbnail_in_entry(ThumbnailTarget* entry) {
    move_thumbnail(entry, 5);
}
