// The rules of the image windows' whole-image and whole-file commands: the save question, the
// external tools, the dialogs of the current file, the colour count and the image that stands
// in when the folder's last file was deleted. The windows show and run what these decide.
#pragma once

#include <cstdint>
#include <string>

#include "imagewin/core/edit_image_description.h"
#include "imagewin/core/image_window_ids.h"
#include "view/core/view_geometry.h"

// External tool 0..7 of a command id, -1 for another id.
int32_t external_tool_index(int32_t id);

// The parameters handed to an external tool: the image's path, in double quotes when it holds
// a blank, but only for a program; a document or shortcut is started with none, since it would
// take the path as a second document.
std::u16string external_tool_parameters(const std::u16string& image_path, bool tool_is_program);

// ask_save_changes' results.
constexpr int32_t kSaveAnswerCancel = 0;
constexpr int32_t kSaveAnswerGoOn = 1;
constexpr int32_t kSaveAnswerSaveFirst = 2;

// "name への変更を保存しますか?".
std::u16string save_question_text(const std::u16string& file_name);
// The result of the yes/no/cancel box's answer (IDYES 6, IDNO 7, anything else cancels).
int32_t save_answer_from_box(int box_answer);

// The comment dialog is offered for PNG and JPEG images only.
bool comment_dialog_applies(bool has_image, int32_t source_format);

constexpr int32_t kDialogPngText = 5300;
constexpr int32_t kDialogExif = 5400;
// The text-data dialog for the image: PNG text or Exif; 0 when there is none to show.
int32_t text_data_dialog(int32_t source_format, int32_t flag_metadata);

// "使用色数 = 123"; 0 colours (depth other than 8 or 24) is the caller's failure box.
std::u16string colour_count_text(uint32_t count);

// The path list of the recycle-bin operation: the path, a NUL, and a second NUL.
std::u16string recycle_path_list(const std::u16string& path);

// What stands in once the folder's last image is deleted: 200 x 150 shown at that size, with
// no path. The caller has released the bitmap and the history.
constexpr int32_t kBlankImageWidth = 200;
constexpr int32_t kBlankImageHeight = 150;
void describe_blank_image(EditImageDescription& image, ViewGeometry& view);

// A pasted image: no path, the name "clip", the folder kept so that navigation still lists it.
void describe_pasted_image(EditImageDescription& image);
