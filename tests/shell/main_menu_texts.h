// Every text the main window's menus, menu bar and main toolbar show, written out by hand for the
// tests. The program builds its menus from tables of its own; these literals are what the user
// must read, so a wrong text in those tables shows up as a difference here and not as a match of
// a table with itself.
#pragma once

#include <cstdint>
#include <vector>

namespace main_menu_texts {

constexpr uint16_t kSeparator = 9900;

struct Item {
    uint16_t id;
    const char16_t* text;  // null for a separator
};

struct Popup {
    int position;  // in the container; 8 is the View popup's submenu
    std::vector<Item> items;
};

const Item kSep = {kSeparator, nullptr};

// Top to bottom, as a fresh start shows them: no external tool registered.
inline const std::vector<Popup>& popups() {
    static const std::vector<Popup> all = {
        {0,
         {{7010, u"コメント表示/編集(&C)..."},
          kSep,
          {7020, u"ファイル削除(&D)"},
          {7021, u"ファイル名変更(&N)..."},
          kSep,
          {7040, u"すべて選択(&L)"},
          kSep,
          {7050, u"サムネイル印刷(&P)..."},
          kSep,
          {7060, u"壁紙に設定(&W)..."},
          {7070, u"プロパティ(&R)"},
          kSep,
          {7090, u"終了(&X)"}}},
        {1,
         {{7110, u"フォルダツリー自動表示(&A)"},
          {7111, u"テキスト(Exif)情報表示(&L)"},
          kSep,
          {7120, u"サムネイルビュー(&T)"},
          {7130, u"プレビュー機能有効(&P)"},
          kSep,
          {7140, u"情報領域表示(&D)"},
          {7141, u"表示情報設定(&C)..."},
          kSep,
          {7150, u"サムネイル更新(&R)"},
          {7151, u"中止/消去(&S)"},
          kSep,
          {7160, u"隠し属性表示(&H)"}}},
        {2,
         {{7210, u"シングルビュー(ウィンドウ)(&V)"},
          {7211, u"シングルビュー(全画面)(&F)"},
          kSep,
          {7215, u"Qelvoビューア(多重展開用)(&E)"},
          kSep,
          {7213, u"スライドショー(&A)"},
          kSep,
          {7212, u"編集/保存(&S)"},
          kSep,
          {7220, u"右回転保存(JEPGロスレス)(&R)"},
          {7221, u"左回転保存(JEPGロスレス)(&L)"},
          kSep,
          {7230, u"一括変換(&C)..."},
          {7240, u"一括リネーム(&M)..."}}},
        {3,
         {{7310, u"<未登録>"},
          kSep,
          {7320, u"関連付け起動(&B)"},
          kSep,
          {7330, u"ツール登録(&T)..."},
          kSep,
          {7340, u"オプション(&O)..."}}},
        {4,
         {{7410, u"ヘルプ表示(&H)"},
          kSep,
          {7411, u"マウス操作(メインウィンドウ)(&M)..."},
          {7412, u"マウス操作(シングルビュー)(&F)..."},
          {7413, u"マウス操作(編集/保存)(&S)..."},
          {7414, u"スライドショー操作(&A)..."},
          {7415, u"一括変換操作(&A)..."},
          kSep,
          {7430, u"バージョン情報(&V)..."}}},
        {5,
         {{7512, u"2 列(&2)"},
          {7513, u"3 列(&3)"},
          {7514, u"4 列(&4)"},
          {7516, u"6 列(&6)"},
          {7518, u"8 列(&8)"},
          {7522, u"12 列(&D)"},
          {7530, u"20 列(&T)"}}},
        {6,
         {{7210, u"シングルビュー(ウィンドウ)(&V)"},
          {7211, u"シングルビュー(全画面)(&F)"},
          kSep,
          {7215, u"Qelvoビューア(多重展開用)(&E)"},
          kSep,
          {7212, u"編集/保存(&S)"},
          kSep,
          {7220, u"右回転保存(JEPGロスレス)(&R)"},
          {7221, u"左回転保存(JEPGロスレス)(&L)"},
          kSep,
          {7010, u"コメント表示/編集(&C)..."},
          kSep,
          {7020, u"ファイル削除(&D)"},
          {7021, u"ファイル名変更(&N)..."},
          kSep,
          {7040, u"すべて選択(&L)"}}},
        {7,
         {{7610, u"サムネイルビュー1に表示(&F)"},
          {7611, u"サムネイルビュー2に表示(&S)"},
          kSep,
          {7620, u"登録フォルダに追加(&A)"},
          {7621, u"登録フォルダから除外(&D)"},
          kSep,
          {7630, u"フォルダ作成 (実フォルダ)(&N)"},
          {7631, u"フォルダ名変更 (実フォルダ)(&M)"},
          {7632, u"フォルダ削除 (実フォルダ)(&R)"},
          kSep,
          {7160, u"隠し属性表示(&H)"},
          kSep,
          {7640, u"エクスプローラで開く(&X)"}}},
        {8, {{7121, u"並べて表示(&H)"}, {7122, u"ビュー1表示(&F)"}, {7123, u"ビュー2表示(&S)"}}},
    };
    return all;
}

// The menu bar's five buttons, left to right (ids 7000 ... 7400).
inline const std::vector<Item>& menu_bar() {
    static const std::vector<Item> all = {{7000, u"ファイル(&F)"},
                                          {7100, u"表示(&V)"},
                                          {7200, u"イメージ(&I)"},
                                          {7300, u"ツール(&T)"},
                                          {7400, u"ヘルプ(&H)"}};
    return all;
}

// The main toolbar's buttons with their tips before any key text, separators left out.
inline const std::vector<Item>& toolbar_tips() {
    static const std::vector<Item> all = {
        {7110, u"フォルダツリー自動表示"},
        {7111, u"テキスト(Exif)情報表示"},
        {7121, u"サムネイルビュー並べて表示"},
        {7122, u"サムネイルビュー1"},
        {7123, u"サムネイルビュー2"},
        {7130, u"プレビュー機能有効"},
        {7140, u"情報領域表示"},
        {7141, u"表示情報設定"},
        {7151, u"中止/消去"},
        {7150, u"サムネイル更新"},
        {7500, u"表示列数"},
    };
    return all;
}

// The two lists of the main toolbar: their tips and the fixed entries.
inline const char16_t* size_list_tip() {
    return u"サムネイルサイズ(幅x高さ)";
}
inline const char16_t* filter_list_tip() {
    return u"フィルタ";
}
inline const char16_t* size_register_entry() {
    return u"登録";
}
inline const std::vector<const char16_t*>& filter_entries() {
    static const std::vector<const char16_t*> all = {u"ALL", u"BMP", u"PNG", u"JPEG", u"TIFF", u"GIF"};
    return all;
}

}  // namespace main_menu_texts
