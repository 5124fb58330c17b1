// The preview window on its own thread.
#pragma once

#include <windows.h>

unsigned __stdcall preview_thread_proc(void*) noexcept;
void remove_preview_hook();
