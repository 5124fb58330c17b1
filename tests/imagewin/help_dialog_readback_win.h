// Runs the image windows' help dialogs from their own resources and procedures, reads back what
// they show and whether every text fits its control, and confirms them with OK.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

struct HelpDialogSeen {
    int id = 0;
    std::wstring caption;
    // Every child's id and text, and the texts that do not fit their control.
    std::vector<std::pair<int, std::wstring>> texts;
    std::vector<std::wstring> clipped;
};

inline std::vector<HelpDialogSeen> g_help_dialogs;

inline BOOL CALLBACK read_help_child(HWND child, LPARAM data) {
    auto* seen = reinterpret_cast<HelpDialogSeen*>(data);
    wchar_t text[256] = {};
    GetWindowTextW(child, text, 256);
    const int id = GetDlgCtrlID(child);
    seen->texts.emplace_back(id, text);
    wchar_t cls[32] = {};
    GetClassNameW(child, cls, 32);
    if (lstrcmpiW(cls, L"Static") == 0) {
        // The text as the static control lays it out, in the dialog's font.
        RECT client;
        GetClientRect(child, &client);
        HDC dc = GetDC(child);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
        RECT need = {0, 0, client.right, 0};
        DrawTextW(dc, text, -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
        SelectObject(dc, old);
        ReleaseDC(child, dc);
        if (need.bottom > client.bottom || need.right > client.right) seen->clipped.push_back(text);
    }
    return TRUE;
}

// A modal-dialog runner: the dialog from the module's resources with its own procedure, read,
// then confirmed with OK as a user would.
inline INT_PTR read_help_dialog(HWND owner, int dialog_id, DLGPROC procedure, LPARAM parameter) {
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(dialog_id), owner, procedure,
                                     parameter);
    HelpDialogSeen seen;
    seen.id = dialog_id;
    if (!dialog) {
        g_help_dialogs.push_back(seen);
        return -1;
    }
    wchar_t caption[256] = {};
    GetWindowTextW(dialog, caption, 256);
    seen.caption = caption;
    EnumChildWindows(dialog, read_help_child, reinterpret_cast<LPARAM>(&seen));
    g_help_dialogs.push_back(seen);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    DestroyWindow(dialog);
    return IDOK;
}

inline void expect_help_dialog(const HelpDialogSeen& seen, int id, const wchar_t* caption,
                               const std::vector<std::pair<int, std::wstring>>& texts) {
    SCOPED_TRACE(id);
    EXPECT_EQ(seen.id, id);
    EXPECT_EQ(seen.caption, caption);
    for (const auto& want : texts) {
        bool found = false;
        for (const auto& got : seen.texts)
            if (got.first == want.first) {
                found = true;
                EXPECT_EQ(got.second, want.second) << want.first;
            }
        EXPECT_TRUE(found) << want.first;
    }
    for (const std::wstring& text : seen.clipped)
        ADD_FAILURE() << "does not fit its control: " << testing::PrintToString(text);
}
