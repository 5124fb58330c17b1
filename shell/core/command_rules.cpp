#include "shell/core/command_rules.h"

#include <algorithm>

#include "codecs/file_type.h"

namespace {

bool has_entries(const ViewState* view) {
    return view && view->entries && view->count > 0;
}
bool idle(const ViewState* view) {
    return !view || view->busy == kViewIdle;
}
bool has_marks(const ViewState* view) {
    return has_entries(view) && view->marked_count > 0;
}
bool same_folder(const ViewState* a, const ViewState* b) {
    return a && b && std::u16string(a->folder) == std::u16string(b->folder);
}

}  // namespace

bool command_allowed(int id, const CommandScene& s) {
    const ViewState* v = s.active;
    switch (id) {
        case kCommandComment: {
            if (!s.folder_valid || !has_entries(v) || v->marked_count != 1) return false;
            const int32_t first = first_selected_entry(*v);
            return first >= 0 && has_comment_type(v->entries[first].name);
        }
        case kCommandProperties: return has_entries(v) && v->marked_count == 1;
        case kCommandDelete:
            if (!s.folder_valid || !idle(v) || !has_marks(v)) return false;
            // The other view's build still reads the files that would go.
            return idle(s.other) || !same_folder(v, s.other);
        case kCommandSelectAll: return has_entries(v) && idle(v);
        case kCommandPrintThumbnails: return s.folder_valid && v->folder[0] != 0 && has_entries(v);
        case kCommandRotateRight:
        case kCommandRotateLeft: return s.folder_valid && idle(v) && has_marks(v);
        case kCommandBatchConversion:
            return !s.batch_thread_exists && idle(v) && idle(s.other) && has_entries(v) && s.folder_valid;
        case kCommandBatchRename: return s.folder_valid && idle(v) && has_entries(v);
        case kCommandRegisterTools:
        case kCommandOptions: return !s.batch_running && idle(v) && idle(s.other);
        default: return true;
    }
}

SizePreset columns_box(int32_t body_width, int32_t columns) {
    if (columns < 1) columns = 1;
    int32_t c = body_width / columns;
    c = c >= 34 ? std::min(c - 2, 800) : 32;
    const int32_t d = 3 * c > 127 ? (3 * c) / 4 : 32;
    return SizePreset{c, d};
}

int32_t columns_for_command(int id) {
    switch (id) {
        case 7512:
        case 7513:
        case 7514:
        case 7516:
        case 7518:
        case 7522:
        case 7530: return id - kCommandColumnsBase;
        default: return 0;
    }
}

int32_t caption_height(int32_t captions_shown, const int32_t lines[4]) {
    if (!captions_shown) return 0;
    int32_t shown = 0;
    for (int i = 0; i < 4; ++i)
        if (lines[i]) ++shown;
    return 14 * std::max(shown, 1);
}

CellSize cell_size(int32_t box_width, int32_t box_height, int32_t caption, int32_t edge_x, int32_t edge_y) {
    return CellSize{box_width + edge_x, box_height + caption + edge_y};
}

int32_t scroll_step_for_command(int id) {
    static constexpr int32_t kSteps[] = {6, 7, 2, 3, 0, 1};
    if (id < kCommandScrollFirst || id > kCommandScrollLast) return -1;
    return kSteps[id - kCommandScrollFirst];
}

int32_t help_dialog_for_command(int id) {
    static constexpr int32_t kDialogs[] = {6700, 6750, 6770, 6780, 6790};
    if (id < kCommandHelpMainWindow || id > kCommandHelpBatch) return 0;
    return kDialogs[id - kCommandHelpMainWindow];
}

bool has_comment_type(const char16_t* name) {
    size_t n = 0;
    while (n < kViewPathChars && name[n]) ++n;
    const FileTypeCode type = detect_type_from_extension(std::u16string(name, n));
    return type == kFilePng || type == kFileJpeg;
}
