// The main program started for real on the test's thread (which becomes its main thread), with
// its settings in a scratch folder and every box answered and recorded; and a recorder of the
// private codes that reach a window through another thread's queue.
#pragma once

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on
#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "common/win/app_messages.h"
#include "common/win/message_box.h"
#include "shell/main_window.h"
#include "shell/settings_win.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "shell/startup.h"
#include "tests/shell/settings_file_builder.h"
#include "tests/shell/stand_in_subsystems.h"
#include "tests/shell/unique_scratch.h"
#include "tests/support/test_support.h"

namespace running_app {

// Pumps this thread's messages until `done` or the deadline.
inline bool pump_until(const std::function<bool()>& done, DWORD timeout_ms = 10000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeout_ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeout_ms - elapsed < 50 ? timeout_ms - elapsed : 50,
                                  QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

// Lets everything already queued on every thread run for `ms`.
inline void pump_for(DWORD ms) {
    pump_until([] { return false; }, ms);
}

inline std::wstring make_scratch_folder(const char* name) {
    const std::u16string path = unique_scratch_path(name);
    const std::wstring folder(path.begin(), path.end());
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

inline int answer_box(HWND, const wchar_t*, const wchar_t*, UINT) {
    return IDOK;
}

class RunningAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_hook_ = set_message_box_hook(answer_box);
        appdata_ = make_scratch_folder("appdata");
        lstrcpynW(g_shell.appdata_folder, appdata_.c_str(), MAX_PATH);
        g_shell.instance = GetModuleHandleW(nullptr);
        g_shell.os_class = detect_os_version();
        if (!g_shell.ui_font.valid()) create_ui_font();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        stand_in::install();
    }

    void TearDown() override {
        if (g_shell.main_window) {
            EXPECT_TRUE(close_app());
        }
        set_message_box_hook(previous_hook_);
        g_shell.appdata_folder[0] = 0;
        set_startup_command_line(nullptr);
        set_settings_file_ops(nullptr);
        CoUninitialize();
    }

    // Starts the program with these settings stored first.
    void start_app(SettingsFileBuilder& settings) {
        const std::wstring folder = appdata_ + L"\\Pexaron";
        CreateDirectoryW(folder.c_str(), nullptr);
        const std::wstring file = folder + L"\\Pexaron.ini";
        ASSERT_TRUE(write_bytes(std::u16string(file.begin(), file.end()), settings.bytes()));
        ASSERT_TRUE(start_single_instance(SW_SHOWNORMAL, L"Pexaron.exe"));
        ASSERT_NE(g_shell.main_window, nullptr);
        ASSERT_TRUE(pump_until([] { return startup_tail_done() && g_shell.preview_window != nullptr; }));
    }

    bool close_app() {
        PostMessageW(g_shell.main_window, WM_CLOSE, 0, 0);
        return pump_until([] { return g_shell.main_window == nullptr; }, 15000);
    }

    MessageBoxHook previous_hook_ = nullptr;
    std::wstring appdata_;
};

struct PostedCode {
    HWND window;
    WPARAM code;
    LPARAM value;
};

// Records the private codes posted to some windows of other threads as those threads take them
// from their queues; with `swallow`, they are turned into WM_NULL so that no handler runs. One
// recorder at a time.
class PostedCodes {
public:
    PostedCodes(std::vector<HWND> windows, bool swallow) : windows_(std::move(windows)), swallow_(swallow) {
        {
            std::lock_guard<std::mutex> hold(lock());
            current() = this;
        }
        for (HWND w : windows_) {
            const DWORD thread = GetWindowThreadProcessId(w, nullptr);
            bool hooked = false;
            for (DWORD t : threads_) hooked = hooked || t == thread;
            if (hooked) continue;
            threads_.push_back(thread);
            hooks_.push_back(SetWindowsHookExW(WH_GETMESSAGE, record, nullptr, thread));
        }
    }
    ~PostedCodes() {
        for (HHOOK h : hooks_)
            if (h) UnhookWindowsHookEx(h);
        std::lock_guard<std::mutex> hold(lock());
        current() = nullptr;
    }
    PostedCodes(const PostedCodes&) = delete;
    PostedCodes& operator=(const PostedCodes&) = delete;

    bool installed() const {
        for (HHOOK h : hooks_)
            if (!h) return false;
        return !hooks_.empty();
    }

    std::vector<PostedCode> codes() {
        std::lock_guard<std::mutex> hold(lock());
        return codes_;
    }
    // The codes that reached `window`, in order.
    std::vector<WPARAM> codes_for(HWND window) {
        std::vector<WPARAM> out;
        for (const PostedCode& c : codes())
            if (c.window == window) out.push_back(c.code);
        return out;
    }
    void clear() {
        std::lock_guard<std::mutex> hold(lock());
        codes_.clear();
    }

private:
    static std::mutex& lock() {
        static std::mutex m;
        return m;
    }
    static PostedCodes*& current() {
        static PostedCodes* p = nullptr;
        return p;
    }

    static LRESULT CALLBACK record(int code, WPARAM wparam, LPARAM lparam) noexcept {
        MSG* msg = reinterpret_cast<MSG*>(lparam);
        if (code == HC_ACTION && wparam == PM_REMOVE && msg->message == kAppMessage) {
            std::lock_guard<std::mutex> hold(lock());
            PostedCodes* self = current();
            bool watched = false;
            if (self)
                for (HWND w : self->windows_) watched = watched || w == msg->hwnd;
            if (watched) {
                self->codes_.push_back(PostedCode{msg->hwnd, msg->wParam, msg->lParam});
                if (self->swallow_) msg->message = WM_NULL;
            }
        }
        return CallNextHookEx(nullptr, code, wparam, lparam);
    }

    std::vector<HWND> windows_;
    bool swallow_;
    std::vector<DWORD> threads_;
    std::vector<HHOOK> hooks_;
    std::vector<PostedCode> codes_;
};

}  // namespace running_app
