#include "imagewin/core/undo_history.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "codecs/file_io.h"
#include "common/replaceable.h"
#include "common/stride.h"

namespace {

// Large rows are written and read in pieces the 32-bit call sizes can carry.
constexpr uint32_t kChunkBytes = 16u << 20;

class PortableUndoFileOps : public UndoFileOps {
public:
    bool create_temp_file(std::u16string* path) override {
        std::error_code error;
        const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
        if (error) return false;
        // Only one image window exists in the one running main program, so a name not yet
        // taken stays free until it is created here.
        for (int attempt = 0; attempt < 0x10000; ++attempt) {
            const uint32_t unique = next_unique_++ & 0xFFFFu;
            if (!unique) continue;
            char name[16];
            std::snprintf(name, sizeof name, "tmp%X.tmp", static_cast<unsigned>(unique));
            const std::filesystem::path candidate = folder / name;
            if (std::filesystem::exists(candidate, error) || error) continue;
            const std::u16string text = candidate.u16string();
            OsHandle file = file_create_write(text);
            if (file == kClosedFile) return false;
            file_close(file);
            *path = text;
            return true;
        }
        return false;
    }

    OsHandle open_write(const std::u16string& path) override { return file_create_write(path); }

    bool write(OsHandle file, const void* data, uint32_t size) override {
        return file_write(file, data, size);
    }

    OsHandle open_read(const std::u16string& path) override { return file_open_read(path); }

    bool size(OsHandle file, uint64_t* size) override { return file_size(file, size); }

    bool read(OsHandle file, void* buffer, uint32_t size, uint32_t* got) override {
        return file_read(file, buffer, size, got);
    }

    void close(OsHandle file) override { file_close(file); }

