// codectool: the command-line harness over the codecs, used for reference comparisons.
// Each format's commands live in a file of their own (fmt_<format>.cpp).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "codecs/codec_context.h"

// The whole tool over UTF-8 arguments; the platform's entry point converts and calls it.
int codectool_run(int argc, char** argv);

struct ToolArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;  // "--name value" and "-o value"; flags map to ""

    bool has(const std::string& name) const { return options.count(name) != 0; }
    std::string get(const std::string& name, const std::string& fallback = "") const {
        auto it = options.find(name);
        return it == options.end() ? fallback : it->second;
    }
    int get_int(const std::string& name, int fallback) const;
};

std::u16string tool_path(const std::string& utf8);

// Prints "error CODE: TEXT" and returns the exit status 1.
int report_codec_error(int32_t code);
// Prints "error: TEXT" for a usage problem and returns 2.
int report_usage(const std::string& text);

// Writes an image as a reader returned it (1, 4, 8 or 24 bits, bottom-up, its palette).
bool dump_loaded_image_bmp(const std::u16string& path, const LoadedImage& image);

// Decodes one format. On success returns 0 and `out` owns its rows (free_loaded_image);
// otherwise the codec error code.
int32_t tool_decode_bmp(const std::u16string& path, const ToolArgs& args, LoadedImage* out);
int32_t tool_decode_png(const std::u16string& path, const ToolArgs& args, LoadedImage* out);
int32_t tool_decode_jpeg(const std::u16string& path, const ToolArgs& args, LoadedImage* out);
int32_t tool_decode_tiff(const std::u16string& path, const ToolArgs& args, LoadedImage* out);
int32_t tool_decode_gif(const std::u16string& path, const ToolArgs& args, LoadedImage* out);

// Encodes the image into `output`; returns the exit status.
int tool_encode_bmp(const LoadedImage& image, const std::u16string& output, const ToolArgs& args);
int tool_encode_png(const LoadedImage& image, const std::u16string& output, const ToolArgs& args);
int tool_encode_jpeg(const LoadedImage& image, const std::u16string& output, const ToolArgs& args);
int tool_encode_gif(const LoadedImage& image, const std::u16string& output, const ToolArgs& args);
int tool_encode_tiff(const LoadedImage& image, const std::u16string& output, const ToolArgs& args);

// The comment command over one format's read and write operations: "get" prints the comment,
// "set" writes the file again beside itself and swaps it in (without TEXT the comment goes).
struct CommentFormat {
    uint32_t text_bytes;
    void (*read)(CodecContext* context, const std::u16string& path, char* text, uint32_t text_bytes);
    bool (*write)(CodecContext* context, const std::u16string& path, const std::u16string& temporary,
                  const char* text, int32_t* mode);
    // Prints the outcome of a successful "set": whether a file was written and the write's mode.
    void (*report)(bool written, int32_t mode);
    // The code reported when a write fails without recording one.
    int32_t unreported_failure;
};
int tool_comment(const ToolArgs& args, CodecContext* context, const CommentFormat& format);

int tool_transform(const ToolArgs& args);     // transform IN.jpg -o OUT.jpg --op ... [--trim]
int tool_comment_png(const ToolArgs& args);   // comment get|set FILE [TEXT] on a PNG file
int tool_comment_jpeg(const ToolArgs& args);  // the same on a JPEG file
int tool_exif(const ToolArgs& args);          // exif FILE
int tool_textlist(const ToolArgs& args);      // textlist FILE (PNG tEXt chunks)
