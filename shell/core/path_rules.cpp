#include "shell/core/path_rules.h"

#include <string>

namespace {

std::u16string upper_path(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) c = path_upper_char(c);
    return out;
}

}  // namespace

char16_t path_upper_char(char16_t c) {
    const auto minus = [c](int d) { return static_cast<char16_t>(c - d); };
    if (c < 0x80) return c >= u'a' && c <= u'z' ? minus(0x20) : c;
    // Latin-1: the small letters sit 0x20 above their capitals; the division sign does not.
    if (c >= 0xE0 && c <= 0xFE) return c == 0xF7 ? c : minus(0x20);
    if (c == 0xFF) return 0x178;
    // Latin Extended-A pairs capital and small letter; which of the two is even changes twice.
    // The dotted and dotless i (0x130, 0x131) and the long s (0x17F) stay as they are.
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return (c & 1) ? minus(1) : c;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : minus(1);
    // Greek: the final sigma is a small sigma.
    if (c == 0x3C2) return 0x3A3;
    if (c >= 0x3B1 && c <= 0x3CB) return minus(0x20);
    // Cyrillic.
    if (c >= 0x430 && c <= 0x44F) return minus(0x20);
    if (c >= 0x450 && c <= 0x45F) return minus(0x50);
    // Full-width Latin small letters.
    if (c >= 0xFF41 && c <= 0xFF5A) return minus(0x20);
    return c;
}

bool same_path_text(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (path_upper_char(a[i]) != path_upper_char(b[i])) return false;
    return true;
}

int compare_folder_with_path(std::u16string_view folder, std::u16string_view path) {
    if (same_path_text(folder, path)) return 0;
    if (folder.empty()) return -1;
    std::u16string with_separator = upper_path(folder);
    if (with_separator.back() != u'\\') with_separator += u'\\';
    return upper_path(path).find(with_separator) != std::u16string::npos ? 1 : -1;
}
