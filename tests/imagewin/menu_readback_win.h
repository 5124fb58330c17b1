// What an image window's owner-drawn menu items and bar tooltips show, read back the way a
// user meets them: each item is measured and drawn by its window into a metafile whose text
// records are read out; the image-window keys come from a settings file on disk.
#pragma once

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstdint>
#include <string>
#include <vector>

#include "shell/core/key_table.h"
#include "shell/settings_win.h"
#include "shell/shell_state.h"
#include "tests/shell/settings_file_builder.h"
#include "tests/support/test_support.h"

struct DrawnMenuItem {
    UINT id = 0;
    bool separator = false;
    bool submenu = false;  // its id is the system's business
    SIZE measured = {};
    // The strings the item drew, in drawing order: its text, then its key when it has one.
    std::vector<std::wstring> drawn;
};

inline int CALLBACK collect_metafile_text(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM data) {
    if (record->iType == EMR_EXTTEXTOUTW) {
        const auto* text = reinterpret_cast<const EMREXTTEXTOUTW*>(record);
        const auto* chars = reinterpret_cast<const wchar_t*>(reinterpret_cast<const uint8_t*>(record) +
                                                             text->emrtext.offString);
        reinterpret_cast<std::vector<std::wstring>*>(data)->push_back(
            std::wstring(chars, text->emrtext.nChars));
    }
    return 1;
}

// Every item of `menu` as `window` measures and draws it (WM_MEASUREITEM, WM_DRAWITEM).
inline std::vector<DrawnMenuItem> draw_menu_items(HWND window, HMENU menu) {
    std::vector<DrawnMenuItem> items;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_DATA | MIIM_SUBMENU;
        GetMenuItemInfoW(menu, UINT(i), TRUE, &info);
        DrawnMenuItem item;
        item.id = info.wID;
        item.separator = (info.fType & MFT_SEPARATOR) != 0;
        item.submenu = info.hSubMenu != nullptr;
        if (!item.separator) {
            MEASUREITEMSTRUCT measure = {};
            measure.CtlType = ODT_MENU;
            measure.itemID = info.wID;
            measure.itemData = info.dwItemData;
            SendMessageW(window, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure));
            item.measured = SIZE{LONG(measure.itemWidth), LONG(measure.itemHeight)};
            HDC dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
            DRAWITEMSTRUCT draw = {};
            draw.CtlType = ODT_MENU;
            draw.itemID = info.wID;
            draw.itemAction = ODA_DRAWENTIRE;
            draw.hwndItem = reinterpret_cast<HWND>(menu);
            draw.hDC = dc;
            draw.rcItem = RECT{0, 0, 400, 22};
            draw.itemData = info.dwItemData;
            SendMessageW(window, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw));
            HENHMETAFILE metafile = CloseEnhMetaFile(dc);
            EnumEnhMetaFile(nullptr, metafile, collect_metafile_text, &item.drawn, nullptr);
            DeleteEnhMetaFile(metafile);
        }
        items.push_back(item);
    }
    return items;
}

// A menu line as drawn: the text (its '&' marks become underlines) and the key at the right.
inline std::vector<std::wstring> drawn_line(const wchar_t* text, const wchar_t* keys = nullptr) {
    std::wstring plain;
    for (const wchar_t* p = text; *p; ++p)
        if (*p != L'&') plain += *p;
    std::vector<std::wstring> line = {plain};
    if (keys) line.push_back(keys);
    return line;
}

inline std::wstring tooltip_text(HWND tooltip, HWND bar, UINT_PTR id) {
    wchar_t buffer[256] = {};
    TOOLINFOW info = {};
    info.cbSize = sizeof(info);
    info.hwnd = bar;
    info.uId = id;
    info.lpszText = buffer;
    SendMessageW(tooltip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&info));
    return buffer;
}

// Writes a settings file whose image-window key table holds `changes` and loads the single-view
// group from it as the program does before an image window opens.
inline bool load_view_keys_from_file(const std::string& name, const std::vector<KeyEntry>& changes) {
    std::vector<uint8_t> bytes(changes.size() * kKeyEntryBytes);
    encode_key_entries(changes.data(), int(changes.size()), bytes.data());
    SettingsFileBuilder file;
    file.data(kViewKeySlot, bytes);
    const std::u16string path = scratch_path(name);
    if (!write_bytes(path, file.bytes())) return false;
    lstrcpynW(g_shell.settings_path, reinterpret_cast<const wchar_t*>(path.c_str()), MAX_PATH);
    g_shell.settings_read.single_view = false;
    return load_single_view_settings_group();
}
