// The places of the folder tree and the two views inside the main window's client area.
#pragma once

void layout_panes();
