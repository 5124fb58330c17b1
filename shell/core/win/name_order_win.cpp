#include <windows.h>

#include "shell/core/folder_listing.h"

int platform_name_order(const char16_t* a, const char16_t* b) {
    // CompareStringW answers 1, 2 or 3 for less, equal and greater (0 on failure, which then
    // sorts as less rather than breaking the order's sign).
    return CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE | SORT_STRINGSORT,
                          reinterpret_cast<const wchar_t*>(a), -1, reinterpret_cast<const wchar_t*>(b), -1) -
           2;
}
