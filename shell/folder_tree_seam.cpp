// The folder tree's context popup is the main menus' container entry for it.
#include "shell/core/menu_rules.h"
#include "shell/folder_tree.h"
#include "shell/main_menus.h"

HMENU folder_tree_context_popup() {
    return main_menu_popup(kPopupTree);
}
