#include "shell/folder_search.h"

#include "common/win/handle.h"

bool SystemFolderSearch::find(const std::u16string& pattern, std::vector<FoundFile>* found) {
    WIN32_FIND_DATAW data;
    FindHandle search(FindFirstFileW(reinterpret_cast<const wchar_t*>(pattern.c_str()), &data));
    if (!search.valid()) return false;
    do {
        found->push_back(
            FoundFile{std::u16string(reinterpret_cast<const char16_t*>(data.cFileName)),
                      static_cast<uint32_t>(data.dwFileAttributes),
                      {data.ftLastWriteTime.dwLowDateTime, data.ftLastWriteTime.dwHighDateTime}});
    } while (FindNextFileW(search.get(), &data));
    return true;
}

FolderSearch& system_folder_search() {
    static SystemFolderSearch search;
    return search;
}

std::u16string format_file_time(const FILETIME& time) {
    FILETIME local;
    SYSTEMTIME parts;
    if (!FileTimeToLocalFileTime(&time, &local) || !FileTimeToSystemTime(&local, &parts)) return u"";
    return format_file_time(
        LocalFileTime{parts.wYear, parts.wMonth, parts.wDay, parts.wHour, parts.wMinute, parts.wSecond});
}
