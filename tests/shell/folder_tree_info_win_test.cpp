// The information list under the tree on files that other programs wrote: JPEGs whose Exif
// blocks exiftool reads (the expected values are its -n output) and a PNG whose text chunks
// ImageMagick wrote (17 tEXt chunks, the first with a 79-character keyword, and a zTXt chunk;
// pngcheck -v lists them).
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
// clang-format on
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/file_type.h"
#include "codecs/jpeg/exif.h"
#include "shell/entry_points.h"
#include "shell/folder_tree.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "shell/thumbnail_view.h"

namespace {

std::wstring data_folder(const char* area) {
    const std::string path = std::string(PX_TEST_SOURCE_DIR) + "/tests/data/" + area;
    std::wstring out(path.begin(), path.end());
    for (wchar_t& c : out)
        if (c == L'/') c = L'\\';
    return out;
}

std::vector<std::vector<std::wstring>> info_rows() {
    std::vector<std::vector<std::wstring>> rows;
    const int n = static_cast<int>(SendMessageW(g_shell.info_list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        std::vector<std::wstring> row;
        for (int column = 0; column < 2; ++column) {
            wchar_t text[1100] = {};
            LVITEMW item = {};
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = 1100;
            SendMessageW(g_shell.info_list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
            row.push_back(text);
        }
        rows.push_back(row);
    }
    return rows;
}

// Stands in for the Exif dialog's formatter: the values the reader found, as plain numbers in
// exiftool's -n form.
void plain_exif_texts(const ExifSummary* s, wchar_t (*texts)[64]) {
    MultiByteToWideChar(CP_ACP, 0, s->maker, -1, texts[0], 64);
    MultiByteToWideChar(CP_ACP, 0, s->model, -1, texts[1], 64);
    if (s->exposure_denominator)
        swprintf(texts[2], 64, L"%g", static_cast<double>(s->exposure_numerator) / s->exposure_denominator);
    if (s->f_number_denominator)
        swprintf(texts[3], 64, L"%g", static_cast<double>(s->f_number_numerator) / s->f_number_denominator);
    if (s->iso_speed) swprintf(texts[5], 64, L"%u", static_cast<unsigned>(s->iso_speed));
    MultiByteToWideChar(CP_ACP, 0, s->date_time_original, -1, texts[11], 64);
}

FileEntry entry_for(const wchar_t* name, int32_t format) {
    FileEntry e;
    std::memset(&e, 0, sizeof e);
    lstrcpynW(reinterpret_cast<wchar_t*>(e.name), name, kViewPathChars);
    e.load_info.format = format;
    e.load_info.text_count = 1;
    return e;
}

class InfoListTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_shell.instance = GetModuleHandleW(nullptr);
        if (!g_shell.ui_font.valid()) create_ui_font();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSEXW existing = {sizeof existing};
        if (!GetClassInfoExW(g_shell.instance, L"Pexaron_trbase_class", &existing))
            register_window_class(tree_pane_proc, nullptr, LoadCursorW(nullptr, IDC_ARROW), COLOR_BTNFACE + 1,
                                  L"Pexaron_trbase_class");
        g_shell.main_settings = MainSettings{};
        g_shell.main_settings.tree_width = 180;
        g_shell.main_settings.info_column_width[0] = 60;
        g_shell.main_settings.info_column_width[1] = 100;
        ShellEntryPoints table;
        table.format_exif_fields = plain_exif_texts;
        install_shell_entry_points(table);
        client_ = CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 0, 0, 400, 600, nullptr, nullptr,
                                  g_shell.instance, nullptr);
        ASSERT_NE(client_, nullptr);
        create_folder_tree_pane(client_);
        ASSERT_NE(g_shell.info_list, nullptr);
        SetWindowPos(g_shell.tree_pane, nullptr, 0, -30, 200, 660, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void TearDown() override {
        open_folder_in_view(0, L"");
        install_shell_entry_points(ShellEntryPoints{});
        if (client_) DestroyWindow(client_);
        UnregisterClassW(L"Pexaron_trbase_class", g_shell.instance);
        g_shell.tree_pane = nullptr;
        g_shell.tree = nullptr;
        g_shell.info_list = nullptr;
        g_shell.main_settings = MainSettings{};
        CoUninitialize();
    }

    HWND client_ = nullptr;
};

TEST_F(InfoListTest, ExifRowsOfJpegsInBothByteOrders) {
    const struct {
        const wchar_t* name;
        const wchar_t* maker;
        const wchar_t* model;
        const wchar_t* exposure;
        const wchar_t* f_number;
        const wchar_t* iso;
        const wchar_t* date;
    } cases[] = {
        {L"exif_le.jpg", L"PXCam", L"Model L1", L"0.004", L"2.8", L"200", L"2021:03:04 05:06:07"},
        {L"exif_be.jpg", L"Maker", L"BE", L"2", L"11", L"1600", L"2019:12:31 23:59:58"},
    };
    open_folder_in_view(0, data_folder("jpeg").c_str());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const FileEntry entry = entry_for(c.name, kFileJpeg);
        show_entry_info(0, reinterpret_cast<LPARAM>(&entry));
        const std::vector<std::vector<std::wstring>> rows = info_rows();
        ASSERT_EQ(rows.size(), 12u);
        EXPECT_EQ(rows[0], (std::vector<std::wstring>{L"メーカー", c.maker}));
        EXPECT_EQ(rows[1], (std::vector<std::wstring>{L"機種", c.model}));
        EXPECT_EQ(rows[2], (std::vector<std::wstring>{L"シャッター", c.exposure}));
        EXPECT_EQ(rows[3], (std::vector<std::wstring>{L"絞り値", c.f_number}));
        EXPECT_EQ(rows[5], (std::vector<std::wstring>{L"ISO感度", c.iso}));
        EXPECT_EQ(rows[11], (std::vector<std::wstring>{L"撮影日時", c.date}));
    }
}

TEST_F(InfoListTest, TextRowsOfAPngStopAtSixteenChunks) {
    open_folder_in_view(0, data_folder("shell").c_str());
    const FileEntry entry = entry_for(L"texts.png", kFilePng);
    show_entry_info(0, reinterpret_cast<LPARAM>(&entry));
    const std::vector<std::vector<std::wstring>> rows = info_rows();
    ASSERT_EQ(rows.size(), 16u);
    EXPECT_EQ(rows[0][0], std::wstring(79, L'K'));
    EXPECT_EQ(rows[0][1], L"long keyword");
    for (int i = 1; i < 16; ++i) {
        wchar_t keyword[16];
        wchar_t text[16];
        swprintf(keyword, 16, L"note%02d", i);
        swprintf(text, 16, L"value %02d", i);
        EXPECT_EQ(rows[i][0], keyword);
        EXPECT_EQ(rows[i][1], text);
    }
}

}  // namespace
