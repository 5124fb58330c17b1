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
constexpr const wchar_t* kEditWindowTitle = L"編集用ウィンドウ";
constexpr const wchar_t* kStatusRefreshTip = L"クリックでサムネイル更新";
constexpr const wchar_t* kStatusClearTip = L"クリックでサムネイル消去";
