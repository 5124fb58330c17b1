#include "imagewin/save_edit_image.h"

#include <cstring>
#include <vector>

#include "codecs/bmp/bmp.h"
#include "codecs/gif/gif.h"
#include "codecs/jpeg/jpeg.h"
#include "codecs/png/png.h"
#include "codecs/tiff/tiff.h"
#include "common/replaceable.h"
#include "common/win/error_message.h"
#include "common/win/message_box.h"
#include "common/win/process_lock.h"
#include "imagewin/edit_state.h"
#include "imagewin/image_file_list_win.h"
#include "imagewin/image_view_win.h"
#include "imagewin/save_preview.h"
#include "imagewin/save_window_seam.h"
#include "loading/browser_load.h"
#include "shell/shell_helpers.h"

namespace {

const wchar_t* wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::u16string u16(const wchar_t* text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text));
}

// --- boxes -----------------------------------------------------------------------------------

struct PendingBox {
    std::u16string text;
    const wchar_t* caption;
    UINT style;
};

int g_lock_depth = 0;
std::vector<PendingBox> g_pending;

void show_box_now(const PendingBox& box) {
    const EditState& s = g_edit_state;
    if (s.window_kind == 0)
        while (ShowCursor(TRUE) < 0) {
        }
    const bool disable = s.file_list_window && IsWindowEnabled(s.file_list_window);
    if (disable) EnableWindow(s.file_list_window, FALSE);
    app_message_box(s.image_window, wide(box.text), box.caption, box.style);
    if (disable) EnableWindow(s.file_list_window, TRUE);
}

constexpr UINT kErrorStyle = MB_ICONERROR | MB_SETFOREGROUND;

// The text is taken while the context and the library's message still hold it: once the lock
// is left another thread may encode and overwrite them.
void report_codec_failure(const CodecContext* context) {
    const int32_t code = context->error != kCodecOk ? context->error : kCodecSaveFailed;
    const char16_t* text = codec_error_text(code);
    report_save_box(text ? text : codec_error_text(kCodecSaveFailed), L"Error", kErrorStyle);
}

// The JPEG box: the codec's own message for codes 1-5 and 7 (2 only without a library message),
// else the library's message.
void report_jpeg_failure(const CodecContext* context) {
    const int32_t code = context->error;
    const bool own = (code >= 1 && code <= 5) || code == 7;
    if ((own && (code != 2 || g_jpeg_error_text[0] == 0)) || g_jpeg_error_text[0] == 0) {
        report_codec_failure(context);
        return;
    }
    report_save_box(g_jpeg_error_text, L"JPEG Library Error", MB_ICONERROR);
}

// --- files -----------------------------------------------------------------------------------

SaveFileOps g_system_ops;
Replaceable<SaveFileOps> g_ops(g_system_ops);

std::u16string folder_of(const std::u16string& path) {
    const size_t separator = path.find_last_of(u"\\/");
    return separator == std::u16string::npos ? std::u16string(u".") : path.substr(0, separator);
}

bool same_text_nocase(const std::u16string& a, const std::u16string& b) {
    return lstrcmpiW(wide(a), wide(b)) == 0;
}

bool file_exists(const std::u16string& path) {
    return GetFileAttributesW(wide(path)) != INVALID_FILE_ATTRIBUTES;
}

void copy_to_state_path(char16_t (&out)[kEditPathChars], const std::u16string& text) {
    const size_t n = text.size() < size_t(kEditPathChars) ? text.size() : size_t(kEditPathChars - 1);
    std::memcpy(out, text.data(), n * sizeof(char16_t));
    out[n] = 0;
}

bool system_lead_byte(uint8_t byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}

// The image's pixels per metre as the JFIF header's dots per inch.
int32_t dots_per_inch(int32_t pixels_per_metre) {
    return static_cast<int32_t>((int64_t(pixels_per_metre) * 254 + 5000) / 10000);
}

// The depth the format's writer is given: "as the image is" (0) is the image's own, and a
// depth the format lacks moves to the one its list offers.
BitDepthState depth_to_write(SaveFormat format) {
    const EditState& s = g_edit_state;
    const int32_t bits = s.save.target_bits == 0 ? s.image.bit_count : s.save.target_bits;
    return rebuild_bit_depth(format, bits, s.save.greyscale, s.image.source_bits);
}

