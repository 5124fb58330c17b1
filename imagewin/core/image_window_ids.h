// The command ids of the image windows (the edit window and the single view): menu items, bar
// buttons and accelerators all arrive at their dispatchers as these.
#pragma once

#include <cstdint>

// The ids the viewer shares (file steps 8012-8013, zoom steps 8111-8141) are the view core's.
#include "view/core/view_geometry.h"

// External tools 1-8 of the main settings.
constexpr int32_t kCmdExternalTool1 = 7311;
constexpr int32_t kCmdExternalTool8 = 7318;

// File.
constexpr int32_t kCmdFileList = 8000;
constexpr int32_t kCmdFirstFile = 8010;  // 8010-8013: first, last, previous, next
constexpr int32_t kCmdLastFile = 8011;
constexpr int32_t kCmdSlideShow = 8020;
constexpr int32_t kCmdReload = 8030;
constexpr int32_t kCmdSaveAs = 8031;
constexpr int32_t kCmdSave = 8032;
constexpr int32_t kCmdRotateSaveRight = 8040;
constexpr int32_t kCmdRotateSaveLeft = 8041;
constexpr int32_t kCmdDeleteFile = 8050;
constexpr int32_t kCmdComment = 8060;
constexpr int32_t kCmdTextData = 8061;
constexpr int32_t kCmdPrintPreview = 8070;

// View.
constexpr int32_t kCmdTurnLeft = 8100;
constexpr int32_t kCmdTurnRight = 8101;
constexpr int32_t kCmdZoomToggle = 8110;
constexpr int32_t kCmdSelectionDisplay = 8150;
constexpr int32_t kCmdFullScreen = 8200;
constexpr int32_t kCmdToEditWindow = 8201;
constexpr int32_t kCmdCloseView = 8202;
constexpr int32_t kCmdMinimise = 8203;
constexpr int32_t kCmdBackgroundMenu = 8210;
constexpr int32_t kCmdBackgroundWhite = 8211;  // 8211-8215: the five background colours
constexpr int32_t kCmdBackgroundBlack = 8215;
constexpr int32_t kCmdScrollBars = 8220;
constexpr int32_t kCmdPaneBoth = 8230;  // 8230-8232: the pane modes, kEditPane* + 8230
constexpr int32_t kCmdPaneEditedOnly = 8232;
constexpr int32_t kCmdPanLeft = 8300;
constexpr int32_t kCmdPanRight = 8301;
constexpr int32_t kCmdPanUp = 8302;
constexpr int32_t kCmdPanDown = 8303;
constexpr int32_t kCmdHistogram = 8310;
constexpr int32_t kCmdColourCount = 8311;
constexpr int32_t kCmdCopyImage = 8320;
constexpr int32_t kCmdPasteImage = 8321;
constexpr int32_t kCmdSavePreview = 8330;

// Edit.
constexpr int32_t kCmdUndo = 8401;
constexpr int32_t kCmdRedo = 8402;
constexpr int32_t kCmdHistoryWindow = 8403;
constexpr int32_t kCmdDeselect = 8405;
constexpr int32_t kCmdRotate90Right = 8414;
constexpr int32_t kCmdRotate90Left = 8416;

// Save options of the save bar.
constexpr int32_t kCmdDither = 8600;
constexpr int32_t kCmdTransparentColour = 8610;
constexpr int32_t kCmdWriteGamma = 8620;
constexpr int32_t kCmdInterlace = 8630;
constexpr int32_t kCmdProgressive = 8631;
constexpr int32_t kCmdJpegSamplingFirst = 8640;  // 8640-8642
constexpr int32_t kCmdJpegSamplingLast = 8642;
constexpr int32_t kCmdJpegMarkersFirst = 8650;  // 8650-8652
constexpr int32_t kCmdJpegMarkersLast = 8652;
constexpr int32_t kCmdJpegTrim = 8660;
constexpr int32_t kCmdCommentInsertion = 8670;

// The open tool.
constexpr int32_t kCmdApplyTool = 9000;
constexpr int32_t kCmdCancelTool = 9001;
