// The lossless rotation of a listed JPEG file in place. The original is never at risk: the
// rotated file is written beside it, closed, checked, and only then does the original go to
// the recycle bin and the new file take its name; a copy of the original made just before
// puts it back if that last step fails.
#include <vector>

#include "codecs/codec_errors.h"
#include "codecs/file_io.h"
#include "codecs/output_file.h"
#include "loading/browser_load.h"
#include "loading/browser_load_jpeg.h"

int32_t g_in_place_transform_error = kCodecOk;

namespace {

bool same_time(const FileTime& a, const FileTime& b) {
    return a.low == b.low && a.high == b.high;
}

bool path_exists(const std::u16string& path) {
    OsHandle file = file_open_read(path);
    if (file == kClosedFile) return false;
    file_close(file);
    return true;
}

// A name beside `path` that no file has yet.
std::u16string free_name_beside(const std::u16string& path, const char16_t* tag) {
    for (int i = 0; i < 1000; ++i) {
        std::u16string candidate = path + tag;
        for (char16_t c : std::to_string(i)) candidate += c;
        if (!path_exists(candidate)) return candidate;
    }
    return std::u16string();
}

bool copy_file_checked(const std::u16string& source, const std::u16string& target) {
    OsHandle in = file_open_read(source);
    if (in == kClosedFile) return false;
    OutputFile out;
    if (!out.create(target)) {
        file_close(in);
        return false;
    }
    std::vector<uint8_t> buffer(1u << 20);
    bool ok = true;
    for (;;) {
        uint32_t got = 0;
        if (!file_read(in, buffer.data(), uint32_t(buffer.size()), &got)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        if (!file_write(out.get(), buffer.data(), got)) {
            ok = false;
            break;
        }
    }
    ok = file_flush(out.get()) && ok;
    file_close(in);
    if (!ok) {
        out.discard();
        return false;
    }
    out.close();
    return true;
}

bool fail(int32_t code) {
    g_in_place_transform_error = code;
    return false;
}

bool transform_in_place(const std::u16string& path, FileTime listed_time, int32_t kind, OsHandle owner) {
    OsHandle file = file_open_read(path);
    if (file == kClosedFile) return fail(kCodecReadFailed);
    FileTime time = {};
    const bool have_time = file_last_write_time(file, &time);
    file_close(file);
    // Changed since it was listed: the thumbnail no longer shows what would be rotated.
    if (!have_time || !same_time(time, listed_time)) return fail(kCodecReadFailed);

    JpegHeaderFacts source;
    if (!read_jpeg_header_facts(path, &source)) return fail(kCodecBadData);
    int32_t want_width = 0;
    int32_t want_height = 0;
    jpeg_trimmed_transform_size(source, kind, &want_width, &want_height);

    const InPlaceTransformSteps& steps = g_in_place_transform_steps;
    const std::u16string rotated = free_name_beside(path, u".rot");
    if (rotated.empty()) return fail(kCodecCreateFailed);
    if (!steps.transform(path, rotated, kind)) {
        file_delete(rotated);
        return fail(kCodecSaveFailed);
    }
    JpegHeaderFacts result;
    if (!read_jpeg_header_facts(rotated, &result) || result.width != want_width ||
        result.height != want_height) {
        file_delete(rotated);
        return fail(kCodecSaveFailed);
    }

    const std::u16string backup = free_name_beside(path, u".bak");
    if (backup.empty() || !copy_file_checked(path, backup)) {
        file_delete(rotated);
        return fail(kCodecCreateFailed);
    }
    if (path_exists(path) && !steps.recycle(path, owner)) {
        file_delete(rotated);
        file_delete(backup);
        return fail(kCodecSaveFailed);
    }
    if (!steps.replace(rotated, path)) {
        if (!file_replace(backup, path)) return fail(kCodecSaveFailed);  // the backup keeps it
        file_delete(rotated);
        return fail(kCodecSaveFailed);
    }
    file_delete(backup);
    return true;
}

}  // namespace

bool jpeg_transform_in_place_step(const std::u16string& source, const std::u16string& target, int32_t kind);

InPlaceTransformSteps default_in_place_transform_steps() {
    InPlaceTransformSteps steps;
    steps.transform = jpeg_transform_in_place_step;
    steps.recycle = browser_recycle_file;
    steps.replace = file_replace;
    return steps;
}

InPlaceTransformSteps g_in_place_transform_steps = default_in_place_transform_steps();

bool transform_jpeg_file_in_place(const std::u16string& path, FileTime listed_time, int32_t kind,
                                  OsHandle owner) {
    g_in_place_transform_error = kCodecOk;
    browser_show_wait_cursor(true);
    const bool ok = transform_in_place(path, listed_time, kind, owner);
    browser_show_wait_cursor(false);
    return ok;
}
