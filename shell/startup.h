// The life of the main program's process: start-up, the single instance, the message loop and
// the ordered shutdown.
#pragma once

#include <windows.h>

#include "shell/shell_helpers.h"
#include "shell/shutdown.h"

int pexaron_main(HINSTANCE instance, int show);

// True when this process became the running instance and its main window exists.
bool start_single_instance(int show, const wchar_t* command_line);
void forward_to_running_instance(HWND running, const wchar_t* command_line);
bool init_application(int show);
int run_message_loop();
