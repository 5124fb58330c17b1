#include "shell/core/shutdown_plan.h"

bool ShutdownPlan::write_settings_before_terminating() {
    if (settings_written_) return false;
    settings_written_ = true;
    return true;
}

void ShutdownPlan::left_running(ShutdownThread thread) {
    left_running_ |= 1u << static_cast<uint32_t>(thread);
}

std::vector<ShutdownStep> ShutdownPlan::tail() const {
    const bool all_ended = left_running_ == 0;
    std::vector<ShutdownStep> steps;
    // Compaction takes the lock, so it runs while the lock still exists.
    if (all_ended && optimise_cache_) steps.push_back(ShutdownStep::compact_cache);
    if (all_ended) steps.push_back(ShutdownStep::delete_lock);
    steps.push_back(ShutdownStep::free_printer_setup);
    steps.push_back(ShutdownStep::restore_subclassed_controls);
    if (all_ended) steps.push_back(ShutdownStep::destroy_codec_contexts);
    steps.push_back(ShutdownStep::destroy_main_menus);
    if (all_ended) steps.push_back(ShutdownStep::free_view_lists);
    if (!settings_written_) steps.push_back(ShutdownStep::write_settings);
    return steps;
}