void fill_conversion(ConversionContext* conversion, int32_t target_bits) {
    const EditState& s = g_edit_state;
    conversion->width = s.image.width;
    conversion->height = s.image.height;
    conversion->source_bits = s.image.bit_count;
    conversion->target_bits = target_bits;
    conversion->dither_mode = s.save.dither_mode;
    compute_row_sizes(conversion);
}

}  // namespace

bool SaveFileOps::make_temp_file(const std::u16string& folder, std::u16string* out) {
    wchar_t base[MAX_PATH + 1];
    if (folder.empty()) {
        const DWORD n = GetTempPathW(MAX_PATH + 1, base);
        if (n == 0 || n > MAX_PATH) return false;
    } else {
        if (folder.size() >= MAX_PATH) return false;
        std::memcpy(base, folder.c_str(), (folder.size() + 1) * sizeof(wchar_t));
    }
    wchar_t name[MAX_PATH];
    if (GetTempFileNameW(base, L"tmp", 0, name) == 0) return false;
    *out = u16(name);
    return true;
}

bool SaveFileOps::copy_file(const std::u16string& from, const std::u16string& to) {
    return CopyFileW(wide(from), wide(to), FALSE) != FALSE;
}

bool SaveFileOps::recycle_file(const std::u16string& path) {
    std::wstring list(wide(path));
    list.push_back(L'\0');
    list.push_back(L'\0');
    return recycle_files(list.c_str(), list.size(), nullptr) == 0 && !file_exists(path);
}

bool SaveFileOps::move_file(const std::u16string& from, const std::u16string& to) {
    return MoveFileW(wide(from), wide(to)) != FALSE;
}

bool SaveFileOps::delete_file(const std::u16string& path) {
    return DeleteFileW(wide(path)) != FALSE;
}

SaveFileOps& save_file_ops() {
    return g_ops.get();
}

SaveFileOps* set_save_file_ops(SaveFileOps* ops) {
    return g_ops.install(ops);
}

SaveLockScope::SaveLockScope() {
    process_lock_enter();
    ++g_lock_depth;
}

SaveLockScope::~SaveLockScope() {
    --g_lock_depth;
    process_lock_leave();
    if (g_lock_depth > 0) return;
    std::vector<PendingBox> boxes;
    boxes.swap(g_pending);
    for (const PendingBox& box : boxes) show_box_now(box);
}

void report_save_box(const std::u16string& text, const wchar_t* caption, UINT style) {
    PendingBox box{text, caption, style};
    if (g_lock_depth > 0)
        g_pending.push_back(box);
    else
        show_box_now(box);
}

void report_save_error(int code) {
    report_save_box(u16(error_message_text(code)), L"Error", kErrorStyle);
}

SavePreviewSettings current_save_settings() {
    const EditState& s = g_edit_state;
    SavePreviewSettings now;
    now.stored = s.save;
    now.transparent = s.save_choices.transparent;
    now.insert_comment = s.save_choices.insert_comment;
    now.lossless_operation = s.save_choices.lossless_operation;
    const BrowserOptions& o = g_browser_options;
    now.display = {o.apply_transparency, o.use_file_background, o.background_colour, o.gamma_enabled,
                   o.display_gamma_x1000};
    return now;
}

