// The shell's process-wide state, in a file of its own so that a program using only the shell's
// helpers does not pull in the browser's start-up.
#include "shell/shell_state.h"

ShellState g_shell;
