// The message loop of every user-interface thread of the main program.
#pragma once

// Whether a thread offers its keys to the main window's accelerators first.
enum class MainKeys {
    never,
    when_main_active,  // only while the main window is the active window
    always,
};

// Pumps this thread's messages until WM_QUIT and returns its exit code (0 when GetMessageW
// fails).
int run_thread_message_loop(MainKeys keys) noexcept;
