// The edit window's undo steps. Each step is a whole copy of the image in a temporary file of
// its own, under a name that the history window lists.
//
// Whether the image on show matches the file on disk is decided by serials, never by step
// index: every image the history sees gets a serial, a step keeps the serial of the image it
// holds, and a save remembers the serial of the image saved. An index can come to mean another
// image (redo steps dropped and pushed anew, the oldest step dropped at the limit), a serial
// cannot, so a changed image never reads as saved.
//
// Step file, little-endian: i32 width, i32 height, i32 bits per pixel (8 or 24); for 8 bits a
// palette of 256 x (blue, green, red, 0); then the rows, bottom row first, each padded to a
// multiple of 4 bytes. A file read back must be exactly that long.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/win_types.h"

constexpr int32_t kUndoStepLimit = 1000;
constexpr uint32_t kStepHeaderBytes = 12;
constexpr uint32_t kStepPaletteBytes = 256 * 4;
constexpr int32_t kStepSideLimit = 25000;  // as the readers allow
constexpr int32_t kUndoFormatBmp = 1;      // FileTypeCode of every step but the loaded image's

enum class UndoResult : int32_t {
    ok,
    no_step,      // undo at the first step or redo at the last: nothing happens, nothing is shown
    save_failed,  // "履歴の保存に失敗しました。"
    run_failed,   // "履歴の実行に失敗しました。"
};

// The error box's code for a result (18 and 19 of the program's table), or -1 when nothing
// is to be shown.
constexpr int undo_error_box_code(UndoResult result) {
    return result == UndoResult::save_failed ? 18 : result == UndoResult::run_failed ? 19 : -1;
}

// The file operations of the history. The Windows image window may install its own (the
// system's temporary names, the temporary attribute); tests install ones that fail on purpose.
class UndoFileOps {
public:
    virtual ~UndoFileOps() = default;
    // Makes a new, empty file with a name of its own in the user's temporary folder.
    virtual bool create_temp_file(std::u16string* path) = 0;
    // Creates or truncates the file for writing; kClosedFile on failure.
    virtual OsHandle open_write(const std::u16string& path) = 0;
    // True only when every byte was written.
    [[nodiscard]] virtual bool write(OsHandle file, const void* data, uint32_t size) = 0;
    virtual OsHandle open_read(const std::u16string& path) = 0;
    virtual bool size(OsHandle file, uint64_t* size) = 0;
    // Reads up to `size` bytes; false on an I/O error. `*got` is the count actually read.
    virtual bool read(OsHandle file, void* buffer, uint32_t size, uint32_t* got) = 0;
    virtual void close(OsHandle file) = 0;
    virtual void delete_file(const std::u16string& path) = 0;
};

// Operations over the portable file layer, naming files "tmp<hex>.tmp" in the temporary folder.
UndoFileOps& portable_undo_file_ops();
// Replaces the operations in use (null restores the portable ones); returns the previous.
UndoFileOps* set_undo_file_ops(UndoFileOps* ops);
UndoFileOps& undo_file_ops();

struct StepHeader {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bit_count = 0;
};

// An image as the history writes it: `palette` (256 entries) is needed for 8 bits only.
struct StepImage {
    StepHeader header;
    const RgbQuad* palette = nullptr;
    const uint8_t* bits = nullptr;
};

// True for the sizes and depths that a step can hold: 1..25,000 pixels a side, 8 or 24 bits.
bool step_header_valid(const StepHeader& header);
// Bytes of one row: width x bytes per pixel, padded to a multiple of 4.
int64_t step_stride_bytes(const StepHeader& header);
// The exact length of the step file of a valid header.
int64_t step_file_bytes(const StepHeader& header);

[[nodiscard]] bool write_step_file(UndoFileOps& ops, const std::u16string& path, const StepImage& image);

// Memory for the rows of a step being read, asked once its header and palette are known to
// be sound: `height` rows of step_stride_bytes each. Null refuses the read. What it hands out
// stays the caller's, also when the read then fails.
using StepRowsAllocator = std::function<uint8_t*(const StepHeader& header, const RgbQuad* palette)>;

struct StepFile {
    StepHeader header;
    RgbQuad palette[256] = {};  // zero for 24 bits
    uint8_t* bits = nullptr;
};

// Refuses a file of another depth, a size out of range, a length other than the exact one and
// any short read.
[[nodiscard]] bool read_step_file(UndoFileOps& ops, const std::u16string& path,
                                  const StepRowsAllocator& allocate, StepFile* out);

struct UndoStep {
    std::u16string path;
    std::u16string name;  // copied: a tool may build it in a buffer of its own
    uint64_t serial = 0;
};

// Zero-initialised it is an empty history whose image counts as saved.
struct UndoHistory {
    int32_t current_step = 0;
    // `source_format` of the image when the history was last cleared: given back when the
    // loaded image's own step is shown again.
    int32_t start_format = 0;
    std::vector<UndoStep> steps;
    uint64_t shown_serial = 0;   // the image on show
    uint64_t saved_serial = 0;   // the image the file on disk holds
    uint64_t loaded_serial = 0;  // the image as loaded, 0 when no step may hold it
    uint64_t last_serial = 0;

    int32_t step_count() const { return static_cast<int32_t>(steps.size()); }
};

// Records `image` (the image now on show) as a new step after the current one, dropping the
// redo steps and, at the limit, the oldest step first. On failure nothing is recorded, the
// new file is gone, and the image on show counts as changed: it matches no step and no file.
[[nodiscard]] UndoResult history_push_step(UndoHistory& history, const StepImage& image,
                                           const char16_t* step_name);

struct UndoMove {
    StepFile image;
    // BMP, except at the first step when it holds the image as loaded: then `start_format`,
    // so a JPEG's lossless save is possible again.
    int32_t source_format = 0;
    uint32_t file_size = 0;  // row bytes + palette bytes + 54, as a BMP file of the step
    int32_t source_bits = 0;
    bool size_changed = false;
    // A selection mask fits the step only when its size and depth are those of the image on show.
    bool keep_selection = false;
};

// Reads the step `current_step` + `delta` (undo -1, redo +1, a jump from the history window)
// for the caller to install. On failure `current_step` and the image stay as they are.
[[nodiscard]] UndoResult history_move(UndoHistory& history, int32_t delta, const StepHeader& shown,
                                      const StepRowsAllocator& allocate, UndoMove* out);

// Drops every step; the image on show is then the one in the file, of `source_format`.
void history_clear(UndoHistory& history, int32_t source_format);

// The image on show has been saved to the file.
void history_mark_saved(UndoHistory& history);
// The title's "*" and the question whether to save.
bool history_unsaved(const UndoHistory& history);
