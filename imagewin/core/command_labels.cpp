#include "imagewin/core/command_labels.h"

namespace {

struct CommandText {
    uint16_t cmd;
    const char16_t* text;
};

// The menu text where a menu shows the command, otherwise the command's own name.
constexpr CommandText kCommandTexts[] = {
    {8000, u"ファイルリスト表示"},
    {8010, u"先頭へ"},
    {8012, u"戻る"},
    {8013, u"進む"},
    {8011, u"末尾へ"},
    {8020, u"スライドショー"},
    {8030, u"開き直す(&B)"},
    {8031, u"名前を付けて保存"},
    {8032, u"上書き保存(&S)"},
    {8040, u"右回転保存(JEPGロスレス)(&R)"},
    {8041, u"左回転保存(JEPGロスレス)(&L)"},
    {8050, u"削除(&D)"},
    {8060, u"コメント表示/編集(&E)..."},
    {8061, u"テキストデータ表示(&T)"},
    {8070, u"印刷(プレビュー)(&P)..."},
    {8100, u"左回転表示"},
    {8101, u"右回転表示"},
    {8110, u"倍率切替(等倍⇔画面サイズ)"},
    {8111, u"画面に合わせて表示"},
    {8112, u"等倍表示<100%>"},
    {8120, u"1000%(&B)"},
    {8121, u"400%(&F)"},
    {8122, u"200%(&D)"},
    {8123, u"50%(&H)"},
    {8124, u"25%(&Q)"},
    {8125, u"10%(&S)"},
    {8130, u"拡大表示"},
    {8131, u"縮小表示"},
    {8140, u"拡大表示(10%単位)"},
    {8141, u"縮小表示(10%単位)"},
    {8150, u"選択領域表示"},
    {8200, u"全画面モード切替"},
    {8201, u"編集/保存"},
    {8202, u"閉じる"},
    {8203, u"最小化"},
    {8211, u"白(&W)"},
    {8212, u"ライトグレイ(&L)"},
    {8213, u"グレイ(&G)"},
    {8214, u"ダークグレイ(&D)"},
    {8215, u"黒(&B)"},
    {8220, u"スクロールバー表示"},
    {8230, u"並べて表示"},
    {8231, u"ファーストビュー(元の画像)"},
    {8232, u"エディットビュー(編集画像)"},
    {8300, u"スクロール(左へ)"},
    {8301, u"スクロール(右へ)"},
    {8302, u"スクロール(上へ）"},
    {8303, u"スクロール(下へ）"},
    {8310, u"ヒストグラム表示(&H)"},
    {8311, u"使用色数確認(&N)"},
    {8320, u"コピー(クリップボード)(&C)"},
    {8321, u"貼り付け(クリップボード)(&V)"},
    {8330, u"保存プレビュー"},
    {8401, u"元に戻す"},
    {8402, u"やり直し"},
    {8403, u"変更履歴表示(&W)"},
    {8404, u"領域選択(&S)..."},
    {8405, u"選択解除(&D)"},
    {8406, u"ペイント(&P)..."},
    {8407, u"部分補正(&C)..."},
    {8408, u"テキスト挿入(&T)..."},
    {8411, u"トリミング(&T)..."},
    {8412, u"リサイズ(&Z)..."},
    {8413, u"任意角度回転(&O)..."},
    {8414, u"90度回転(&R)"},
    {8415, u"180度回転(&B)"},
    {8416, u"270度回転(&L)"},
    {8417, u"左右反転(&M)"},
    {8418, u"上下反転(&F)"},
    {8421, u"ヒストグラム補正(&H)..."},
    {8422, u"イコライズ(平均化)(&E)"},
    {8423, u"明暗域補正(&A)..."},
    {8424, u"ガンマ補正(&G)..."},
    {8425, u"明るさ補正(&L)..."},
    {8426, u"コントラスト(&C)..."},
    {8427, u"カラーバランス(&B)..."},
    {8428, u"色相/彩度(&V)..."},
    {8429, u"色の置き換え(&R)..."},
    {8430, u"階調反転(&N)"},
    {8431, u"アンシャープマスク(&U)..."},
    {8432, u"ぼかし(&S)..."},
    {8433, u"ソフトフォーカス(&F)..."},
    {8434, u"ノイズ除去(&D)..."},
    {8441, u"カラーフィルタ(&L)..."},
    {8442, u"モザイク(&M)..."},
    {8443, u"拡散(&J)..."},
    {8444, u"エンボス(浮き彫り)(&E)..."},
    {8445, u"輪郭抽出(&R)"},
    {8446, u"ポスタリゼーション(&P)..."},
    {8447, u"絵画調(&A)"},
};
static_assert(sizeof(kCommandTexts) / sizeof(kCommandTexts[0]) == kViewKeyCount,
              "one text per image-window command");

constexpr CommandText kSaveOptionTips[] = {
    {8600, u"誤差拡散(減色用)"},         {8610, u"透過色選択/保存"},        {8620, u"ガンマ補正値保存"},
    {8630, u"インターレース"},           {8631, u"プログレッシブ"},         {8640, u"サンプル比 4:1"},
    {8641, u"サンプル比 2:1"},           {8642, u"サンプル比 1:1"},         {8650, u"すべてのマーカーを破棄"},
    {8651, u"コメントマーカーのみ保存"}, {8652, u"すべてのマーカーを保存"}, {8660, u"対象外領域削除"},
    {8670, u"コメント作成/保存"},
};

}  // namespace

const char16_t* command_text(uint16_t cmd) {
    for (const CommandText& t : kCommandTexts)
        if (t.cmd == cmd) return t.text;
    return u"";
}

void update_command_labels(const KeyEntry* entries, CommandLabels* labels) {
    for (int i = 0; i < kViewKeyCount; ++i) {
        CommandLabel& row = labels->rows[i];
        row.cmd = entries[i].cmd;
        row.text = command_text(entries[i].cmd);
        row.modifier = modifier_name(entries[i].fVirt);
        row.key = key_name(entries[i].key);
    }
}

const CommandLabel* find_command_label(const CommandLabels& labels, uint16_t cmd) {
    for (const CommandLabel& row : labels.rows)
        if (row.cmd == cmd) return &row;
    return nullptr;
}

std::u16string command_tooltip(const CommandLabel& label) {
    std::u16string tip = label.text;
    if (label.key[0] != u'\0') {
        tip += u" (";
        tip += label.modifier;
        tip += label.key;
        tip += u")";
    }
    return tip;
}

const char16_t* save_option_tooltip(uint16_t cmd) {
    for (const CommandText& t : kSaveOptionTips)
        if (t.cmd == cmd) return t.text;
    return nullptr;
}
