// Lets tests pretend that a batch window exists and whether it is converting.
#pragma once

#include <windows.h>

void set_batch_state_for_tests(HWND window, bool running);
