// Stands in for the dialogs and batch jobs until they are built: no batch window runs, no
// printer set-up is held and the operations help shows nothing.
#include "shell/dialogs.h"
#include "shell/dialogs_test_seam.h"

namespace {

HWND g_batch_window = nullptr;
bool g_running = false;

}  // namespace

HWND batch_window() {
    return g_batch_window;
}
bool batch_conversion_running() {
    return g_running;
}
void free_printer_setup_handles() {}
void show_main_operations_help(HWND) {}

void set_batch_state_for_tests(HWND window, bool running) {
    g_batch_window = window;
    g_running = running;
}
