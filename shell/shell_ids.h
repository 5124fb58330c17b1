// Control and command ids of the browser shell's windows.
#pragma once

// Children of the main window and its client window.
constexpr int kRebarId = 200;
constexpr int kMenuBarId = 201;
constexpr int kMainToolbarId = 202;
constexpr int kClientId = 300;
constexpr int kTreePaneId = 400;
// Children of the tree pane.
constexpr int kTreeLabelId = 401;
constexpr int kTreeRegisterButtonId = 402;
constexpr int kTreeUnregisterButtonId = 403;
constexpr int kTreeId = 404;
constexpr int kInfoListId = 405;

// A thumbnail view's frame, base and status bar: view 2's ids are view 1's plus 100.
constexpr int kViewFrameId = 500;
constexpr int kViewBaseId = 501;
constexpr int kViewStatusId = 502;
constexpr int kView2IdOffset = 100;

// The five menu-bar buttons: 7000, 7100, ... 7400.
constexpr int kMenuBarButtonCount = 5;
constexpr int kMenuBarFirstButton = 7000;
constexpr int kMenuBarButtonStep = 100;
