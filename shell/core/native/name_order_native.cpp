#include "shell/core/folder_listing.h"

namespace {

char16_t fold_ascii(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

}  // namespace

int platform_name_order(const char16_t* a, const char16_t* b) {
    for (;; ++a, ++b) {
        const char16_t x = fold_ascii(*a);
        const char16_t y = fold_ascii(*b);
        if (x != y) return x < y ? -1 : 1;
        if (x == 0) return 0;
    }
}
