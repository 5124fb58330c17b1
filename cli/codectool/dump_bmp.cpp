// A plain BMP dump of a decoded image for comparisons. It is deliberately independent of the
// product's BMP writer, so that writer faults cannot hide decoder faults.
#include <vector>

#include "cli/codectool/codectool.h"
#include "codecs/conversion.h"
#include "codecs/file_io.h"

namespace {

void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

}  // namespace

bool dump_loaded_image_bmp(const std::u16string& path, const LoadedImage& image) {
    const int bits = image.info.bit_count;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return false;
    const int32_t w = image.info.width;
    const int32_t h = image.info.height < 0 ? -image.info.height : image.info.height;
    const int64_t stride = stride_for_depth(w, bits);
    if (stride < 0 || !image.pixels) return false;
    const uint32_t colours = bits <= 8 ? (1u << bits) : 0;
    const uint32_t offset = 14 + 40 + 4 * colours;
    const uint64_t total = offset + static_cast<uint64_t>(stride) * h;
    std::vector<uint8_t> head;
    head.push_back('B');
    head.push_back('M');
    put32(head, static_cast<uint32_t>(total));
    put32(head, 0);
    put32(head, offset);
    put32(head, 40);
    put32(head, static_cast<uint32_t>(w));
    put32(head, static_cast<uint32_t>(image.info.height));
    put16(head, 1);
    put16(head, static_cast<uint32_t>(bits));
    put32(head, 0);
    put32(head, static_cast<uint32_t>(stride * h));
    put32(head, static_cast<uint32_t>(image.info.x_pels_per_meter));
    put32(head, static_cast<uint32_t>(image.info.y_pels_per_meter));
    put32(head, colours);
    put32(head, 0);
    for (uint32_t i = 0; i < colours; ++i) {
        head.push_back(image.palette[i].blue);
        head.push_back(image.palette[i].green);
        head.push_back(image.palette[i].red);
        head.push_back(0);
    }
    OsHandle f = file_create_write(path);
    if (f == kClosedFile) return false;
    bool ok = file_write(f, head.data(), static_cast<uint32_t>(head.size())) &&
              file_write(f, image.pixels, static_cast<uint32_t>(stride * h));
    file_close(f);
    return ok;
}
