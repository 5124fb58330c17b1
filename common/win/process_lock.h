// The one process-wide lock: every decode and encode through the shared codec contexts, every
// thumbnail-cache file access and every folder listing runs under it, on whichever thread.
// It is never held together with another lock, nor while a box is shown, messages are pumped
// or a message is sent to another thread.
#pragma once

void process_lock_init();
void process_lock_delete();
bool process_lock_exists();
void process_lock_enter();
// False when another thread holds the lock.
bool process_lock_try_enter();
void process_lock_leave();

class ProcessLockGuard {
public:
    ProcessLockGuard() { process_lock_enter(); }
    ~ProcessLockGuard() { process_lock_leave(); }
    ProcessLockGuard(const ProcessLockGuard&) = delete;
    ProcessLockGuard& operator=(const ProcessLockGuard&) = delete;
};

// Whether some thread holds the lock now (for shutdown, which must not kill a thread that
// might hold it).
bool process_lock_held();
