// Every private message of the program: WM_APP with a code in wParam. Who posts each code and
// who owns what lParam points to is noted beside it; pointed-to memory stays alive in the
// sender (view arrays, process-wide handles, strings of the batch window).
#pragma once

#include <windows.h>

constexpr UINT kAppMessage = WM_APP;

// To the main window (main_app_message).
enum MainCode : WPARAM {
    kMainView1Frame = 100,     // view 1 thread; lParam its frame window
    kMainView2Frame = 101,     // view 2 thread; lParam its frame window
    kMainOpenHotMenu = 110,    // keyboard hook
    kMainHotPrevious = 111,    // keyboard hook (Left)
    kMainHotNext = 112,        // keyboard hook (Right)
    kMainOpenMenuFirst = 113,  // 113-117: keyboard hook, toolbar drop-down; lParam button 0-4
    kMainOpenMenuLast = 117,
    kMainClickHotButton = 120,  // menu-bar hot tracking
    kMainThumbMenu = 121,       // thumbnail cells; lParam screen point (x low, y high, signed)
    kMainActionImage1 = 122,    // 122-129 mouse actions of the views and the preview
    kMainActionImage2 = 123,
    kMainActionInfo1 = 124,
    kMainActionInfo2 = 125,
    kMainBothImage1 = 126,
    kMainBothImage2 = 127,
    kMainBothInfo1 = 128,
    kMainBothInfo2 = 129,
    kMainFilesDropped = 140,     // views; lParam the HDROP, finished by the main window
    kMainToolbarChecks = 141,    // views: a busy state changed
    kMainFolderChanged = 142,    // views: a refresh starts
    kMainAutoTree = 150,         // views; lParam 1 show, 0 hide the auto-shown tree
    kMainActiveView = 151,       // views
    kMainDragStarts = 152,       // views
    kMainInfo1 = 153,            // view 1; lParam 0 or an entry reference (entry_of_selection_message)
    kMainInfo2 = 154,            // view 2
    kMainShowError = 160,        // any thread; lParam the error code
    kMainThreadEnded = 170,      // image-window and batch threads; lParam points to its KernelHandle
    kMainOpenEditWindow = 180,   // single view thread, at its end
    kMainFolderConverted = 190,  // batch conversion; lParam the folder text (batch window's)
};
constexpr WPARAM kMainFirstCode = 100;
constexpr WPARAM kMainLastCode = 190;

// To a thumbnail view's frame.
enum ViewCode : WPARAM {
    kViewActivate = 300,
    kViewToggleMarks = 301,
    kViewRepaint = 302,
    kViewRemoveMarked = 303,
    kViewScroll = 304,
    kViewRelayout = 305,
    kViewRefresh = 310,
    kViewClear = 311,
    kViewClose = 312,
    kViewTransform = 313,
};

// To the preview window.
enum PreviewCode : WPARAM {
    kPreviewShow = 400,  // thumbnail cells (show_preview_for_cell); lParam a request the preview frees
    kPreviewHide = 401,
    kPreviewEnd = 402,
};

// To the edit window (lParam unused).
enum ImageWindowCode : WPARAM {
    kImagePressToolGroup = 0,  // its mouse hook: the pointer moved onto another tool group's button
    kImageAskReload = 600,     // its activation: the file on show changed on disk
    kImageRemeasure = 601,     // the main window: the system's metrics changed; lay out again
};

// To an edit tool's worker window.
enum ToolWorkerCode : WPARAM {
    kToolRecompute = 500,
    kToolClose = 501,
};

// To the batch conversion window.
constexpr WPARAM kBatchStop = 0;
