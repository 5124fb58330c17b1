// Seam until the jpeg codec lands: the format is reported as unsupported.
#include "cli/codectool/codectool.h"

int32_t tool_decode_jpeg(const std::u16string&, const ToolArgs&, LoadedImage*) { return kCodecUnsupported; }

int tool_encode_jpeg(const LoadedImage&, const std::u16string&, const ToolArgs&) {
    return report_codec_error(kCodecUnsupported);
}

int tool_transform(const ToolArgs&) { return report_codec_error(kCodecUnsupported); }
int tool_exif(const ToolArgs&) { return report_codec_error(kCodecUnsupported); }
int tool_comment_jpeg(const ToolArgs&) { return report_codec_error(kCodecUnsupported); }
