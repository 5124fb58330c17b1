// Seam until the png codec lands: the format is reported as unsupported.
#include "cli/codectool/codectool.h"

int32_t tool_decode_png(const std::u16string&, const ToolArgs&, LoadedImage*) { return kCodecUnsupported; }

int tool_encode_png(const LoadedImage&, const std::u16string&, const ToolArgs&) {
    return report_codec_error(kCodecUnsupported);
}

int tool_comment_png(const ToolArgs&) { return report_codec_error(kCodecUnsupported); }
int tool_textlist(const ToolArgs&) { return report_codec_error(kCodecUnsupported); }
