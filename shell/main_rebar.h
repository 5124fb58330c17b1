// The rebar at the top of the main window.
#pragma once

#include <windows.h>

// The rebar (kRebarId) with the menu-bar toolbar (kMenuBarId) in its first band.
void create_main_rebar(HWND main_window);
