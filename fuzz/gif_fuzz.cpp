// The GIF reader over arbitrary bytes: first image only and all animation frames, in both
// pixel-memory modes. Screens are capped so that 256 frames stay within the fuzzer's memory.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "codecs/gif/gif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size >= 10 && static_cast<uint32_t>(data[6] | (data[7] << 8)) * (data[8] | (data[9] << 8)) > 65536)
        return 0;
    for (int mode = 0; mode < 2; ++mode) {
        auto context = std::make_unique<GifContext>();
        init_codec_context(context.get(), 0);
        gif_reader_reset(context.get());
        context->options.animation_wanted = static_cast<uint8_t>(mode);
        context->in_memory = static_cast<uint8_t>(mode);
        context->input = ByteCursor(data, size);
        LoadedImage* image = read_gif_image(context.get());
        if (image) {
            if (image->info.width < 1 || image->info.height < 1 || !image->pixels) __builtin_trap();
            auto info = std::make_unique<GifAnimationInfo>();
            if (gif_get_animation_info(context.get(), info.get())) {
                if (info->frame_count < 1 || info->frame_count > kGifMaxFrames) __builtin_trap();
                gif_free_animation_frames(info.get());
            }
            free_loaded_image(image);
        } else if (context->error == kCodecOk) {
            __builtin_trap();
        }
        gif_reader_release(context.get());
    }
    return 0;
}
