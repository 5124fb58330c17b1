#include "loading/browser_load_jpeg.h"

#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "codecs/file_io.h"

namespace {

struct ProbeError {
    jpeg_error_mgr manager;
    jmp_buf recovery;
};

void probe_error_exit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ProbeError*>(info->err)->recovery, 1);
}
void probe_silence(j_common_ptr, int) {}

// Owns nothing with a destructor: the library's longjmp may leave it at any call.
bool probe_header(const uint8_t* data, unsigned long size, JpegHeaderFacts* facts) {
    jpeg_decompress_struct info;
    ProbeError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = probe_error_exit;
    error.manager.emit_message = probe_silence;
    if (setjmp(error.recovery)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, const_cast<unsigned char*>(data), size);
    jpeg_read_header(&info, TRUE);
    facts->width = static_cast<int32_t>(info.image_width);
    facts->height = static_cast<int32_t>(info.image_height);
    facts->imcu_width = info.max_h_samp_factor * DCTSIZE;
    facts->imcu_height = info.max_v_samp_factor * DCTSIZE;
    jpeg_destroy_decompress(&info);
    return true;
}

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
    return total > 0 && probe_header(head.data(), total, facts);
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
