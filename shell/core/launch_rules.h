// What the launchers hand to other programs and windows: the paths of a view's files, the
// parameter strings of the external tools and the stand-alone viewer, which files the viewer
// opens and in which order, and what a mouse action runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "shell/core/folder_listing.h"

// A path buffer of the system holds 259 characters and the terminator.
constexpr size_t kMaxPathChars = kViewPathChars - 1;
// The longest command line the system passes to a new process, terminator not counted.
constexpr size_t kMaxCommandLineChars = 32767;

// The folder, a backslash unless it ends in one, and the name; nothing when the name is
// empty or the result would not fit a path buffer (a cut path names another file).
std::optional<std::u16string> join_entry_path(const char16_t* folder, const char16_t* name);

// The path in double quotes when it holds a blank, else unchanged; nothing when the quoted
// form would not fit a path buffer.
std::optional<std::u16string> quote_path_with_spaces(const std::u16string& path);

// The parameters of an external tool: none at all for a program that is not an executable;
// else the tool's parameter text, one blank when that text is not empty, and each marked file
// of the view in index order as "folder\name" in double quotes, one blank between them.
// Nothing when a path would not fit a path buffer or the whole command line (the program in
// quotes, a blank, the parameters) would exceed the system's limit: a cut list would hand the
// tool other files than the marked ones.
std::optional<std::u16string> build_tool_parameters(const std::u16string& program, const std::u16string& text,
                                                    bool executable, const ViewState& view);

// One stand-alone viewer process: the view and entry it opens and its one parameter, the
// path in double quotes.
struct ViewerLaunch {
    int view = 0;
    int32_t entry = 0;
    std::u16string parameter;
};

// The viewer processes for view `v` (`views[v]`, the other view `views[1 - v]`): every marked
// entry of v in index order and then every marked entry of the other view, when either view
// has marked entries; else entry 0 of v, or of the other view when v has none. A file whose
// path would not fit is passed over. The list ends when it holds `limit` launches; a limit
// below 1 still gives one.
std::vector<ViewerLaunch> plan_viewer_launches(const ViewState* const views[2], int v, int32_t limit);

// What a mouse action code (settings slots 14, 15, 382, 383) runs.
enum class MouseActionKind {
    single_view_window,
    single_view_full_screen,
    edit_window,
    rename,
    associated_program,
    external_tool,
    viewer,
};

struct MouseAction {
    MouseActionKind kind = MouseActionKind::viewer;
    int tool = 0;  // 0-7 for external_tool
};

MouseAction decode_mouse_action(int32_t code);

// The entry an image window opens: `requested` when it is 0 or more, else the first marked
// entry, or entry 0 when nothing is marked. -1 when there is none (no entries, a requested
// index out of range, marks counted but none found, or an entry without a name).
int32_t image_window_entry(const ViewState& view, int32_t requested);
