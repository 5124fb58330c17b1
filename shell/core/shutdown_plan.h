// Which steps of the main window's shutdown run, given the threads that would not end.
//
// A thread that does not end in time is terminated only when it cannot be inside the
// process-wide lock; otherwise it is left running until the process exits. Every step that
// takes the lock (freeing the views' file lists, compacting the cache index) or pulls shared
// state from under a running thread (deleting the lock, destroying the codec contexts) is then
// skipped: it would block for ever or break the running thread. The settings are written before
// any thread is terminated, because a thread killed in the middle of a heap or file call can
// leave that call's lock held for ever.
#pragma once

#include <cstdint>
#include <vector>

enum class ShutdownThread : uint8_t { conversion, image_window, view1, view2, preview };

enum class ShutdownStep : uint8_t {
    delete_lock,
    free_printer_setup,
    restore_subclassed_controls,
    destroy_codec_contexts,
    destroy_main_menus,
    free_view_lists,
    compact_cache,
    write_settings,
};

class ShutdownPlan {
public:
    explicit ShutdownPlan(bool optimise_cache) : optimise_cache_(optimise_cache) {}

    // A thread is about to be terminated. True the first time: the caller writes the settings
    // now, and the tail no longer writes them.
    bool write_settings_before_terminating();
    void left_running(ShutdownThread thread);
    bool any_left_running() const { return left_running_ != 0; }
    bool settings_written() const { return settings_written_; }

    // The steps after every thread has ended, been terminated or been left running, in order.
    std::vector<ShutdownStep> tail() const;

private:
    bool optimise_cache_;
    bool settings_written_ = false;
    uint32_t left_running_ = 0;
};
