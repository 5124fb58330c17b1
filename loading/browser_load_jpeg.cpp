#include "loading/browser_load_jpeg.h"

#include <vector>

#include "codecs/file_io.h"

namespace {

// Whole iMCUs only, unless the side is shorter than one.
int32_t trim(int32_t side, int32_t imcu) {
    return side >= imcu ? side / imcu * imcu : side;
}

}  // namespace

bool read_jpeg_header_facts(const std::u16string& path, JpegHeaderFacts* facts) {
    OsHandle file = file_open_read(path);
    if (file == kClosedFile) return false;
    // The frame header lies well inside the first 1 MiB of any file worth checking here; a
    // file with more markers before it simply fails the check.
    std::vector<uint8_t> head(1u << 20);
    uint32_t total = 0;
    uint32_t got = 0;
    while (total < head.size() && file_read(file, head.data() + total, uint32_t(head.size()) - total, &got) &&
           got)
        total += got;
    file_close(file);
    return total > 0 && jpeg_read_header_facts(head.data(), total, facts);
}

void jpeg_trimmed_transform_size(const JpegHeaderFacts& s, int32_t kind, int32_t* width, int32_t* height) {
    switch (kind) {
        case 1:  // rotate 90: transposed, then the right edge trimmed
            *width = trim(s.height, s.imcu_height);
            *height = s.width;
            break;
        case 3:  // rotate 270: transposed, then the bottom edge trimmed
            *width = s.height;
            *height = trim(s.width, s.imcu_width);
            break;
        case 2:
            *width = trim(s.width, s.imcu_width);
            *height = trim(s.height, s.imcu_height);
            break;
        case 4:
            *width = trim(s.width, s.imcu_width);
            *height = s.height;
            break;
        case 5:
            *width = s.width;
            *height = trim(s.height, s.imcu_height);
            break;
        default:
            *width = s.width;
            *height = s.height;
            break;
    }
}
