// The image windows' own texts (the error box's texts are the program's shared table).
#pragma once

constexpr char16_t kSaveQuestionSuffix[] = u"への変更を保存しますか?";
constexpr char16_t kColourCountLabel[] = u"使用色数";
constexpr char16_t kPastedImageName[] = u"clip";
constexpr char16_t kProgramName[] = u"Pexaron";
constexpr char16_t kFileListTitle[] = u"ファイルリスト";
constexpr char16_t kFirstStepName[] = u"元の画像";
