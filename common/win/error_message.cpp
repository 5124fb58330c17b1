#include "common/win/error_message.h"

#include "common/win/message_box.h"

namespace {

const wchar_t* const kTexts[] = {
    L"メモリ確保に失敗しました。",
    L"データ読み取りに失敗しました。",
    L"フォルダが無効です。",
    L"クリップボードをオープンに失敗しました。",
    L"一時ファイル作成に失敗しました。",
    L"一時ファイル削除に失敗しました。",
    L"ファイル削除に失敗しました。",
    L"ファイル作成に失敗しました。",
    L"ファイル実行に失敗しました。",
    L"ごみ箱のファイルです。",
    L"フォルダ作成に失敗しました。",
    L"キャッシュファイルアクセスに失敗しました。",
    L"キャッシュ情報がありません。",
    L"画像の表示に失敗しました。",
    L"ファイルが変更されています。\nこのコマンドは実行できません。",
    L"コマンドを実行できません。",
    L"印刷プレビューに失敗しました。",
    L"印刷実行に失敗しました。",
    L"履歴の保存に失敗しました。",
    L"履歴の実行に失敗しました。",
    L"ファイル変換に失敗しました。",
    L"変換処理中につき実行できません。",
    L"入力フォルダが無効です。",
    L"出力フォルダが無効です。",
    L"対象ファイルがありません。",
    L"入力フォルダの内容が変更されました。\n入力設定を確認してください。",
    L"HTMLタグ書き込みに失敗しました。",
};
static_assert(sizeof kTexts / sizeof kTexts[0] == kErrorCodeCount, "one text per error code");

constexpr UINT kErrorStyle = MB_ICONERROR | MB_SETFOREGROUND;
constexpr UINT kWarningStyle = MB_ICONWARNING | MB_SETFOREGROUND;

}  // namespace

const wchar_t* error_message_text(int code) {
    return code >= 0 && code < kErrorCodeCount ? kTexts[code] : L"Error";
}

int show_error_message(HWND owner, int code) {
    if (code >= kFirstWarningCode && code < kErrorCodeCount)
        return app_message_box(owner, kTexts[code], L"Pexaron", kWarningStyle);
    return app_message_box(owner, error_message_text(code), L"Error", kErrorStyle);
}

int show_posted_error(HWND owner, LPARAM code) {
    if (code < 0 || code >= kErrorCodeCount) return app_message_box(owner, L"Error", L"Error", kErrorStyle);
    return show_error_message(owner, static_cast<int>(code));
}
