// Error codes of the image codecs; 0 means no error.
#pragma once

#include <cstdint>

enum CodecError : int32_t {
    kCodecOk = 0,
    kCodecNoMemory = 1,
    kCodecUnsupported = 2,
    kCodecCommentNotEditable = 3,
    kCodecReadFailed = 4,
    kCodecCreateFailed = 5,
    kCodecBadData = 6,
    kCodecSaveFailed = 7,
    kCodecPngSignature = 8,
    kCodecPngCrc = 9,
    kCodecPngChunkLength = 10,
    kCodecPngIhdrLength = 11,
    kCodecPngIhdrType = 12,
    kCodecPngIhdrSize = 13,
    kCodecPngIhdrColourType = 14,
    kCodecPngIhdrBitDepth = 15,
    kCodecPngIhdrCompression = 16,
    kCodecPngIhdrFilter = 17,
    kCodecPngIhdrInterlace = 18,
    kCodecPngPlteLength = 19,
    kCodecPngChunkOrder = 20,
    kCodecPngCriticalChunks = 21,
    kCodecPngIdatLength = 22,
    kCodecInflateFailed = 23,
    kCodecDeflateFailed = 24,
};

constexpr int32_t kFirstCodecError = 1;
constexpr int32_t kLastCodecError = 24;

// The message for a code 1-24, or null for any other code.
const char16_t* codec_error_text(int32_t code);
