// Stands in for the main menus' folder-tree context popup until the menus are built: the
// context menu picks its item and shows nothing.
#include "shell/folder_tree.h"

HMENU folder_tree_context_popup() {
    return nullptr;
}
