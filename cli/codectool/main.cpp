#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/codectool/codectool.h"
#include "codecs/file_type.h"
#include "common/utf16.h"
#include "loading/codec_set.h"

int ToolArgs::get_int(const std::string& name, int fallback) const {
    auto it = options.find(name);
    if (it == options.end() || it->second.empty()) return fallback;
    return std::atoi(it->second.c_str());
}

std::u16string tool_path(const std::string& utf8) {
    return utf8_to_utf16(utf8);
}

int report_codec_error(int32_t code) {
    const char16_t* text = codec_error_text(code);
    std::printf("error %d: %s\n", code, text ? utf16_to_utf8(text).c_str() : "unknown");
    return 1;
}

int report_usage(const std::string& text) {
    std::fprintf(stderr, "error: %s\n", text.c_str());
    return 2;
}

namespace {

const char kUsage[] =
    "usage: codectool detect FILE\n"
    "       codectool decode FILE -o OUT.bmp [--scale 1|2|4|8] [--frame N]\n"
    "       codectool encode IN.bmp -o OUT --format bmp|png|jpeg|gif|tiff [format options]\n"
    "       codectool transform IN.jpg -o OUT.jpg --op rot90|rot180|rot270|fliph|flipv [--trim]\n"
    "       codectool comment get|set FILE [TEXT]\n"
    "       codectool exif FILE\n"
    "       codectool textlist FILE\n";

ToolArgs parse(int argc, char** argv, int first) {
    ToolArgs args;
    for (int i = first; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strncmp(a, "--", 2) == 0 && a[2] != '\0') {
            std::string name = a + 2;
            const size_t eq = name.find('=');
            if (eq != std::string::npos) {
                args.options[name.substr(0, eq)] = name.substr(eq + 1);
            } else if (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0) {
                args.options[name] = argv[++i];
            } else {
                args.options[name] = "";
            }
        } else if (std::strcmp(a, "-o") == 0 && i + 1 < argc) {
            args.options["o"] = argv[++i];
        } else {
            args.positional.push_back(a);
        }
    }
    return args;
}

// Flags that take no value must not swallow the next word.
void fix_flags(ToolArgs* args, std::initializer_list<const char*> flags) {
    for (const char* f : flags) {
        auto it = args->options.find(f);
        if (it != args->options.end() && !it->second.empty()) {
            args->positional.push_back(it->second);
            it->second.clear();
        }
    }
}

int32_t decode_any(const std::u16string& path, const ToolArgs& args, LoadedImage* out) {
    switch (detect_file_type(path)) {
        case kFileBmp: return tool_decode_bmp(path, args, out);
        case kFilePng: return tool_decode_png(path, args, out);
        case kFileJpeg: return tool_decode_jpeg(path, args, out);
        case kFileTiff: return tool_decode_tiff(path, args, out);
        case kFileGif: return tool_decode_gif(path, args, out);
        case kFileTooShort: return kCodecBadData;
        default: return kCodecUnsupported;
    }
}

int cmd_detect(const ToolArgs& args) {
    if (args.positional.size() != 1) return report_usage("detect takes one file");
    std::printf("%d\n", static_cast<int>(detect_file_type(tool_path(args.positional[0]))));
    return 0;
}

int cmd_decode(const ToolArgs& args) {
    if (args.positional.size() != 1 || !args.has("o")) return report_usage("decode FILE -o OUT.bmp");
    LoadedImage image = {};
    const int32_t code = decode_any(tool_path(args.positional[0]), args, &image);
    if (code != kCodecOk) return report_codec_error(code);
    const bool ok = dump_loaded_image_bmp(tool_path(args.get("o")), image);
    std::printf("%dx%d %d\n", image.info.width, image.info.height, image.info.bit_count);
    free_loaded_image(&image);
    if (!ok) return report_codec_error(kCodecCreateFailed);
    return 0;
}

int cmd_encode(const ToolArgs& args) {
    if (args.positional.size() != 1 || !args.has("o") || !args.has("format"))
        return report_usage("encode IN.bmp -o OUT --format FORMAT");
    LoadedImage image = {};
    const int32_t code = decode_any(tool_path(args.positional[0]), args, &image);
    if (code != kCodecOk) return report_codec_error(code);
    const std::string format = args.get("format");
    const std::u16string out = tool_path(args.get("o"));
    int status;
    if (format == "bmp")
        status = tool_encode_bmp(image, out, args);
    else if (format == "png")
        status = tool_encode_png(image, out, args);
    else if (format == "jpeg" || format == "jpg")
        status = tool_encode_jpeg(image, out, args);
    else if (format == "gif")
        status = tool_encode_gif(image, out, args);
    else if (format == "tiff" || format == "tif")
        status = tool_encode_tiff(image, out, args);
    else
        status = report_usage("unknown format " + format);
    free_loaded_image(&image);
    return status;
}

int cmd_comment(const ToolArgs& args) {
    if (args.positional.size() < 2) return report_usage("comment get|set FILE [TEXT]");
    switch (detect_file_type(tool_path(args.positional[1]))) {
        case kFilePng: return tool_comment_png(args);
        case kFileJpeg: return tool_comment_jpeg(args);
        default: return report_codec_error(kCodecCommentNotEditable);
    }
}

}  // namespace

int codectool_run(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!create_codec_contexts()) return report_codec_error(kCodecNoMemory);
    const std::string command = argv[1];
    ToolArgs args = parse(argc, argv, 2);
    fix_flags(&args, {"trim", "interlace", "progressive", "grey", "optimize", "all-frames"});
    int status;
    if (command == "detect")
        status = cmd_detect(args);
    else if (command == "decode")
        status = cmd_decode(args);
    else if (command == "encode")
        status = cmd_encode(args);
    else if (command == "transform")
        status = tool_transform(args);
    else if (command == "comment")
        status = cmd_comment(args);
    else if (command == "exif")
        status = tool_exif(args);
    else if (command == "textlist")
        status = tool_textlist(args);
    else {
        std::fputs(kUsage, stderr);
        status = 2;
    }
    destroy_codec_contexts();
    return status;
}
