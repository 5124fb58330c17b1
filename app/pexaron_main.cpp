// Entry point of the main program.
#include <windows.h>

#include "shell/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
    return pexaron_main(instance, show);
}
