#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/codectool/codectool.h"
#include "codecs/file_io.h"

int tool_comment(const ToolArgs& args, CodecContext* context, const CommentFormat& format) {
    const std::string& action = args.positional[0];
    const std::u16string path = tool_path(args.positional[1]);
    if (action == "get") {
        std::vector<char> text(format.text_bytes, 0);
        format.read(context, path, text.data(), static_cast<uint32_t>(text.size()));
        const int32_t code = context->error;
        close_codec_files(context);
        if (code != kCodecOk) return report_codec_error(code);
        std::fwrite(text.data(), 1, std::strlen(text.data()), stdout);
        std::fputc('\n', stdout);
        return 0;
    }
    if (action != "set") return report_usage("comment get|set FILE [TEXT]");
    // Without TEXT the comment is removed.
    const bool remove = args.positional.size() < 3;
    const std::string text = remove ? std::string() : args.positional[2];
    int32_t mode = remove ? 0 : 1;
    const std::u16string temporary = path + u".tmp";
    const bool ok = format.write(context, path, temporary, text.c_str(), &mode);
    // No temporary file means the file needed no change.
    const bool made = context->output_file.is_open();
    const int32_t code = context->error;
    close_codec_files(context);
    if (!ok) {
        if (made) (void)file_delete(temporary);
        return report_codec_error(code != kCodecOk ? code : format.unreported_failure);
    }
    if (made && !file_replace(temporary, path)) {
        (void)file_delete(temporary);
        return report_codec_error(kCodecCreateFailed);
    }
    format.report(made, mode);
    return 0;
}
