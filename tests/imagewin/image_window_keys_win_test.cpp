// The image windows' accelerator rebuild and bar tooltips against real controls under Wine.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on
#include <gtest/gtest.h>

#include <string>

#include "imagewin/image_window_keys.h"
#include "shell/settings_win.h"
#include "shell/shell_state.h"

namespace {

std::wstring tooltip_text(HWND tooltip, HWND bar, UINT_PTR id) {
    wchar_t buffer[256] = {};
    TOOLINFOW info = {};
    info.cbSize = sizeof(info);
    info.hwnd = bar;
    info.uId = id;
    info.lpszText = buffer;
    SendMessageW(tooltip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&info));
    return buffer;
}

struct BarFixture {
    HWND parent = nullptr;
    HWND bar = nullptr;
    HWND tooltip = nullptr;

    explicit BarFixture(const uint16_t* ids, int count) {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES};
        InitCommonControlsEx(&icc);
        parent =
            CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 600, 40, nullptr, nullptr, nullptr, nullptr);
        bar = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT, 0, 0, 600, 28,
                              parent, nullptr, nullptr, nullptr);
        SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        for (int i = 0; i < count; ++i) {
            TBBUTTON button = {};
            button.iBitmap = I_IMAGENONE;
            button.idCommand = ids[i];
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON;
            SendMessageW(bar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
        }
        tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, parent,
                                  nullptr, nullptr, nullptr);
    }
    ~BarFixture() {
        set_image_window_bars(nullptr, nullptr, 0);
        DestroyWindow(tooltip);
        DestroyWindow(parent);
    }
};

class ImageWindowKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        fill_default_view_keys(g_shell.view_keys.entries);
        g_shell.view_keys.count = kViewKeyCount;
        fill_default_main_keys(main_keys_);
        g_shell.view_accelerators.reset(create_view_accelerators(g_shell.view_keys.entries, main_keys_));
        ASSERT_TRUE(g_shell.view_accelerators.valid());
        refresh_image_command_labels();
    }
    void TearDown() override { g_shell.view_accelerators.reset(); }

    KeyEntry main_keys_[kMainKeyCount];
};

TEST_F(ImageWindowKeysTest, TooltipsShowTheKeyAndFollowARebuild) {
    const uint16_t ids[] = {8111, 8150, 8201, 8600, 8631};
    BarFixture f(ids, 5);
    const uint16_t listed[] = {8111, 8150, 8201, 8600, 8631, 8020};  // 8020 is not on this bar
    const ImageBarTips tips{f.bar, listed, 6};
    update_bar_tooltips(f.tooltip, tips, TTM_ADDTOOLW);
    set_image_window_bars(f.tooltip, &tips, 1);
    EXPECT_EQ(SendMessageW(f.tooltip, TTM_GETTOOLCOUNT, 0, 0), 5);
    EXPECT_EQ(tooltip_text(f.tooltip, f.bar, 8150), L"選択領域表示");
    EXPECT_EQ(tooltip_text(f.tooltip, f.bar, 8201), L"編集/保存 (Tab)");
    EXPECT_EQ(tooltip_text(f.tooltip, f.bar, 8600), L"誤差拡散(減色用)");
    EXPECT_EQ(tooltip_text(f.tooltip, f.bar, 8631), L"プログレッシブ");

    KeyEntry view[kViewKeyCount];
    for (int i = 0; i < kViewKeyCount; ++i) view[i] = g_shell.view_keys.entries[i];
    view[30] = KeyEntry{kFVirtKey | kFShift, 'K', 8150};
    KeyEntry main_keys[kMainKeyCount];
    for (int i = 0; i < kMainKeyCount; ++i) main_keys[i] = main_keys_[i];
    main_keys[30] = KeyEntry{kFVirtKey | kFControl, 'T', 7313};

    const CommandLabel* row = find_command_label(image_command_labels(), 8150);
    ASSERT_TRUE(rebuild_image_window_accelerators(view, main_keys));
    EXPECT_EQ(std::u16string(row->modifier), u"Shift+");
    EXPECT_EQ(std::u16string(row->key), u"K");
    EXPECT_EQ(tooltip_text(f.tooltip, f.bar, 8150), L"選択領域表示 (Shift+K)");
    EXPECT_EQ(tooltip_text(f.tooltip, f.bar, 8201), L"編集/保存 (Tab)");

    // External tool 3 runs from the image windows with its new key.
    ACCEL live[kImageAcceleratorCount + 2] = {};
    ASSERT_EQ(CopyAcceleratorTableW(g_shell.view_accelerators.get(), live, kImageAcceleratorCount + 2),
              kImageAcceleratorCount);
    EXPECT_EQ(live[kViewKeyCount + 2].cmd, 7313);
    EXPECT_EQ(live[kViewKeyCount + 2].key, 'T');
    EXPECT_EQ(live[kViewKeyCount + 2].fVirt, FVIRTKEY | FCONTROL);
    EXPECT_EQ(live[30].key, 'K');
    EXPECT_EQ(g_shell.view_keys.entries[30].key, 'K');
}

TEST_F(ImageWindowKeysTest, LabelsComeFromTheTableInForce) {
    KeyEntry view[kViewKeyCount];
    for (int i = 0; i < kViewKeyCount; ++i) view[i] = g_shell.view_keys.entries[i];
    view[18] = KeyEntry{kFVirtKey | kFControl | kFShift, 0x70, 8111};
    g_shell.view_accelerators.reset(create_view_accelerators(view, main_keys_));
    refresh_image_command_labels();
    const CommandLabel* row = find_command_label(image_command_labels(), 8111);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(command_tooltip(*row), u"画面に合わせて表示 (Ctrl+Shift+F1)");

    // Without a table the loaded key table decides.
    g_shell.view_accelerators.reset();
    refresh_image_command_labels();
    EXPECT_EQ(command_tooltip(*row), u"画面に合わせて表示");
}

}  // namespace
