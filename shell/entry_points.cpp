#include "shell/entry_points.h"

namespace {

ShellEntryPoints g_table;

}  // namespace

const ShellEntryPoints& shell_entry_points() {
    return g_table;
}

void install_shell_entry_points(const ShellEntryPoints& table) {
    g_table = table;
}
