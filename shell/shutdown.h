// The ordered shutdown of the main program and the wait for its threads. The main window asks
// for it on WM_CLOSE; it needs nothing of the main window itself.
#pragma once

#include <windows.h>

// For WM_CLOSE of the main window: true lets it be destroyed.
bool shutdown_main_window();
// Writes the settings groups read in this run. False when the file could not be written (the
// user has been told). The views' lists and the cache index are dealt with by the shutdown
// itself, which knows whether a thread that may hold the lock is still running.
bool save_settings_at_exit();

enum class ThreadWait {
    ended,         // had ended, or ended within the time
    terminated,    // did not end in time and held nothing: its hooks were removed and it was ended
    left_running,  // did not end in time and may hold the process-wide lock: left alone
};
// The wait rule: wait only while the thread runs; after the time-out, end it only while this
// thread holds the process-wide lock itself, so the ended thread cannot have held it.
ThreadWait wait_for_thread(HANDLE thread, DWORD timeout_ms, void (*remove_hooks)());
// Its two halves: true when the thread had ended or ended within the time; then the
// termination, which leaves a thread that may hold the lock running.
bool wait_for_thread_end(HANDLE thread, DWORD timeout_ms);
ThreadWait terminate_thread_outside_lock(HANDLE thread, void (*remove_hooks)());

// Removes the main thread's keyboard and mouse hooks.
void remove_main_hooks();
