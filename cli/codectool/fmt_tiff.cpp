// Seam until the tiff codec lands: the format is reported as unsupported.
#include "cli/codectool/codectool.h"

int32_t tool_decode_tiff(const std::u16string&, const ToolArgs&, LoadedImage*) { return kCodecUnsupported; }

int tool_encode_tiff(const LoadedImage&, const std::u16string&, const ToolArgs&) {
    return report_codec_error(kCodecUnsupported);
}