std::string comment_for_writers(const std::u16string& comment) {
    if (comment.empty()) return std::string();
    const int length = static_cast<int>(comment.size());
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide(comment), length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string converted(size_t(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide(comment), length, &converted[0], bytes, nullptr, nullptr);
    return cut_at_character(converted, kSaveCommentBytes, system_lead_byte);
}

bool save_bmp_from_edit_state(const std::u16string& name) {
    EditState& s = g_edit_state;
    BmpContext c;
    init_bmp_context(&c, 0);
    fill_conversion(&c.conversion, depth_to_write(kSaveBmp).target_bits);
    c.x_ppm = s.image.x_resolution;
    c.y_ppm = s.image.y_resolution;
    const bool ok = write_bmp_file(name, &c, s.image.palette, s.bits);
    if (!ok) report_codec_failure(&c);
    bmp_writer_release(&c);
    return ok;
}

bool save_png_from_edit_state(const std::u16string& name) {
    EditState& s = g_edit_state;
    PngWriterContext c;
    init_codec_context(&c, 0);
    png_build_crc_table(&c);
    png_writer_reset(&c);
    const BitDepthState depth = depth_to_write(kSavePng);
    fill_conversion(&c.conversion, depth.target_bits);
    c.state.grey = depth.greyscale ? 1 : 0;
    c.state.interlace = s.save.interlace ? 1 : 0;
    c.settings.level = png_level_to_write(s.save.png_compression);
    c.settings.filter_mode = s.save.png_filter;
    c.settings.gamma = png_gamma_to_write(s.save.write_gamma, s.save.gamma);
    uint8_t colour[3];
    transparent_colour_bytes(s.save.transparent_colour, colour);
    c.settings.transparent = s.save_choices.transparent ? 1 : 0;
    c.transparent_colour = colour;
    c.settings.horizontal_resolution = s.image.x_resolution;
    c.settings.vertical_resolution = s.image.y_resolution;
    const std::string comment =
        s.save_choices.insert_comment ? comment_for_writers(s.save_record.comment) : std::string();
    c.settings.comment = comment.empty() ? nullptr : comment.c_str();
    const bool ok = write_png_file(name, &c, s.image.palette, s.bits);
    if (!ok) report_codec_failure(&c);
    png_writer_release(&c);
    return ok;
}

bool save_jpeg_from_edit_state(const std::u16string& name) {
    EditState& s = g_edit_state;
    JpegWriterContext c;
    init_codec_context(&c, 0);
    jpeg_writer_reset(&c);
    fill_conversion(&c.conversion, 24);
    jpeg_set_save_options(&c, s.save.jpeg_quality, s.save.progressive ? 1 : 0, s.save.greyscale ? 1 : 0,
                          s.save.jpeg_sampling);
    c.state.dots_per_inch_x = dots_per_inch(s.image.x_resolution);
    c.state.dots_per_inch_y = dots_per_inch(s.image.y_resolution);
    const std::string comment =
        s.save_choices.insert_comment ? comment_for_writers(s.save_record.comment) : std::string();
    c.state.comment = comment.empty() ? nullptr : comment.c_str();
    g_jpeg_error_text[0] = 0;
    const bool ok = s.save.jpeg_size_limit_on
                        ? write_jpeg_file_size_limited(&c, name, s.image.palette, s.bits,
                                                       uint32_t(commit_size_limit(s.save.jpeg_size_limit_kb)))
                        : write_jpeg_image(&c, name, s.image.palette, s.bits);
    if (!ok) report_jpeg_failure(&c);
    jpeg_writer_release(&c);
    return ok;
}

bool save_jpeg_lossless_from_edit_state(const std::u16string& name) {
    EditState& s = g_edit_state;
    const int changed = s.image.path[0] ? file_time_changed(false) : -1;
    if (changed != 0 || s.file_turned_since_load) {
        report_save_error(changed < 0 ? kErrorDataRead : kErrorFileChanged);
        return false;
    }
    JpegTransformContext c;
    init_codec_context(&c, 0);
    jpeg_transform_reset(&c);
    jpeg_set_transform(&c, s.save_choices.lossless_operation, s.save.jpeg_trim ? 1 : 0, s.save.jpeg_markers,
                       s.save.progressive ? 1 : 0, s.save.greyscale ? 1 : 0);
    g_jpeg_error_text[0] = 0;
    const bool ok = jpeg_transform_file(&c, s.image.path, name);
    if (!ok) report_jpeg_failure(&c);
    jpeg_transform_release(&c);
    return ok;
}

bool save_tiff_from_edit_state(const std::u16string& name) {
    EditState& s = g_edit_state;
    TiffWriterContext c;
    init_codec_context(&c, 0);
    tiff_writer_reset(&c);
    const BitDepthState depth = depth_to_write(kSaveTiff);
    fill_conversion(&c.conversion, depth.target_bits);
    c.state.grey = depth.greyscale ? 1 : 0;
    c.state.x_pixels_per_metre = s.image.x_resolution;
    c.state.y_pixels_per_metre = s.image.y_resolution;
    const bool ok = write_tiff_file(name, &c, s.image.palette, s.bits);
    if (!ok) report_codec_failure(&c);
    tiff_writer_release(&c);
    return ok;
}

bool save_gif_from_edit_state(const std::u16string& name) {
    EditState& s = g_edit_state;
    GifWriterContext c;
    init_codec_context(&c, 0);
    fill_conversion(&c.conversion, depth_to_write(kSaveGif).target_bits);
    c.interlace = s.save.interlace ? 1 : 0;
    uint8_t colour[3];
    transparent_colour_bytes(s.save.transparent_colour, colour);
    c.transparency = s.save_choices.transparent ? 1 : 0;
    c.transparent_colour = colour;
    const bool ok = write_gif_file(name, &c, s.image.palette, s.bits);
    if (!ok) report_codec_failure(&c);
    gif_writer_release(&c);
    return ok;
}

bool write_temp_save_file() {
    EditState& s = g_edit_state;
    discard_save_preview();
    // The transform reads the file, every other writer the image on show.
    if (!edit_image_loaded() && s.save.save_format != kSaveJpegLossless) return false;
    SaveFileOps& ops = save_file_ops();
    std::u16string name;
    if (!ops.make_temp_file(std::u16string(), &name) || name.size() >= size_t(kEditPathChars)) {
        if (!name.empty()) (void)ops.delete_file(name);
        report_save_error(kErrorTempFileCreate);
        return false;
    }
    const SavePreviewSettings settings = current_save_settings();
    bool ok = false;
    {
        SaveLockScope lock;
        switch (s.save.save_format) {
            case kSaveBmp: ok = save_bmp_from_edit_state(name); break;
            case kSavePng: ok = save_png_from_edit_state(name); break;
            case kSaveJpeg: ok = save_jpeg_from_edit_state(name); break;
            case kSaveTiff: ok = save_tiff_from_edit_state(name); break;
            case kSaveGif: ok = save_gif_from_edit_state(name); break;
            case kSaveJpegLossless: ok = save_jpeg_lossless_from_edit_state(name); break;
            default: break;
        }
    }
    if (!ok) {
        if (!ops.delete_file(name)) report_save_error(kErrorTempFileDelete);
        return false;
    }
    s.save_record.preview_settings = settings;
    copy_to_state_path(s.save_preview_temp_path, name);
    return true;
}

// The new file is complete beside the target before the target goes to the recycle bin, so a
// failure at any step leaves the user's file or the new one, never neither.
bool install_saved_file(const std::u16string& path) {
    EditState& s = g_edit_state;
    SaveFileOps& ops = save_file_ops();
    const std::u16string made(s.save_preview_temp_path);
    std::u16string staged;
    if (!ops.make_temp_file(folder_of(path), &staged)) {
        report_save_error(kErrorFileCreate);
        return false;
    }
    if (!ops.copy_file(made, staged) || (file_exists(path) && !ops.recycle_file(path))) {
        (void)ops.delete_file(staged);
        report_save_error(kErrorFileCreate);
        return false;
    }
    if (!ops.move_file(staged, path)) {
        // The original may be in the recycle bin by now: the user must learn where the new one is.
        report_save_box(u16(error_message_text(kErrorFileCreate)) + u"\n" + staged, L"Error", kErrorStyle);
        return false;
    }
    history_mark_saved(s.history);
    const std::u16string current(s.image.path);
    const bool over_current = !current.empty() && same_text_nocase(path, current);
    if (!over_current && same_text_nocase(folder_of(path), std::u16string(s.image.folder)))
        refresh_image_folder_list();
    if (over_current) {
        if (s.save.save_format == kSaveJpegLossless) {
            s.save_choices.lossless_operation = 0;
            s.file_turned_since_load = true;
        }
        // The program's own write: the next activation must not take it for a change outside.
        refresh_file_time();
    }
    return true;
}

bool save_edit_image_to(const std::u16string& path) {
    EditState& s = g_edit_state;
    if (s.image_window) SetWindowTextW(s.image_window, L"wait...");
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    bool ok = false;
    if (save_preview_is_current()) {
        ok = install_saved_file(path);
    } else if (write_temp_save_file()) {
        ok = install_saved_file(path);
        if (!save_file_ops().delete_file(std::u16string(s.save_preview_temp_path)))
            report_save_error(kErrorTempFileDelete);
        s.save_preview_temp_path[0] = 0;
    }
    update_image_window_title();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    return ok;
}

bool lossless_rotate_current_file(int32_t operation) {
    EditState& s = g_edit_state;
    const SaveSettings kept = s.save;
    s.save_choices.lossless_operation = operation;
    s.save.jpeg_trim = 0;
    s.save.greyscale = 0;
    s.save.progressive = 0;
    s.save.save_format = kSaveJpegLossless;
    s.save.jpeg_markers = 2;
    const bool ok = save_edit_image_to(std::u16string(s.image.path));
    s.save.greyscale = kept.greyscale;
    s.save.progressive = kept.progressive;
    s.save.jpeg_trim = kept.jpeg_trim;
    s.save.save_format = kept.save_format;
    s.save.jpeg_markers = kept.jpeg_markers;
    return ok;
}

bool save_preview_is_current() {
    const EditState& s = g_edit_state;
    return preview_is_current(s.save_preview_shown, current_save_settings(), s.save_record.preview_settings);
}
