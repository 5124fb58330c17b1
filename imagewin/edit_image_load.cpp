// Loading a file into the image window: the shared reader contexts in DIB-section mode, with
// the display options the browser's loads use, under the process-wide lock.
#include <cstring>
#include <memory>
#include <new>

#include "codecs/bmp/bmp.h"
#include "codecs/file_type.h"
#include "codecs/gif/gif.h"
#include "codecs/jpeg/jpeg.h"
#include "codecs/png/png.h"
#include "codecs/tiff/tiff.h"
#include "imagewin/edit_state.h"
#include "imagewin/edit_tool_host.h"
#include "loading/browser_load.h"
#include "loading/codec_set.h"
#include "loading/plugin.h"

namespace {

// A path the state's 260-character buffers cannot hold is refused before anything is read, so
// that the image on show and the path it is saved to never disagree.
bool path_fits(const std::u16string& path) {
    return !path.empty() && path.size() < size_t(kEditPathChars);
}

// Install mode: the image becomes the current one with a fresh history. Preview mode: the
// decoded bitmap goes into the save preview's DC and the state's image is left alone.
bool take_loaded_image(const LoadedImage* image, const std::u16string& path, uint32_t* out_size) {
    EditState& s = g_edit_state;
    if (!image) return false;
    if (out_size) {
        if (!s.save_preview_dc || !image->bitmap) {
            LoadedImage unused = *image;
            free_loaded_image(&unused);
            return false;
        }
        const HBITMAP bitmap = reinterpret_cast<HBITMAP>(image->bitmap);
        s.save_preview_old_bitmap = static_cast<HBITMAP>(SelectObject(s.save_preview_dc, bitmap));
        s.save_preview_bitmap = bitmap;
        *out_size = image->file_size;
        return true;
    }
    (void)install_edit_image(*image, false, true);
    (void)set_current_image_info(*image, path.c_str(), kHistoryClear);
    return true;
}

void take_animation(GifContext* c) {
    if (!c->state.animation) return;
    auto record = std::unique_ptr<GifAnimationInfo>(new (std::nothrow) GifAnimationInfo());
    // Without the record the reader's release frees the frames and the first one stays on show.
    if (!record || !gif_get_animation_info(c, record.get())) return;
    EditAnimation& a = g_edit_state.animation;
    a.animated = 1;
    a.frame_count = record->frame_count;
    a.loop_count = record->loop_count;
    a.current_frame = 0;
    for (int32_t i = 0; i < kEditMaxFrames; ++i) {
        a.frame_delays[i] = record->delays[i];
        a.frame_bitmaps[i] = reinterpret_cast<HBITMAP>(record->frame_bitmaps[i]);
    }
}

}  // namespace

bool load_bmp_into_edit_state(const std::u16string& path, uint32_t* out_size) {
    BmpContext* c = g_codecs.bmp_reader;
    if (!c) return false;
    bmp_reader_reset(c);
    reset_codec_handles(c);
    c->in_memory = 0;
    const bool ok = take_loaded_image(read_bmp_file(path, c), path, out_size);
    bmp_reader_release(c);
    return ok;
}

bool load_png_into_edit_state(const std::u16string& path, uint32_t* out_size) {
    PngContext* c = g_codecs.png_reader;
    if (!c) return false;
    prepare_png_reader(c, 0);
    const bool ok = take_loaded_image(read_png_file(c, path), path, out_size);
    if (ok && !out_size) {
        EditImageDescription& d = g_edit_state.image;
        d.flag_interlaced = c->state.interlace ? 1 : 0;
        d.flag_alpha_or_transparent = (c->state.alpha || c->state.trns_seen) ? 1 : 0;
        d.flag_metadata = c->state.text_chunks;
        d.flag_comment = c->state.comment_chunks;
    }
    png_reader_release(c);
    return ok;
}

bool load_jpeg_into_edit_state(const std::u16string& path, uint32_t* out_size) {
    JpegReaderContext* c = g_codecs.jpeg_reader;
    if (!c) return false;
    jpeg_reader_reset(c);
    reset_codec_handles(c);
    c->in_memory = 0;
    const bool ok = take_loaded_image(read_jpeg_image(c, path, nullptr), path, out_size);
    if (ok && !out_size) {
        EditImageDescription& d = g_edit_state.image;
        d.flag_interlaced = c->state.progressive ? 1 : 0;
        d.flag_metadata = c->state.app1_seen ? 1 : 0;
        d.flag_comment = c->state.comment_count;
    }
    jpeg_reader_release(c);
    return ok;
}

bool load_tiff_into_edit_state(const std::u16string& path, uint32_t* out_size) {
    TiffContext* c = g_codecs.tiff_reader;
    if (!c) return false;
    tiff_reader_reset(c);
    reset_codec_handles(c);
    c->in_memory = 0;
    LoadedImage* image = nullptr;
    image = read_tiff_file(path, c);
    const bool ok = take_loaded_image(image, path, out_size);
    if (ok && !out_size) g_edit_state.image.flag_comment = c->state.description_seen ? 1 : 0;
    tiff_reader_release(c);
    return ok;
}

bool load_gif_into_edit_state(const std::u16string& path, uint32_t* out_size) {
    GifContext* c = g_codecs.gif_reader;
    if (!c) return false;
    prepare_gif_reader(c, 0);
    // The save preview shows one picture: its frames would only be freed again.
    c->options.animation_wanted = out_size ? 0 : 1;
    LoadedImage* image = nullptr;
    image = read_gif_file(path, c);
    const bool ok = take_loaded_image(image, path, out_size);
    if (ok && !out_size) {
        EditImageDescription& d = g_edit_state.image;
        d.flag_interlaced = c->state.interlaced ? 1 : 0;
        d.flag_alpha_or_transparent = c->state.transparent_frames > 0 ? 1 : 0;
        d.flag_comment = c->state.comment_seen ? 1 : 0;
        take_animation(c);
    }
    gif_reader_release(c);
    return ok;
}

bool load_plugin_into_edit_state(const std::u16string& path) {
    PluginContext* record = g_codecs.plugin;
    if (!record) return false;
    prepare_plugin_record(record, 0);
    LoadedImage* image = nullptr;
    const std::u16string& folder = g_browser_options.plugin_folder;
    if (!folder.empty() && plugin_folder_exists(folder)) image = read_plugin_image(path, folder, record);
    // The rows were copied into a bitmap of the program's own: nothing of the plug-in is kept.
    const bool ok = take_loaded_image(image, path, nullptr);
    plugin_release_handles(record);
    return ok;
}

bool load_image_into_edit_state(const std::u16string& path) {
    if (!path_fits(path)) return false;
    EditState& s = g_edit_state;
    bool ok = false;
    {
        EditLockScope lock;
        const EditFormatFlags kept = take_format_flags(s.image);
        if (open_edit_tool_kind() == 0) SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        const FileTypeCode type = detect_file_type(path);
        switch (type) {
            case kFileBmp: ok = load_bmp_into_edit_state(path); break;
            case kFilePng: ok = load_png_into_edit_state(path); break;
            case kFileJpeg: ok = load_jpeg_into_edit_state(path); break;
            case kFileTiff: ok = load_tiff_into_edit_state(path); break;
            case kFileGif: ok = load_gif_into_edit_state(path); break;
            case kFileUnknown: ok = load_plugin_into_edit_state(path); break;
            default: break;
        }
        if (!ok && type >= kFileBmp && type <= kFileGif) ok = load_plugin_into_edit_state(path);
        if (!ok) restore_format_flags(s.image, kept);
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    }
    return ok;
}
