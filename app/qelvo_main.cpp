// Entry point of the stand-alone viewer.
#include <windows.h>

#include "viewer/viewer_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
    return viewer_main(instance, show);
}
