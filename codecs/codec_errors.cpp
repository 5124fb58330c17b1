#include "codecs/codec_errors.h"

namespace {

const char16_t* const kTexts[] = {
    u"メモリを確保できません。",
    u"未対応の形式です。",
    u"コメントを編集できません。",
    u"ファイルから読み取りに失敗しました。",
    u"ファイル作成に失敗しました。",
    u"ファイル情報が不適切です。",
    u"画像の保存に失敗しました。",
    u"PNG形式を識別できません。",
    u"ファイル情報が不適切です。(CRC)",
    u"ファイル情報が不適切です。(Length/Chunk)",
    u"ファイル情報が不適切です。(Length/IHDR)",
    u"ファイル情報が不適切です。(Chunk Type/IHDR)",
    u"ファイル情報が不適切です。(Width,Height/IHDR)",
    u"ファイル情報が不適切です。(Color type/IHDR)",
    u"ファイル情報が不適切です。(Bit depth/IHDR)",
    u"ファイル情報が不適切です。(Compression method/IHDR)",
    u"ファイル情報が不適切です。(Filter method/IHDR)",
    u"ファイル情報が不適切です。(Interlace method/IHDR)",
    u"ファイル情報が不適切です。(Length/PLTE)",
    u"ファイル情報が不適切です。(Order/Chunk)",
    u"ファイル情報が不適切です。(Critical chunks)",
    u"ファイル情報が不適切です。(Length/IDAT)",
    u"画像の表示に失敗しました。(zlib)",
    u"ファイルへの保存に失敗しました。(zlib)",
};

static_assert(sizeof(kTexts) / sizeof(kTexts[0]) == kLastCodecError, "one text per code");

}  // namespace

const char16_t* codec_error_text(int32_t code) {
    if (code < kFirstCodecError || code > kLastCodecError) return nullptr;
    return kTexts[code - 1];
}
