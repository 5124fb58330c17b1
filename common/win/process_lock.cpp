#include "common/win/process_lock.h"

#include <windows.h>

namespace {

CRITICAL_SECTION g_lock;
bool g_exists = false;
volatile LONG g_depth = 0;

}  // namespace

void process_lock_init() {
    if (g_exists) return;
    InitializeCriticalSection(&g_lock);
    g_exists = true;
}

void process_lock_delete() {
    if (!g_exists) return;
    g_exists = false;
    DeleteCriticalSection(&g_lock);
}

bool process_lock_exists() {
    return g_exists;
}

void process_lock_enter() {
    if (!g_exists) return;
    EnterCriticalSection(&g_lock);
    InterlockedIncrement(&g_depth);
}

bool process_lock_try_enter() {
    if (!g_exists) return true;
    if (!TryEnterCriticalSection(&g_lock)) return false;
    InterlockedIncrement(&g_depth);
    return true;
}

void process_lock_leave() {
    if (!g_exists) return;
    InterlockedDecrement(&g_depth);
    LeaveCriticalSection(&g_lock);
}

bool process_lock_held() {
    return InterlockedCompareExchange(&g_depth, 0, 0) != 0;
}
