// The main program's own Japanese texts (the error box keeps its table in common/win).
#pragma once

constexpr const wchar_t* kTextStopConversion = L"変換処理を中止しますか？";
constexpr const wchar_t* kCaptionConversion = L"一括変換";
constexpr const wchar_t* kCaptionError = L"Error";
constexpr const wchar_t* kProgramName = L"Pexaron";

constexpr const wchar_t* kMenuBarCaptions[5] = {L"ファイル(&F)", L"表示(&V)", L"イメージ(&I)", L"ツール(&T)",
                                                L"ヘルプ(&H)"};
constexpr const wchar_t* kStatusRefresh = L" 更新  ";
constexpr const wchar_t* kStatusClear = L"消去  ";
constexpr const wchar_t* kTreeRegisteredRoot = L"登録フォルダ";
constexpr const wchar_t* kTreeRegisterButton = L"追加";
constexpr const wchar_t* kTreeUnregisterButton = L"除外";
constexpr const wchar_t* kInfoColumnItem = L"項目";
constexpr const wchar_t* kInfoColumnValue = L"データ";
constexpr const wchar_t* kTreeMoveTitle = L"移動";
constexpr const wchar_t* kTreeCopyTitle = L"コピー";
constexpr const wchar_t* kInfoExifLabels[12] = {L"メーカー",   L"機種",     L"シャッター", L"絞り値",
                                                L"露出制御",   L"ISO感度",  L"露出補正",   L"測光方式",
                                                L"フラッシュ", L"焦点距離", L"開放Ｆ値",   L"撮影日時"};
constexpr const wchar_t* kEditWindowTitle = L"編集用ウィンドウ";
constexpr const wchar_t* kStatusRefreshTip = L"クリックでサムネイル更新";
constexpr const wchar_t* kStatusClearTip = L"クリックでサムネイル消去";
