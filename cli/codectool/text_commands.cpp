// Seam until the comment and text-chunk codecs land.
#include "cli/codectool/codectool.h"

int tool_comment(const ToolArgs&) { return report_codec_error(kCodecUnsupported); }
int tool_textlist(const ToolArgs&) { return report_codec_error(kCodecUnsupported); }
