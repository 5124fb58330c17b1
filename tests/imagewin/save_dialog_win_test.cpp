// The save-as dialog under Wine: the dialog routine answered by the test, which drives the
// hook the way the system's dialog does (its frame, CDN_TYPECHANGE and the CDM_ messages).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "imagewin/save_dialog.h"
#include "tests/imagewin/save_win_test_support.h"

namespace {

constexpr POINT kImageWindowAt = {50, 60};
constexpr int kBarsHeight = 30;
constexpr POINT kCorner = {kImageWindowAt.x, kImageWindowAt.y + kBarsHeight};

// The stand-in for the system dialog's frame: answers CDM_GETSPEC with `spec`, records what the
// hook sends, and, when `restless`, moves itself away each time it arrives at the corner.
struct FakeFrame {
    std::wstring spec = L"photo.png";
    std::wstring default_extension;
    std::wstring file_name_text;
    int restless_moves = 0;
    int arrivals_at_corner = 0;
};
FakeFrame g_frame;

LRESULT CALLBACK fake_frame_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case CDM_GETSPEC: {
            auto* out = reinterpret_cast<wchar_t*>(lparam);
            lstrcpynW(out, g_frame.spec.c_str(), int(wparam));
            return LRESULT(g_frame.spec.size() + 1);
        }
        case CDM_SETDEFEXT: g_frame.default_extension = reinterpret_cast<const wchar_t*>(lparam); return 0;
        case CDM_SETCONTROLTEXT:
            if (wparam == 1152) g_frame.file_name_text = reinterpret_cast<const wchar_t*>(lparam);
            return 0;
        case WM_WINDOWPOSCHANGED: {
            RECT r;
            GetWindowRect(window, &r);
            if (r.left == kCorner.x && r.top == kCorner.y) {
                ++g_frame.arrivals_at_corner;
                if (g_frame.restless_moves > 0) {
                    --g_frame.restless_moves;
                    SetWindowPos(window, nullptr, kCorner.x + 7, kCorner.y + 9, 0, 0,
                                 SWP_NOSENDCHANGING | SWP_NOZORDER | SWP_NOSIZE);
                }
            }
            return 0;
        }
        default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

struct DialogSeen {
    std::vector<std::wstring> filter;
    DWORD filter_index = 0;
    DWORD flags = 0;
    std::wstring file;
    std::wstring initial_folder;
    std::wstring default_extension;
    POINT placed = {};
    POINT after_user_move = {};
    LRESULT type_change_result = 0;
    bool frame_restored = false;
};

DialogSeen g_seen;
std::wstring g_answer;  // the chosen file; empty cancels
DWORD g_type_chosen = 0;
HWND g_frame_window = nullptr;
HWND g_dialog_window = nullptr;

BOOL answering_dialog(OPENFILENAMEW* request) {
    for (const wchar_t* p = request->lpstrFilter; *p; p += lstrlenW(p) + 1) g_seen.filter.push_back(p);
    g_seen.filter_index = request->nFilterIndex;
    g_seen.flags = request->Flags;
    g_seen.file = request->lpstrFile;
    g_seen.initial_folder = request->lpstrInitialDir ? request->lpstrInitialDir : L"";
    g_seen.default_extension = request->lpstrDefExt ? request->lpstrDefExt : L"";

    HWND dialog = g_dialog_window;
    request->lpfnHook(dialog, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(request));
    SetWindowPos(g_frame_window, nullptr, 500, 400, 200, 150, SWP_NOZORDER);
    RECT r;
    GetWindowRect(g_frame_window, &r);
    g_seen.placed = {r.left, r.top};
    SetWindowPos(g_frame_window, nullptr, 300, 310, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    GetWindowRect(g_frame_window, &r);
    g_seen.after_user_move = {r.left, r.top};

    if (g_type_chosen) {
        request->nFilterIndex = g_type_chosen;
        OFNOTIFYW notify = {};
        notify.hdr.hwndFrom = dialog;
        notify.hdr.code = CDN_TYPECHANGE;
        notify.lpOFN = request;
        g_seen.type_change_result =
            request->lpfnHook(dialog, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
    }
    request->lpfnHook(dialog, WM_DESTROY, 0, 0);
    g_seen.frame_restored =
        GetWindowLongPtrW(g_frame_window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(fake_frame_proc);
    if (g_answer.empty()) return FALSE;
    lstrcpynW(request->lpstrFile, g_answer.c_str(), int(request->nMaxFile));
    return TRUE;
}

class SaveDialogWin : public SaveWin {
protected:
    void SetUp() override {
        SaveWin::SetUp();
        WNDCLASSW frame_class = {};
        frame_class.lpfnWndProc = fake_frame_proc;
        frame_class.hInstance = GetModuleHandleW(nullptr);
        frame_class.lpszClassName = L"PxFakeSaveFrame";
        RegisterClassW(&frame_class);
        image_window_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, kImageWindowAt.x, kImageWindowAt.y, 400,
                                        300, nullptr, nullptr, nullptr, nullptr);
        CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 300, kBarsHeight, image_window_,
                        reinterpret_cast<HMENU>(720), nullptr, nullptr);
        file_list_ =
            CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        g_frame_window = CreateWindowExW(0, L"PxFakeSaveFrame", L"", WS_POPUP, 0, 0, 200, 150, nullptr,
                                         nullptr, GetModuleHandleW(nullptr), nullptr);
        g_dialog_window = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, g_frame_window, nullptr,
                                          nullptr, nullptr);
        g_frame = FakeFrame{};
        g_seen = DialogSeen{};
        g_answer.clear();
        g_type_chosen = 0;
        previous_routine_ = set_save_file_dialog_routine(answering_dialog);
    }
    void TearDown() override {
        set_save_file_dialog_routine(previous_routine_);
        DestroyWindow(g_frame_window);
        DestroyWindow(file_list_);
        DestroyWindow(image_window_);
        SaveWin::TearDown();
    }
    void attach_windows() {
        g_edit_state.image_window = image_window_;
        g_edit_state.file_list_window = file_list_;
    }

    HWND image_window_ = nullptr;
    HWND file_list_ = nullptr;
    SaveFileDialogRoutine previous_routine_ = nullptr;
};

TEST_F(SaveDialogWin, ChangingTheTypeInTheDialogChoosesTheFormatItSavesIn) {
    load_source();
    attach_windows();
    EditState& s = g_edit_state;
    s.save.save_format = kSavePng;
    wchar_t directory_before[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, directory_before);
    g_type_chosen = 3;  // "JPEG ファイル"
    g_answer = std::wstring(wide(scratch_path("chosen.jpg")));

    ASSERT_TRUE(save_edit_image_as());

    ASSERT_EQ(g_seen.filter.size(), 10u) << "a BMP source offers no lossless JPEG type";
    EXPECT_EQ(g_seen.filter[2], L"PNG ファイル (*.png)");
    EXPECT_EQ(g_seen.filter_index, 2u);
    EXPECT_EQ(g_seen.flags, 0x880826u);
    const std::wstring shown_name(wide(std::u16string(s.image.file_name)));
    ASSERT_EQ(shown_name.substr(shown_name.size() - 11), L"-source.bmp");
    EXPECT_EQ(g_seen.file, shown_name.substr(0, shown_name.size() - 4)) << "the name without its extension";
    EXPECT_EQ(g_seen.initial_folder, std::wstring(wide(folder_of(s.image.path))));
    EXPECT_EQ(g_seen.default_extension, L"png");

    EXPECT_EQ(g_seen.placed.x, kCorner.x) << "under the edit window's bars";
    EXPECT_EQ(g_seen.placed.y, kCorner.y);
    EXPECT_EQ(g_seen.after_user_move.x, 300) << "once placed, the user moves it freely";
    EXPECT_EQ(g_seen.after_user_move.y, 310);

    EXPECT_EQ(g_seen.type_change_result, 1);
    EXPECT_EQ(s.save.save_format, kSaveJpeg);
    EXPECT_EQ(g_frame.default_extension, L"jpg");
    EXPECT_EQ(g_frame.file_name_text, L"photo");
    EXPECT_TRUE(g_seen.frame_restored);

    const std::vector<uint8_t> saved =
        file_bytes(std::u16string(reinterpret_cast<const char16_t*>(g_answer.c_str())));
    ASSERT_GE(saved.size(), 3u);
    EXPECT_EQ(saved[0], 0xFF);
    EXPECT_EQ(saved[1], 0xD8);
    EXPECT_TRUE(IsWindowEnabled(file_list_));
    wchar_t directory_after[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, directory_after);
    EXPECT_EQ(std::wstring(directory_after), std::wstring(directory_before));
}

TEST_F(SaveDialogWin, AJpegSourceOffersTheLosslessTypeAndCancellingSavesNothing) {
    make_jpeg_source();
    attach_windows();
    g_edit_state.save.save_format = kSaveJpegLossless;
    g_frame.spec = L"noext";
    g_type_chosen = 6;
    EXPECT_FALSE(save_edit_image_as());
    ASSERT_EQ(g_seen.filter.size(), 12u);
    EXPECT_EQ(g_seen.filter[10], L"JPEG/TRANS (*.jpg;*.jpeg;*.jpe)");
    EXPECT_EQ(g_seen.filter_index, 6u);
    // The type already chosen changes nothing.
    EXPECT_EQ(g_frame.default_extension, L"");
    EXPECT_EQ(g_frame.file_name_text, L"");
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_TRUE(IsWindowEnabled(file_list_));

    g_type_chosen = 2;
    EXPECT_FALSE(save_edit_image_as());
    EXPECT_EQ(g_edit_state.save.save_format, kSavePng);
    EXPECT_EQ(g_frame.default_extension, L"png");
    EXPECT_EQ(g_frame.file_name_text, L"") << "a name without an extension is left alone";
}

// A frame that something keeps moving off its place gets it back a bounded number of times.
TEST_F(SaveDialogWin, PlacingTheFrameGivesUpAfterItsAttempts) {
    load_source();
    attach_windows();
    g_frame.restless_moves = 1000;
    g_answer.clear();
    EXPECT_FALSE(save_edit_image_as());
    EXPECT_GE(g_frame.arrivals_at_corner, 1);
    EXPECT_LE(g_frame.arrivals_at_corner, kSaveDialogPlaceAttempts + 1);
    EXPECT_EQ(g_seen.after_user_move.x, 300);
}

}  // namespace
