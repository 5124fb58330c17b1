// The folder listing over the system's own directory search and clock.
#pragma once

#include <windows.h>

#include <string>

#include "shell/core/folder_listing.h"

// FindFirstFileW / FindNextFileW behind the listing's search interface.
class SystemFolderSearch : public FolderSearch {
public:
    bool find(const std::u16string& pattern, std::vector<FoundFile>* found) override;
};

// The process's one instance; it keeps no state between searches.
FolderSearch& system_folder_search();

// A file time in the caption's form, in local time; the empty string when the time cannot be
// converted.
std::u16string format_file_time(const FILETIME& time);
