/* A program that stands in for the viewer and the external tools in the launching tests: it
   appends one line to the file named by PX_STAND_IN_LOG: its creation time (100 ns units, so
   the test can order concurrent starts), a tab, and its command line as UTF-8. */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR command_line, int show) {
    (void)instance;
    (void)previous;
    (void)command_line;
    (void)show;
    wchar_t log_path[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"PX_STAND_IN_LOG", log_path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    char line[40000];
    int length = wsprintfA(line, "%08lx%08lx\t", created.dwHighDateTime, created.dwLowDateTime);
    int text = WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, line + length,
                                   (int)sizeof line - length - 2, NULL, NULL);
    if (text <= 0) return 1;
    length += text - 1;
    line[length++] = '\n';
    /* Several processes append at once: retry while another holds the file. */
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE file =
            CreateFileW(log_path, FILE_APPEND_DATA, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, line, (DWORD)length, &written, NULL);
            CloseHandle(file);
            return 0;
        }
        Sleep(10);
    }
    return 1;
}