    void delete_file(const std::u16string& path) override { (void)file_delete(path); }

private:
    // Started from the clock, as the system's own temporary names are.
    uint32_t next_unique_ =
        static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
};

PortableUndoFileOps g_portable_ops;
Replaceable<UndoFileOps> g_ops(g_portable_ops);

void put_i32(uint8_t* p, int32_t value) {
    const uint32_t v = static_cast<uint32_t>(value);
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

int32_t get_i32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

bool write_all(UndoFileOps& ops, OsHandle file, const uint8_t* data, int64_t size) {
    while (size > 0) {
        const uint32_t piece = size > kChunkBytes ? kChunkBytes : static_cast<uint32_t>(size);
        if (!ops.write(file, data, piece)) return false;
        data += piece;
        size -= piece;
    }
    return true;
}

bool read_all(UndoFileOps& ops, OsHandle file, uint8_t* data, int64_t size) {
    while (size > 0) {
        const uint32_t piece = size > kChunkBytes ? kChunkBytes : static_cast<uint32_t>(size);
        uint32_t got = 0;
        if (!ops.read(file, data, piece, &got) || got != piece) return false;
        data += piece;
        size -= piece;
    }
    return true;
}

uint64_t next_serial(UndoHistory& history) {
    return ++history.last_serial;
}

void delete_step(UndoFileOps& ops, const UndoStep& step) {
    if (!step.path.empty()) ops.delete_file(step.path);
}

}  // namespace

UndoFileOps& portable_undo_file_ops() {
    return g_portable_ops;
}

UndoFileOps* set_undo_file_ops(UndoFileOps* ops) {
    return g_ops.install(ops);
}

UndoFileOps& undo_file_ops() {
    return g_ops.get();
}

bool step_header_valid(const StepHeader& header) {
    return header.width >= 1 && header.width <= kStepSideLimit && header.height >= 1 &&
           header.height <= kStepSideLimit && (header.bit_count == 8 || header.bit_count == 24);
}

int64_t step_stride_bytes(const StepHeader& header) {
    return row_stride_bytes(header.width, header.bit_count);
}

int64_t step_file_bytes(const StepHeader& header) {
    const int64_t palette = header.bit_count == 24 ? 0 : kStepPaletteBytes;
    return kStepHeaderBytes + palette + step_stride_bytes(header) * header.height;
}

bool write_step_file(UndoFileOps& ops, const std::u16string& path, const StepImage& image) {
    const StepHeader& h = image.header;
    if (!step_header_valid(h) || !image.bits || (h.bit_count == 8 && !image.palette)) return false;
    OsHandle file = ops.open_write(path);
    if (file == kClosedFile) return false;
    uint8_t head[kStepHeaderBytes + kStepPaletteBytes];
    put_i32(head, h.width);
    put_i32(head + 4, h.height);
    put_i32(head + 8, h.bit_count);
    uint32_t head_bytes = kStepHeaderBytes;
    if (h.bit_count == 8) {
        for (int i = 0; i < 256; ++i) {
            uint8_t* q = head + kStepHeaderBytes + 4 * i;
            q[0] = image.palette[i].blue;
            q[1] = image.palette[i].green;
            q[2] = image.palette[i].red;
            q[3] = 0;
        }
        head_bytes += kStepPaletteBytes;
    }
    const bool ok = write_all(ops, file, head, head_bytes) &&
                    write_all(ops, file, image.bits, step_stride_bytes(h) * h.height);
    ops.close(file);
    return ok;
}

bool read_step_file(UndoFileOps& ops, const std::u16string& path, const StepRowsAllocator& allocate,
                    StepFile* out) {
    *out = StepFile{};
    OsHandle file = ops.open_read(path);
    if (file == kClosedFile) return false;
    bool ok = false;
    uint64_t length = 0;
    uint8_t head[kStepHeaderBytes];
    if (ops.size(file, &length) && read_all(ops, file, head, kStepHeaderBytes)) {
        StepHeader h;
        h.width = get_i32(head);
        h.height = get_i32(head + 4);
        h.bit_count = get_i32(head + 8);
        if (step_header_valid(h) && length == static_cast<uint64_t>(step_file_bytes(h))) {
            uint8_t palette[kStepPaletteBytes];
            ok = h.bit_count == 24 || read_all(ops, file, palette, kStepPaletteBytes);
            if (ok && h.bit_count != 24) {
                for (int i = 0; i < 256; ++i) {
                    out->palette[i] = RgbQuad{palette[4 * i], palette[4 * i + 1], palette[4 * i + 2], 0};
                }
            }
            if (ok) {
                out->header = h;
                out->bits = allocate(h, out->palette);
                ok = out->bits && read_all(ops, file, out->bits, step_stride_bytes(h) * h.height);
            }
        }
    }
    ops.close(file);
    return ok;
}

UndoResult history_push_step(UndoHistory& history, const StepImage& image, const char16_t* step_name) {
    UndoFileOps& ops = undo_file_ops();
    while (history.step_count() > history.current_step + 1) {
        delete_step(ops, history.steps.back());
        history.steps.pop_back();
    }
    if (history.step_count() >= kUndoStepLimit) {
        delete_step(ops, history.steps.front());
        history.steps.erase(history.steps.begin());
        --history.current_step;
    }
    std::u16string path;
    bool ok = ops.create_temp_file(&path);
    if (ok && !write_step_file(ops, path, image)) {
        ops.delete_file(path);
        ok = false;
    }
    if (!ok) {
        history.shown_serial = next_serial(history);
        return UndoResult::save_failed;
    }
    UndoStep step;
    step.path = path;
    step.name = step_name ? step_name : u"";
    // The first step records the image on show before its first change; every later one a
    // new image.
    step.serial = history.steps.empty() ? history.shown_serial : next_serial(history);
    if (!history.steps.empty()) ++history.current_step;
    history.steps.push_back(step);
    history.shown_serial = step.serial;
    return UndoResult::ok;
}

UndoResult history_move(UndoHistory& history, int32_t delta, const StepHeader& shown,
                        const StepRowsAllocator& allocate, UndoMove* out) {
    *out = UndoMove{};
    const int64_t target = static_cast<int64_t>(history.current_step) + delta;
    if (target < 0 || target >= history.step_count()) return UndoResult::no_step;
    const UndoStep& step = history.steps[static_cast<size_t>(target)];
    if (!read_step_file(undo_file_ops(), step.path, allocate, &out->image)) return UndoResult::run_failed;
    const StepHeader& h = out->image.header;
    history.current_step = static_cast<int32_t>(target);
    history.shown_serial = step.serial;
    const bool loaded_image =
        target == 0 && history.loaded_serial != 0 && step.serial == history.loaded_serial;
    out->source_format = loaded_image ? history.start_format : kUndoFormatBmp;
    const int64_t palette_bytes = h.bit_count == 24 ? 0 : kStepPaletteBytes;
    out->file_size = static_cast<uint32_t>(step_stride_bytes(h) * h.height + palette_bytes + 54);
    out->source_bits = h.bit_count;
    out->size_changed = h.width != shown.width || h.height != shown.height;
    out->keep_selection = !out->size_changed && h.bit_count == shown.bit_count;
    return UndoResult::ok;
}

void history_clear(UndoHistory& history, int32_t source_format) {
    UndoFileOps& ops = undo_file_ops();
    for (const UndoStep& step : history.steps) delete_step(ops, step);
    history.steps.clear();
    history.current_step = 0;
    history.start_format = source_format;
    history.shown_serial = next_serial(history);
    history.saved_serial = history.shown_serial;
    history.loaded_serial = history.shown_serial;
}

void history_mark_saved(UndoHistory& history) {
    history.saved_serial = history.shown_serial;
}

bool history_unsaved(const UndoHistory& history) {
    return history.shown_serial != history.saved_serial;
}
