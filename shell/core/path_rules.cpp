#include "shell/core/path_rules.h"

#include <string>

int compare_folder_with_path(std::u16string_view folder, std::u16string_view path) {
    if (folder == path) return 0;
    if (folder.empty()) return -1;
    std::u16string with_separator(folder);
    if (with_separator.back() != u'\\') with_separator += u'\\';
    return path.find(with_separator) != std::u16string_view::npos ? 1 : -1;
}
