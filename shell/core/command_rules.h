// The main window's command rules that need no window: when a command may act on the views,
// the thumbnail box that a column count gives, the caption and cell sizes, the texts of the
// size list and which scroll step a scroll command posts.
#pragma once

#include <cstdint>
#include <string>

#include "shell/core/folder_listing.h"
#include "shell/core/menu_rules.h"
#include "shell/core/settings_slots.h"

// Main-window command ids.
enum MainCommand : int {
    kCommandSizeList = 210,
    kCommandFilterList = 230,
    kCommandComment = 7010,
    kCommandDelete = 7020,
    kCommandRename = 7021,
    kCommandSelectAll = 7040,
    kCommandPrintThumbnails = 7050,
    kCommandWallpaper = 7060,
    kCommandProperties = 7070,
    kCommandExitProgram = 7090,
    kCommandTreeAutoShow = 7110,
    kCommandInfoList = 7111,
    kCommandLayoutSideBySide = 7121,
    kCommandLayoutOnlyView1 = 7122,
    kCommandLayoutOnlyView2 = 7123,
    kCommandPreview = 7130,
    kCommandCaptions = 7140,
    kCommandCaptionSettings = 7141,
    kCommandRefresh = 7150,
    kCommandClearViews = 7151,
    kCommandHiddenFiles = 7160,
    kCommandSingleViewWindow = 7210,
    kCommandSingleViewFullScreen = 7211,
    kCommandEditWindow = 7212,
    kCommandSlideShow = 7213,
    kCommandViewer = 7215,
    kCommandRotateRight = 7220,
    kCommandRotateLeft = 7221,
    kCommandBatchConversion = 7230,
    kCommandBatchRename = 7240,
    kCommandToolFirst = 7311,
    kCommandToolLast = 7318,
    kCommandAssociatedProgram = 7320,
    kCommandRegisterTools = 7330,
    kCommandOptions = 7340,
    kCommandHelpFile = 7410,
    kCommandHelpMainWindow = 7411,
    kCommandHelpSingleView = 7412,
    kCommandHelpEditWindow = 7413,
    kCommandHelpSlideShow = 7414,
    kCommandHelpBatch = 7415,
    kCommandVersion = 7430,
    kCommandColumnsButton = 7500,
    kCommandColumnsBase = 7510,  // 7512 ... 7530: that many columns beyond 7510
    kCommandFilterFirst = 7800,
    kCommandFilterLast = 7805,
    kCommandScrollFirst = 7810,
    kCommandScrollLast = 7815,
    kCommandSwitchView = 7830,
};

// The options dialog opened on its tools page.
constexpr int32_t kOptionsToolsPage = 4;

// What the preconditions of the commands read: the active view and the other one, and what
// the platform knows of folders and threads.
struct CommandScene {
    const ViewState* active = nullptr;
    const ViewState* other = nullptr;
    // The active view's folder is not empty and no batch conversion runs on it.
    bool folder_valid = false;
    bool batch_running = false;
    bool batch_thread_exists = false;
};

// The view commands that act only in a given state of the views: 7010, 7020, 7040, 7050, 7070,
// 7220, 7221, 7230, 7240, 7330 and 7340. Every other id is allowed here.
bool command_allowed(int id, const CommandScene& scene);

// The thumbnail box for `columns` columns in a body `body_width` pixels wide.
SizePreset columns_box(int32_t body_width, int32_t columns);

// The column count of commands 7512-7530, 0 for any other id.
int32_t columns_for_command(int id);

// 14 pixels for each caption line shown, 14 when none is, 0 when captions are off.
int32_t caption_height(int32_t captions_shown, const int32_t lines[4]);

struct CellSize {
    int32_t width = 0;
    int32_t height = 0;
};
CellSize cell_size(int32_t box_width, int32_t box_height, int32_t caption, int32_t edge_x, int32_t edge_y);

// The scroll step (code 304's lParam) of commands 7810-7815; -1 for any other id.
int32_t scroll_step_for_command(int id);

// The help dialog of commands 7411-7415; 0 for any other id.
int32_t help_dialog_for_command(int id);

// A file the comment dialog can edit: PNG or JPEG by its name.
bool has_comment_type(const char16_t* name);
