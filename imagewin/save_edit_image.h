// Saving the image windows' current image (or, for the lossless JPEG transform, the current
// file): every save writes a temporary file with the format's writer, then puts it in place.
#pragma once

#include <windows.h>

#include <string>

#include "imagewin/core/save_settings.h"

// What a save does with files; tests replace it to make a step fail.
struct SaveFileOps {
    virtual ~SaveFileOps() = default;
    // Creates a new empty file with a unique name (prefix "tmp") in `folder`, or in the
    // system's temporary folder when `folder` is empty.
    virtual bool make_temp_file(const std::u16string& folder, std::u16string* out);
    virtual bool copy_file(const std::u16string& from, const std::u16string& to);  // overwrites
    virtual bool recycle_file(const std::u16string& path);                         // silently
    virtual bool move_file(const std::u16string& from, const std::u16string& to);  // `to` absent
    virtual bool delete_file(const std::u16string& path);
};

SaveFileOps& save_file_ops();
// Installs `ops` (null restores the system's); returns the previous one.
SaveFileOps* set_save_file_ops(SaveFileOps* ops);

// Holds the process-wide lock around codec calls. Boxes reported meanwhile are shown once the
// outermost scope has left the lock.
class SaveLockScope {
public:
    SaveLockScope();
    ~SaveLockScope();
    SaveLockScope(const SaveLockScope&) = delete;
    SaveLockScope& operator=(const SaveLockScope&) = delete;
};

// A box of the image window's convention (owned by it, file list disabled meanwhile, the
// cursor made visible in the single view), shown now or after the lock.
void report_save_box(const std::u16string& text, const wchar_t* caption, UINT style);
void report_save_error(int code);

// The options a save would write with now, and the display options a preview decodes with.
SavePreviewSettings current_save_settings();
// The comment in the ANSI code page, whole, cut at a character boundary to the writers' limit.
std::string comment_for_writers(const std::u16string& comment);

bool save_bmp_from_edit_state(const std::u16string& name);
bool save_png_from_edit_state(const std::u16string& name);
bool save_jpeg_from_edit_state(const std::u16string& name);
bool save_jpeg_lossless_from_edit_state(const std::u16string& name);
bool save_tiff_from_edit_state(const std::u16string& name);
bool save_gif_from_edit_state(const std::u16string& name);

// The two halves of a save: the temporary file written with the current settings (it becomes
// the preview's file), and that file put at `path`.
bool write_temp_save_file();
bool install_saved_file(const std::u16string& path);

bool save_edit_image_to(const std::u16string& path);
// Transforms the current JPEG file in place; the callers reload it.
bool lossless_rotate_current_file(int32_t operation);

bool save_preview_is_current();
